# libzaviprf.so: the GStreamer plugin holding the replay filter element, a thin adapter over
# the replay core. Like the detection filter's plugin it links GStreamer and its core only.
pkg_check_modules(ZAVIPRF_GST REQUIRED IMPORTED_TARGET gstreamer-1.0 gstreamer-video-1.0)
file(GLOB zaviprf_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/gst/*.cpp)
add_library(zaviprf MODULE ${zaviprf_sources})
target_link_libraries(zaviprf PRIVATE orvanta_replaycore PkgConfig::ZAVIPRF_GST)
target_link_options(zaviprf PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
set_target_properties(zaviprf PROPERTIES PREFIX "lib" CXX_VISIBILITY_PRESET hidden
                                         VISIBILITY_INLINES_HIDDEN ON)
