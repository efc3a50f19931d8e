// The station without a window: the live thread, the live page's actions and the graph's
// events on the main thread's event loop, detection started at once, ended by SIGINT or
// SIGTERM (or by the end of a file source, or by a graph failure) with a clean stop: a
// clip being recorded when a signal comes is cut short and finished, and the program
// leaves within seconds even when its source never answers.
#pragma once

#include <functional>

#include "app/app_params.h"
#include "capture/capture_state.h"
#include "capture/live_graph.h"

namespace orvanta::capture {
class LiveController;
}

namespace orvanta::station {

struct HeadlessOptions {
  // Called with the hooks before the live thread starts, to add seams of the caller's.
  std::function<void(capture::CaptureHooks&)> customize;
  // Called on the live thread each time a live graph has been built, before it runs.
  std::function<void(capture::LiveGraph&)> graph_built;
  // Save the settings at the end (the station does, a batch tool does not).
  bool save_settings = true;
  // With a detection window on, the once-a-second schedule starts and stops detection
  // (and the run goes on until a signal); otherwise detection starts at once.
  bool use_schedule = true;
  // Without a schedule the run starts detecting; false starts it previewing, for a caller
  // that arms detection itself (a batch run primes the filter first).
  bool detect_at_start = true;
  // Called on the main thread just before its event loop runs, with the live page and
  // whether the schedule drives detection (the station's status and service supervision
  // read them), and once the loop has ended, before the clean stop.
  std::function<void(const capture::LiveController& page, bool scheduled)> started;
  std::function<void()> ending;
  // A run ended by a signal returns 128 + its number (as a shell reports it), so that a
  // script can tell an interrupted batch run from a complete one.
  bool signal_status = false;
};

// Runs the station until it ends; needs a QCoreApplication. Returns the exit status:
// 0 after a clean end, 1 when the graph could not be built or failed.
int RunHeadlessStation(AppContext& app, capture::CaptureState& state,
                       const HeadlessOptions& options);

// Asks a running station to end (async-signal-safe).
void RequestHeadlessStop();

// The signal that asked the run to end, or 0.
int HeadlessStopSignal();

}  // namespace orvanta::station
