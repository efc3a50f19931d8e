// The test RTSP camera as a program of its own, so that a test or the soak run can kill it
// (as a camera loses power) and start it again on the same port:
//   rtsp_test_camera PORT WIDTH HEIGHT [SOURCE]
// prints "ready" once it serves rtsp://127.0.0.1:PORT/cam and runs until killed.
#include <gst/gst.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/capture/rtsp_test_server.h"

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  if (argc < 4) {
    std::fprintf(stderr, "usage: rtsp_test_camera PORT WIDTH HEIGHT [SOURCE]\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const std::string source = argc > 4 ? argv[4] : "videotestsrc is-live=true pattern=ball";
  orvanta::test::RtspTestServer camera("", "", source, std::atoi(argv[2]), std::atoi(argv[3]),
                                       port);
  std::printf("ready %s\n", camera.address().c_str());
  std::fflush(stdout);
  for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}
