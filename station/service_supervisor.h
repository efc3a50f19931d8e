// Tells the service manager how the station is doing: READY=1 once the graph delivers
// frames (or the schedule keeps the station idle), a keep-alive at every half watchdog
// period when KeepAliveDue says so, the status line, and STOPPING=1 when the station ends.
// Runs on the main thread's event loop, so a hung loop stops the keep-alives too.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "station/service_notify.h"
#include "station/station_status.h"

class QTimer;

namespace orvanta::station {

class ServiceSupervisor {
 public:
  struct Inputs {
    std::function<uint64_t()> frames;  // frames that reached the detection filter so far
    std::function<int()> live_state;
    std::function<StationStatus()> status;
    bool scheduled = false;
  };
  using Log = std::function<void(const std::string& line)>;

  // Needs a QCoreApplication. Outside a service (no notification socket) it does nothing.
  ServiceSupervisor(ServiceNotifier notifier, std::optional<std::chrono::microseconds> watchdog,
                    Inputs inputs, Log log);
  ~ServiceSupervisor();
  ServiceSupervisor(const ServiceSupervisor&) = delete;
  ServiceSupervisor& operator=(const ServiceSupervisor&) = delete;

  void Start();
  // The station is ending on its own: no keep-alive from now on.
  void Stopping();

 private:
  void CheckReady();
  void CheckAlive();

  ServiceNotifier notifier_;
  std::optional<std::chrono::microseconds> watchdog_;
  Inputs inputs_;
  Log log_;
  std::unique_ptr<QTimer> ready_timer_;
  std::unique_ptr<QTimer> alive_timer_;
  bool ready_ = false;
  bool stopping_ = false;
  bool withheld_ = false;
  uint64_t frames_before_ = 0;
};

}  // namespace orvanta::station
