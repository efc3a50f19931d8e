# The pixel-format table: plain C++ at the bottom of the tree, beside the shared block header.
add_library(orvanta_pixfmt STATIC ${CMAKE_CURRENT_LIST_DIR}/pixel_format.cpp)
