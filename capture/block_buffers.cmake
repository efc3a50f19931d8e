# The owner of the detection block's buffers (plain C++): the station's hosting step, the
# tests and the benchmarks hold them through it.
add_library(orvanta_block_buffers STATIC ${CMAKE_CURRENT_LIST_DIR}/block_buffers.cpp)
