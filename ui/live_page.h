// The "Live" page of the right sheet: the run buttons, the video area, the detection size
// and level controls with their meters, the audio trigger level and the status strip. Its
// buttons perform the LiveController's actions; the page shows what the controller and the
// detection block hold, refreshed by its timer while a graph runs.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "app/app_params.h"
#include "capture/capture_state.h"
#include "capture/live_controller.h"
#include "ui/status_strip.h"
#include "ui/status_strip_rules.h"
#include "ui/up_down.h"
#include "ui/video_area.h"

namespace orvanta::ui {

class LivePage : public QWidget {
 public:
  LivePage(AppContext& app, capture::CaptureState& state, QWidget* parent = nullptr);

  // Adds the page's own seams to the controller's hooks: the refresh timer, the audio
  // meter, the status and the button states (safe from any thread).
  void FillHooks(capture::LivePageHooks& hooks);
  void SetController(capture::LiveController* controller) { controller_ = controller; }

  // "1:N": the main window fits itself to the video.
  std::function<void()> fit_window;
  // Set while the main window lays out its sheets: showing the page then only lays out.
  std::function<bool()> resizing;

  // One tick of the refresh timer.
  void Refresh();
  // Buttons and the Rec caption from the controller.
  void SyncControls();
  // Edits and trackbars from the settings.
  void LoadControls();
  void StopRefresh() { refresh_.stop(); }

  capture::LiveController* controller() const { return controller_; }
  VideoArea* video() const { return video_; }
  StatusStrip* status() const { return status_; }
  const QTimer& refresh_timer() const { return refresh_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void OnDetect();
  void OnPreview();
  void OnStop();
  void OnRec();
  void SetDsize(int value, bool rewrite_edit);
  void SetDlev(int value, bool rewrite_edit);
  void RefreshStatus();
  void OnGui(std::function<void()> work);

  AppContext& app_;
  capture::CaptureState& state_;
  capture::LiveController* controller_ = nullptr;
  QPushButton* detect_;
  QPushButton* preview_;
  QPushButton* stop_;
  QPushButton* rec_;
  QPushButton* one_to_n_;
  VideoArea* video_;
  StatusStrip* status_;
  QLineEdit* dsize_edit_;
  UpDown* dsize_updown_;
  QSlider* dsize_track_;
  QProgressBar* hits_;
  QLineEdit* dlev_edit_;
  UpDown* dlev_updown_;
  QSlider* dlev_track_;
  QProgressBar* level_;
  QSlider* alev_track_;
  QProgressBar* apeak_;
  QTimer refresh_;
  int last_status_code_ = -1;
  StatusChoice status_choice_;
  int last_dlev_set_ = -1;
  int wake_ticks_ = 0;
  bool loading_ = false;
};

}  // namespace orvanta::ui
