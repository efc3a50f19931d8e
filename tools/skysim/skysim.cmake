# The simulated sky: a pure library (no GStreamer) that renders night-sky
# frames with their ground truth; zavip-tool writes them as video, the
# quality bench feeds them straight to the detection core.
file(GLOB skysim_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_library(orvanta_skysim STATIC ${skysim_sources})
target_include_directories(orvanta_skysim PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(orvanta_skysim PUBLIC orvanta_pixfmt)
# The noise loop takes square roots of values that are never negative.
target_compile_options(orvanta_skysim PRIVATE -fno-math-errno)
