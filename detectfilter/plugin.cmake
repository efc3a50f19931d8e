# libzavipf.so: the GStreamer plugin holding the detection filter element, a thin adapter
# over the detection core. It links GStreamer and the core only; the core's symbols stay
# inside the plugin so that a host linking its own copy never mixes the two.
pkg_check_modules(ZAVIPF_GST REQUIRED IMPORTED_TARGET
  gstreamer-1.0 gstreamer-base-1.0 gstreamer-video-1.0 gstreamer-audio-1.0)
file(GLOB zavipf_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/gst/*.cpp)
add_library(zavipf MODULE ${zavipf_sources})
target_link_libraries(zavipf PRIVATE orvanta_detectcore PkgConfig::ZAVIPF_GST)
target_link_options(zavipf PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
set_target_properties(zavipf PROPERTIES PREFIX "lib" CXX_VISIBILITY_PRESET hidden
                                        VISIBILITY_INLINES_HIDDEN ON)
