// zavip: the station program. "--headless" runs it without a window: start-up, then
// detection at once, until SIGINT or SIGTERM (or the end of a file source).
#include <gst/gst.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "app/app_params.h"
#include "app/messages.h"
#include "app/startup.h"
#include "capture/capture_state.h"
#include "capture/media/cnv2yu_element.h"
#include "station/headless_station.h"

namespace {
int RunStation(int argc, char** argv) {
  bool headless = false;
  std::string command_line;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--headless") {
      headless = true;
      continue;
    }
    if (!command_line.empty()) command_line += ' ';
    command_line += arg;  // one path, spaces included
  }
  if (!headless) {
    std::fprintf(stderr, "zavip: this build has no window; running as with --headless\n");
  }
  gst_init(&argc, &argv);
  int qt_argc = 1;
  QCoreApplication qapp(qt_argc, argv);

  char cwd[4096] = {};
  if (!::getcwd(cwd, sizeof cwd - 1)) return 1;
  // One station per working directory; a second one ends silently.
  auto lock = orvanta::InstanceLock::Acquire(cwd);
  if (!lock) return 0;
  orvanta::AppContext& app = orvanta::TheApp();
  orvanta::SetMessageHandler(orvanta::HeadlessMessageHandler());
  orvanta::StartUpSettings(app, command_line);
  orvanta::media::RegisterCnv2yu();

  orvanta::capture::CaptureState state;
  state.live_image.Resize(app.ib.cx, app.ib.cy);
  return orvanta::station::RunHeadlessStation(app, state, {});
}
}  // namespace

int main(int argc, char** argv) {
  // Settings are checked before anything is sized from them; should memory still run out,
  // the station says so plainly and fails instead of aborting.
  try {
    return RunStation(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "zavip: out of memory; the station stops\n");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zavip: stopped: %s\n", e.what());
  }
  return 1;
}
