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
#include "app/text_utf.h"
#include "capture/live_controller.h"
#include "capture/live_thread.h"
#include "clipnaming/left_recordings.h"
#include "detectfilter/shared_field.h"
#include "products/ftp_upload.h"
#include "schedule/detection_schedule.h"
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

// How long a clip cut short may take to reach its end (it needs one more frame), and how
// long the live thread may take to finish or remove its recording at the end.
constexpr std::chrono::milliseconds kCutClipWait{5000};
constexpr int kShutdownWaitMs = 5000;

// A stop asked from outside (signal, service manager) does not throw away the clip being
// recorded: detection ends, the clip ends with the next frame and is finished like any
// other, and only then does the run end. A source that sends no more frames cannot end
// the clip: after kCutClipWait its file is kept as it stands and the run ends.
void EndAfterClip(LiveController& page, const DetectionBlock& block, CLiveThread& live,
                  QObject* context, std::function<void()> end_run) {
  if (!page.CutClipShort()) {
    end_run();
    return;
  }
  const int clip_no = LoadShared(block.clip_no);
  auto* poll = new QTimer(context);
  const auto deadline = std::chrono::steady_clock::now() + kCutClipWait;
  QObject::connect(poll, &QTimer::timeout, context, [=, &page, &live] {
    // The clip's end reaches the live thread once its last frames are in the file.
    const bool recording = page.CutClipShort();
    const bool finished = !recording && live.finished_clip_no() - clip_no >= 0;
    if (!finished && std::chrono::steady_clock::now() < deadline) return;
    poll->stop();
    poll->deleteLater();
    // A clip the source left hanging keeps what it has, as after a drop.
    if (!finished) live.MarkSourceLost();
    end_run();
  });
  poll->start(20);
}

// The live thread finishes or removes the recording, then ends. One held in a source that
// never answers (a FIFO nobody writes, a dead network share, a silent camera) cannot, and
// the program must end all the same: false then, and the caller leaves without it.
bool ShutDownLiveThread(CLiveThread& live) {
  live.Post(capture::kShutdown);
  if (live.Wait(kShutdownWaitMs)) return true;
  ReportMessage("The video source does not answer; the station ends without closing it");
  return false;
}

}  // namespace

void MendLeftRecordingsAtStart(const AppContext& app) {
  const ClipRecordInputs known = ClipRecordInputsFrom(app.ib, app.ap, app.state.tz_bias);
  for (const LeftRecording& left : MendLeftRecordings(FieldUtf8(app.ap.db_dir), known))
    ReportMessage("%s", left.message.c_str());
}

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
