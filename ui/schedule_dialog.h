// "Orvanta Detect Schedule Adjust Settings": the sun offsets of the two schedule windows,
// today's sunrise and sunset with the windows they give (recomputed at every change of an
// offset, not applied), and what follows a window's end. Every control stores its value at
// once; Enter, Escape or the close box close it.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <functional>

#include "app/app_params.h"
#include "schedule/sun_schedule.h"

namespace orvanta::ui {

class ScheduleDialog : public QDialog {
 public:
  // `sun_today` computes today's sun times from the settings without applying them.
  ScheduleDialog(AppContext& app, std::function<schedule::SunTimes()> sun_today,
                 QWidget* parent = nullptr);

  // The clip database page re-reads its list after "test".
  std::function<void()> reread_clip_list;

  // The four lines from today's sun times.
  void RefreshDisplay();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  AppContext& app_;
  std::function<schedule::SunTimes()> sun_today_;
  QLabel* site_;
  QLabel* today_;
  QLabel* window_[2];
  QLineEdit* db2_dir_;
};

}  // namespace orvanta::ui
