# orvanta_app: parameters, the settings file, scrambling, messages, start-up.
# Plain C++: no Qt, no GStreamer.
file(GLOB orvanta_app_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
if(orvanta_app_sources)
  add_library(orvanta_app STATIC ${orvanta_app_sources})
else()
  add_library(orvanta_app INTERFACE)
endif()
