# The station as a service. Plain C++ core: the status record, the watchdog rule, the
# service manager's notification protocol. Glue in the station library: the status query
# on the session bus, the supervision timers.
add_library(orvanta_service_core STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/station_status.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/watchdog_rule.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/service_notify.cpp)
if(TARGET orvanta_station)
  find_package(Qt6 REQUIRED COMPONENTS DBus)
  target_sources(orvanta_station PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}/service_supervisor.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/station_services.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/status_service.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/status_client.cpp)
  target_link_libraries(orvanta_station PUBLIC orvanta_service_core Qt6::DBus)
  set_target_properties(orvanta_station PROPERTIES AUTOMOC ON)
endif()
