#include "station/headless_station.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>

#include "app/font_size.h"
#include "capture/live_controller.h"
#include "capture/live_thread.h"
#include "products/ftp_upload.h"
#include "schedule/detection_schedule.h"
#include "station/station_actions.h"
#include "station/stop_signals.h"

namespace orvanta::station {
namespace {

using capture::CaptureHooks;
using capture::CaptureState;
using capture::CLiveThread;
using capture::LiveController;
using capture::LiveGraph;
using capture::LivePageHooks;

}  // namespace

void RequestHeadlessStop() {
  StopSignals::Request();
}

int RunHeadlessStation(AppContext& app, CaptureState& state, const HeadlessOptions& options) {
  QCoreApplication* qapp = QCoreApplication::instance();
  CaptureHooks hooks;
  hooks.realtime_preview = true;
  CLiveThread* live = nullptr;
  LivePageHooks page_hooks;
  page_hooks.post = [&live](int command) {
    if (live) live->Post(command);
  };
  page_hooks.clear_ftp_failure = [&live] {
    if (live) live->uploader().DetectionStarted();
  };
  page_hooks.apply_font = [&app] { ApplyFontSize(app.ap.si_fontsize, app.ib); };
  const bool scheduled = options.use_schedule && (app.ap.sd[0].on || app.ap.sd[1].on);
  schedule::DetectionSchedule* timetable = nullptr;
  page_hooks.set_schedule_holdoff = [&timetable](int) {
    if (timetable) timetable->OnStopAction();
  };
  LiveController page(app.ib, page_hooks);
  std::atomic<bool> failed{false};
  std::atomic<bool> ending{false};

  auto end_run = [&] {
    if (ending.exchange(true)) return;
    qapp->quit();
  };
  StopSignals stop_signals(end_run);
  // A stop that leaves the page idle ends the run: a file source has ended, the graph
  // failed, or no new recording could be started. The page is looked at once the live
  // thread has handled what the stop posted (a camera reopened after a clip goes through
  // Stop and then Detect within the same end-of-clip sequence: no end then).
  hooks.stop_action = [&] {
    page.Stop();
    if (app.state.graph_error != 0) failed = true;
    if (!live || scheduled) return;  // the schedule starts detection again later
    live->PostTask([&] {
      QMetaObject::invokeMethod(
          qapp,
          [&] {
            if (page.live_state() == capture::kIdle) end_run();
          },
          Qt::QueuedConnection);
    });
  };
  hooks.graph_failed = [&failed] { failed = true; };
  hooks.graph_notify = [&] {
    QMetaObject::invokeMethod(
        qapp,
        [&] {
          if (live) live->HandleGraphEvents();
        },
        Qt::QueuedConnection);
  };
  if (options.customize) options.customize(hooks);

  CLiveThread thread(app, state, hooks, page);
  live = &thread;

  if (options.graph_built) {
    auto user = options.graph_built;
    hooks.graph_built = [user](LiveGraph& graph) { user(graph); };
  }
  thread.Start();

  schedule::ScheduleActions actions;
  actions.live_state = [&page] { return page.live_state(); };
  actions.detect = [&page] { page.Detect(); };
  actions.stop = [&page] { page.Stop(); };
  actions.rec_toggle = [&page] { page.ToggleRec(true); };
  AddStationActions(actions, app, end_run);
  schedule::DetectionSchedule plan(app.ap, app.state, app.ib, schedule::SystemLocalTime,
                                   std::move(actions));
  QTimer ticks;
  if (scheduled) {
    timetable = &plan;
    QObject::connect(&ticks, &QTimer::timeout, qapp, [&plan] { plan.Tick(); });
    ticks.start(1000);
    QMetaObject::invokeMethod(
        qapp, [&plan] { plan.AutorunAtStart(); }, Qt::QueuedConnection);
  } else {
    QMetaObject::invokeMethod(
        qapp,
        [&] {
          if (options.detect_at_start) {
            page.Detect();
          } else {
            page.Preview();
          }
        },
        Qt::QueuedConnection);
  }
  if (options.started) options.started(page, scheduled);
  qapp->exec();
  if (options.ending) options.ending();
  ticks.stop();
  timetable = nullptr;

  // Clean stop: the live thread finishes or removes the recording, then ends.
  thread.Post(capture::kShutdown);
  thread.Wait();
  live = nullptr;
  if (options.save_settings) SaveSettings(app);
  return failed ? 1 : 0;
}

}  // namespace orvanta::station
