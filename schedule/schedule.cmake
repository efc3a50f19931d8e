# orvanta_schedule: detection schedule, sun times and housekeeping. Plain C++
# cores; the trash goes through Qt Core and the power-off through GIO.
pkg_check_modules(ORVANTA_GIO REQUIRED IMPORTED_TARGET GLOBAL gio-2.0)
add_library(orvanta_schedule STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/equation_of_time.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/sun_schedule.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/detection_schedule.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/file_moves.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/housekeeping.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/housekeeping_app.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/latest_date.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/discard_file.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/shutdown_system.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/logind_power_service.cpp)
target_link_libraries(orvanta_schedule PUBLIC orvanta_app orvanta_clipnaming
                      PRIVATE Qt6::Core PkgConfig::ORVANTA_GIO)
