#include "ui/window_station.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/font_size.h"
#include "capture/live_controller.h"
#include "capture/live_thread.h"
#include "capture/media/preview_sink.h"
#include "products/ftp_upload.h"
#include "replay/replay_thread.h"
#include "schedule/detection_schedule.h"
#include "station/run_edges.h"
#include "station/station_actions.h"
#include "station/station_services.h"
#include "station/stop_signals.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

namespace orvanta::ui {

using capture::CaptureHooks;
using capture::CLiveThread;
using capture::LiveController;
using capture::LivePageHooks;

int RunWindowStation(AppContext& app, capture::CaptureState& state,
                     const WindowStationOptions& options) {
  QApplication* qapp = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!qapp) return 1;
  MainWindow window(app, state);
  QPointer<QWidget> owner(&window);
  const MessageHandler before = SetMessageHandler(WindowMessageHandler(&owner));
  VideoArea* video = window.live_page()->video();

  CaptureHooks hooks;
  hooks.realtime_preview = true;
  hooks.make_preview_sink = [video] {
    media::PreviewTarget target;
    target.on_frame = [video](const media::PreviewFrame& f) { video->OnFrame(f); };
    target.wanted_size = [video] { return video->WantedFrameSize(); };
    return media::MakePreviewSink(true, std::move(target));
  };
  CLiveThread* live = nullptr;
  schedule::DetectionSchedule* timetable = nullptr;
  LivePageHooks page_hooks;
  page_hooks.post = [&live](int command) {
    if (live) live->Post(command);
  };
  page_hooks.clear_ftp_failure = [&live] {
    if (live) live->uploader().DetectionStarted();
  };
  page_hooks.apply_font = [&app] { ApplyFontSize(app.ap.si_fontsize, app.ib); };
  page_hooks.set_schedule_holdoff = [&timetable](int) {
    if (timetable) timetable->OnStopAction();
  };
  window.input_page()->FillHooks(page_hooks);
  window.live_page()->FillHooks(page_hooks);
  LiveController page(app.ib, page_hooks);
  window.live_page()->SetController(&page);
  window.input_page()->SetController(&page);
  window.input_page()->on_live_thread = [&live](std::function<void()> task) {
    if (live) {
      live->PostTask(std::move(task));
    } else {
      task();
    }
  };
  // Clips finished on the live thread reach the clip list on the GUI thread, in order.
  DbPage* db = window.db_page();
  hooks.add_new_clip = [db](const std::string& path) {
    QMetaObject::invokeMethod(
        db, [db, path] { db->AddNewClip(path); }, Qt::QueuedConnection);
  };
  hooks.open_latest_clip = [db] {
    QMetaObject::invokeMethod(
        db, [db] { db->OpenLatestClip(); }, Qt::QueuedConnection);
  };
  hooks.graph_notify = [&live, qapp] {
    QMetaObject::invokeMethod(
        qapp,
        [&live] {
          if (live) live->HandleGraphEvents();
        },
        Qt::QueuedConnection);
  };
  // The operation page: the clip drive's free space from the recording side, and the result
  // of "Clear" on the live status line.
  hooks.show_free_space = [&window](int free_mb) {
    QMetaObject::invokeMethod(
        window.operation_page(),
        [&window, free_mb] { window.operation_page()->ShowFreeSpace(free_mb); },
        Qt::QueuedConnection);
  };
  hooks.clips_removed = [db] {
    QMetaObject::invokeMethod(
        db,
        [db] {
          if (db->isVisible()) db->ReReadClipList();
        },
        Qt::QueuedConnection);
  };
  window.operation_page()->ftp_status = [&page, &window](const std::string& suffix) {
    if (suffix.empty()) return;
    page.set_status_suffix(suffix);
    window.live_page()->Refresh();
  };
  // A signal (the service manager, a shutdown) finishes the clip being recorded first.
  bool stop_asked = false;
  station::StopSignals stop_signals([&] {
    if (stop_asked) return;
    stop_asked = true;
    auto close = [&window] { window.CloseWithoutAsking(); };
    if (!live) return close();
    station::EndAfterClip(page, app.ib, *live, &window, close);
  });
  station::MendLeftRecordingsAtStart(app);
  // The status query on the session bus, answered as the headless station answers it.
  station::StationServices services(app);
  services.AttachWindow(hooks, page);
  CLiveThread thread(app, state, hooks, page);
  live = &thread;
  thread.Start();
  replay::ReplayHooks replay_hooks;
  window.replay_page()->FillHooks(replay_hooks);
  replay::CReplayThread replayer(app, std::move(replay_hooks), window.replay_page());
  window.replay_page()->SetReplayThread(&replayer);
  replayer.Start();

  schedule::ScheduleActions actions;
  actions.live_state = [&page] { return page.live_state(); };
  actions.detect = [&page] { page.Detect(); };
  actions.stop = [&page] { page.Stop(); };
  actions.rec_toggle = [&page, &window] {
    page.ToggleRec(true);
    window.live_page()->SyncControls();
  };
  actions.show_replay_page = [&window] { window.right_sheet()->setCurrentIndex(1); };
  actions.db_page_showing = [db] { return db->showing(); };
  actions.reread_clip_list = [db] { db->ReReadClipList(); };
  station::AddStationActions(actions, app, [&window] { window.CloseWithoutAsking(); });
  schedule::DetectionSchedule plan(app.ap, app.state, app.ib, schedule::SystemLocalTime,
                                   std::move(actions));
  timetable = &plan;

  // The main window's start-up: placement, sun times, Hello, the schedule, autorun.
  window.ShowAtSavedPlacement();
  if (app.ap.sunset) plan.ComputeSun(true);
  thread.Post(capture::kHello);
  replayer.Post(replay::kHello);
  QTimer ticks;
  QObject::connect(&ticks, &QTimer::timeout, &window, [&plan] { plan.Tick(); });
  ticks.start(1000);
  window.on_closing = [&ticks] { ticks.stop(); };
  QMetaObject::invokeMethod(
      &window, [&plan] { plan.AutorunAtStart(); }, Qt::QueuedConnection);
  if (options.started) {
    QMetaObject::invokeMethod(
        &window, [&] { options.started(window); }, Qt::QueuedConnection);
  }
  qapp->exec();
  ticks.stop();
  timetable = nullptr;

  // Reports from here on go to the log: the GUI thread no longer shows boxes while it
  // waits for the live thread.
  SetMessageHandler(HeadlessMessageHandler());
  replayer.Post(replay::kShutdown);
  const bool clean = station::ShutDownLiveThread(thread);
  app.state.saveAsTemplate = 0;
  SaveSettings(app);
  const int status = app.state.graph_error != 0 || !clean ? 1 : 0;
  if (!clean) {
    // The live thread is still held by its source: nothing of it can be waited for.
    std::fflush(nullptr);
    std::_Exit(status);
  }
  replayer.Wait();
  window.replay_page()->SetReplayThread(nullptr);
  live = nullptr;
  SetMessageHandler(before);
  return status;
}

}  // namespace orvanta::ui
