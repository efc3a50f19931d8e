// Test entry for binaries that run real GStreamer pipelines.
#include <gst/gst.h>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
