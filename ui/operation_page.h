// The "Operation" page of the left sheet: what the station does around detection (autorun,
// still images, the two schedule windows, the free-space rule, the sound and command at a
// capture, FTP, the replay cache) and reading and saving settings files. Every control
// writes its value at once; showing the page again reloads them from the settings.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/app_params.h"
#include "products/ftp_client.h"
#include "schedule/detection_schedule.h"
#include "ui/setting_controls.h"

namespace orvanta::ui {

class OperationPage : public QWidget {
 public:
  explicit OperationPage(AppContext& app, QWidget* parent = nullptr);

  // Set while the main window lays out its sheets: showing the page then only lays out.
  std::function<bool()> resizing;
  // "Read Settings", before the file is loaded: the page images are filled with grey.
  std::function<void()> before_read_settings;
  // The result of "Clear" for the live status line ("-FTP:..."); empty keeps it.
  std::function<void(const std::string& suffix)> ftp_status;
  // The schedule dialog's "test": the clip database page re-reads its list.
  std::function<void()> reread_clip_list;
  // The date the sun times are computed for (the schedule's clock).
  schedule::LocalClock clock = schedule::SystemLocalTime;
  // How long "Clear" waits for the FTP server.
  ftp::FtpTimeouts ftp_timeouts;

  // Every control from the settings, then the schedule refresh, free space and version.
  void LoadControls();
  // With "Auto Adjust to Sun" the window edges follow the sun and cannot be typed.
  void RefreshSchedule();
  // Free space of the clip drive in MiB ("MB (now %d MB)").
  void ShowFreeSpace(int free_mb);
  // Today's sun times for the schedule dialog, without applying them.
  schedule::SunTimes SunTimesToday();
  // The schedule and FTP dialogs (modal).
  void OpenScheduleDialog();
  void OpenFtpDialog();
  // "Clear": the server's "zav" images, off the GUI thread.
  void ClearServerImages();
  bool clearing() const { return clearing_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  FlagBox* Flag(const char* key, const char* id, const char* caption);
  IntEdit* Number(const char* key, const char* id, const QString& name, bool rewrite, int width);
  QPushButton* Button(const char* caption, const char* id, const QString& name);
  void ChooseProfile(int window);
  void ChooseSound();
  void ChooseCommand();
  void ChooseCacheDir();
  void ReadSettings();
  void SaveSettingsAs();
  void LoadPathFields();

  AppContext& app_;
  std::vector<FlagBox*> flags_;
  std::vector<IntEdit*> numbers_;
  std::vector<TextEdit*> texts_;
  std::vector<QWidget*> schedule_times_;  // the eight edges' edits and up-downs
  IntEdit* free_mb_edit_ = nullptr;
  QLabel* free_now_;
  QLabel* version_;
  QLineEdit* profile_[2];
  QLineEdit* cache_dir_;
  QPushButton* clear_;
  QLabel* clear_result_;
  QCheckBox* as_template_;
  bool clearing_ = false;
};

}  // namespace orvanta::ui
