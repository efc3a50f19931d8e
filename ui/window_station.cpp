#include "ui/window_station.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "app/font_size.h"
#include "capture/live_controller.h"
#include "capture/live_thread.h"
#include "capture/media/preview_sink.h"
#include "products/ftp_upload.h"
#include "schedule/detection_schedule.h"
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
  window.live_page()->FillHooks(page_hooks);
  LiveController page(app.ib, page_hooks);
  window.live_page()->SetController(&page);
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
  window.operation_page()->ftp_status = [&page, &window](const std::string& suffix) {
    if (suffix.empty()) return;
    page.set_status_suffix(suffix);
    window.live_page()->Refresh();
  };
  station::StopSignals stop_signals([&window] { window.CloseWithoutAsking(); });
  // The status query on the session bus, answered as the headless station answers it.
  station::StationServices services(app);
  services.AttachWindow(hooks, page);
  CLiveThread thread(app, state, hooks, page);
  live = &thread;
  thread.Start();

  schedule::ScheduleActions actions;
  actions.live_state = [&page] { return page.live_state(); };
  actions.detect = [&page] { page.Detect(); };
  actions.stop = [&page] { page.Stop(); };
  actions.rec_toggle = [&page, &window] {
    page.ToggleRec(true);
    window.live_page()->SyncControls();
  };
  actions.show_replay_page = [&window] { window.right_sheet()->setCurrentIndex(1); };
  station::AddStationActions(actions, app, [&window] { window.CloseWithoutAsking(); });
  schedule::DetectionSchedule plan(app.ap, app.state, app.ib, schedule::SystemLocalTime,
                                   std::move(actions));
  timetable = &plan;

  // The main window's start-up: placement, sun times, Hello, the schedule, autorun.
  window.ShowAtSavedPlacement();
  if (app.ap.sunset) plan.ComputeSun(true);
  thread.Post(capture::kHello);
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
  thread.Post(capture::kShutdown);
  app.state.saveAsTemplate = 0;
  SaveSettings(app);
  thread.Wait();
  live = nullptr;
  SetMessageHandler(before);
  return app.state.graph_error != 0 ? 1 : 0;
}

}  // namespace orvanta::ui
