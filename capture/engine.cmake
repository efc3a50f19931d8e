# The capture engine: live graph, detection filter hosting, recording branch, device
# catalogue, live thread and live page actions. The block's buffers are built by
# block_buffers.cmake.
set(capture_engine_sources)
file(GLOB capture_all_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
foreach(src ${capture_all_sources})
  get_filename_component(name ${src} NAME)
  if(NOT name MATCHES "^block_buffers")
    list(APPEND capture_engine_sources ${src})
  endif()
endforeach()
add_library(orvanta_capture STATIC ${capture_engine_sources})
target_link_libraries(orvanta_capture PUBLIC orvanta_media orvanta_app orvanta_clipnaming
                      orvanta_products orvanta_ftp orvanta_clip_products orvanta_block_buffers)
if(TARGET Qt6::Core)
  target_link_libraries(orvanta_capture PUBLIC Qt6::Core)
endif()
