# The capture engine: live graph, detection filter hosting, recording branch, device
# catalogue, live thread and live page actions. Clip naming and disk space are built by
# clipnaming.cmake, the block's buffers by block_buffers.cmake.
set(capture_engine_sources)
file(GLOB capture_all_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
foreach(src ${capture_all_sources})
  get_filename_component(name ${src} NAME)
  if(NOT name MATCHES "^(clip_name|disk_space|block_buffers)")
    list(APPEND capture_engine_sources ${src})
  endif()
endforeach()
if(capture_engine_sources)
  add_library(orvanta_capture STATIC ${capture_engine_sources})
else()
  add_library(orvanta_capture INTERFACE)
endif()
target_link_libraries(orvanta_capture PUBLIC orvanta_media orvanta_app orvanta_clipnaming
                      orvanta_products orvanta_ftp orvanta_block_buffers)
target_link_libraries(orvanta_capture PUBLIC orvanta_schedule)
if(TARGET Qt6::Core)
  target_link_libraries(orvanta_capture PUBLIC Qt6::Core)
endif()
