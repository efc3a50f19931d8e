// SIGINT and SIGTERM as a request to end the station, heard on the main thread's event
// loop (the handler itself only writes to a pipe).
#pragma once

#include <functional>
#include <memory>

namespace orvanta::station {

class StopSignals {
 public:
  // From now on each SIGINT or SIGTERM runs `on_stop` on the calling thread's event loop.
  explicit StopSignals(std::function<void()> on_stop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Asks as a signal would (async-signal-safe).
  static void Request();
  // The first SIGINT or SIGTERM received, 0 before any (a request is no signal).
  static int Received();

 private:
  struct Notifier;
  std::unique_ptr<Notifier> notifier_;
};

}  // namespace orvanta::station
