// The station with its window: the main window over the live thread, the once-a-second
// schedule and the autorun at start, until the window is closed (or SIGINT or SIGTERM
// close it without asking). The settings are saved and the live thread ended before it
// returns.
#pragma once

#include <functional>

#include "app/app_params.h"
#include "capture/capture_state.h"

namespace orvanta::ui {

class MainWindow;

struct WindowStationOptions {
  // Called once the window is up and the threads run (tests look at the window here).
  std::function<void(MainWindow& window)> started;
};

// Needs a QApplication and the settings loaded. Returns the exit status.
int RunWindowStation(AppContext& app, capture::CaptureState& state,
                     const WindowStationOptions& options = {});

}  // namespace orvanta::ui
