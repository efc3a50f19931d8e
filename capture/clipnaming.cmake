# Clip names, date directories and disk space of the clip store (plain C++).
add_library(orvanta_clipnaming STATIC
  ${CMAKE_CURRENT_LIST_DIR}/clip_name.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clip_name_app.cpp
  ${CMAKE_CURRENT_LIST_DIR}/disk_space.cpp)
target_link_libraries(orvanta_clipnaming PUBLIC orvanta_products orvanta_app)
