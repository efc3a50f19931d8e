// The main window "OrvantaIP": the settings sheet on the left (Input, Operation, Profile,
// DB) and the video sheet on the right (Live, Replay), laid out by the sheet rules, with
// its placement kept in the settings and the close path that asks while detecting.
#pragma once

#include <QTabWidget>
#include <QWidget>
#include <functional>

#include "app/app_params.h"
#include "capture/capture_state.h"
#include "ui/db_page.h"
#include "ui/input_page.h"
#include "ui/live_page.h"
#include "ui/operation_page.h"
#include "ui/profile_page.h"
#include "ui/replay_page.h"
#include "ui/window_layout.h"

namespace orvanta::ui {

class MainWindow : public QWidget {
 public:
  MainWindow(AppContext& app, capture::CaptureState& state, QWidget* parent = nullptr);

  LivePage* live_page() const { return live_page_; }
  InputPage* input_page() const { return input_page_; }
  ReplayPage* replay_page() const { return replay_page_; }
  DbPage* db_page() const { return db_page_; }
  OperationPage* operation_page() const { return operation_page_; }
  ProfilePage* profile_page() const { return profile_page_; }
  QTabWidget* left_sheet() const { return left_; }
  QTabWidget* right_sheet() const { return right_; }
  const SheetLayout& sheet_layout() const { return layout_; }
  bool resizing() const { return resizing_; }

  // Moves the window to the saved rectangle and shows it in the saved show state.
  void ShowAtSavedPlacement();
  // The window's normal rectangle and show state into the settings.
  void StorePlacement();
  // "1:N": the window fits the video at one, two or half its pixel size.
  void FitWindowToVideo();
  // Closes without asking (a signal to end, the system shutting down); open message boxes
  // are closed first.
  void CloseWithoutAsking();

  // Runs as the window closes, before the placement is stored: the owner stops the
  // schedule timer.
  std::function<void()> on_closing;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  AppContext& app_;
  QTabWidget* left_;
  QTabWidget* right_;
  LivePage* live_page_;
  InputPage* input_page_;
  ReplayPage* replay_page_;
  DbPage* db_page_;
  OperationPage* operation_page_;
  ProfilePage* profile_page_;
  SheetLayout layout_;
  bool resizing_ = false;
  bool closing_without_asking_ = false;
};

}  // namespace orvanta::ui
