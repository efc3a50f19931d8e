// zavip: the station program. It opens the main window; "--headless" runs it without a
// window: start-up, then detection at once, until SIGINT or SIGTERM (or the end of a file
// source).
#include <gst/gst.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "app/app_params.h"
#include "app/messages.h"
#include "app/startup.h"
#include "capture/capture_state.h"
#include "capture/filter_check.h"
#include "capture/media/cnv2yu_element.h"
#include "station/headless_station.h"
#include "station/station_services.h"
#include "ui/message_boxes.h"
#include "ui/window_station.h"

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
  gst_init(&argc, &argv);
  int qt_argc = 1;
  std::unique_ptr<QCoreApplication> qapp;
  if (headless) {
    qapp = std::make_unique<QCoreApplication>(qt_argc, argv);
  } else {
    qapp = std::make_unique<QApplication>(qt_argc, argv);
  }

  char cwd[4096] = {};
  if (!::getcwd(cwd, sizeof cwd - 1)) return 1;
  // One station per working directory; a second one ends silently.
  auto lock = orvanta::InstanceLock::Acquire(cwd);
  if (!lock) return 0;
  orvanta::AppContext& app = orvanta::TheApp();
  if (headless) {
    orvanta::SetMessageHandler(orvanta::HeadlessMessageHandler());
  } else {
    // Boxes without an owner until the main window exists.
    orvanta::SetMessageHandler(orvanta::ui::WindowMessageHandler(nullptr));
    if (!orvanta::capture::CheckFilterPlugins(cwd)) return 0;
  }
  orvanta::StartUpSettings(app, command_line);
  orvanta::media::RegisterCnv2yu();

  orvanta::capture::CaptureState state;
  state.live_image.Resize(app.ib.cx, app.ib.cy);
  if (!headless) return orvanta::ui::RunWindowStation(app, state);
  // The status query and, under a service manager, readiness and the watchdog.
  orvanta::station::StationServices services(app);
  orvanta::station::HeadlessOptions options;
  services.Attach(options);
  return orvanta::station::RunHeadlessStation(app, state, options);
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
