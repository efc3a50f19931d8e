#include "station/headless_station.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/font_size.h"
#include "app/messages.h"
#include "capture/live_controller.h"
#include "capture/live_thread.h"
#include "products/ftp_upload.h"
#include "schedule/detection_schedule.h"
#include "station/run_edges.h"
#include "station/source_recovery.h"
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

int HeadlessStopSignal() {
  return StopSignals::Received();
}

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

  // A camera that drops in the night is retried instead of ending the run (with a schedule,
  // the schedule decides when the capture runs).
  std::unique_ptr<SourceRecovery> recovery;
  auto recovering = [&recovery] { return recovery && recovery->armed(); };

  auto end_run = [&] {
    if (ending.exchange(true)) return;
    qapp->quit();
  };
  // A signal ends the run once the clip being recorded is finished.
  bool stop_asked = false;
  StopSignals stop_signals([&] {
    if (stop_asked) return;
    stop_asked = true;
    if (!live) return end_run();
    EndAfterClip(page, app.ib, *live, qapp, end_run);
  });
  // After the signals are caught: a stop that comes while a recording is mended waits for
  // its clip record instead of leaving the mended clip without one.
  MendLeftRecordingsAtStart(app);
  // A stop that leaves the page idle ends the run: a file source has ended, the graph
  // failed, or no new recording could be started. The page is looked at once the live
  // thread has handled what the stop posted (a camera reopened after a clip goes through
  // Stop and then Detect within the same end-of-clip sequence: no end then).
  hooks.stop_action = [&] {
    page.Stop();
    if (app.state.graph_error != 0 && !recovering()) failed = true;
    if (!live || scheduled) return;  // the schedule starts detection again later
    live->PostTask([&] {
      QMetaObject::invokeMethod(
          qapp,
          [&] {
            if (page.live_state() != capture::kIdle) return;
            if (recovery && recovery->TakeOverStop()) return;
            end_run();
          },
          Qt::QueuedConnection);
    });
  };
  hooks.graph_failed = [&] {
    if (!recovering()) failed = true;
  };
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
  if (!scheduled && SourceRecovery::AppliesTo(app.ib))
    recovery = std::make_unique<SourceRecovery>(app, page, thread, qapp);

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
  recovery.reset();

  const bool clean = ShutDownLiveThread(thread);
  if (options.save_settings) SaveSettings(app);
  const int status = options.signal_status && StopSignals::Received() != 0
                         ? 128 + StopSignals::Received()
                     : failed || !clean ? 1
                                        : 0;
  if (!clean) {
    // The live thread is still held by its source: nothing of it can be waited for.
    std::fflush(nullptr);
    std::_Exit(status);
  }
  live = nullptr;
  return status;
}

}  // namespace orvanta::station
