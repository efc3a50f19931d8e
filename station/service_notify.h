// The service manager's notification protocol: one datagram per message ("READY=1",
// "WATCHDOG=1", "STATUS=...", "STOPPING=1") to the socket named by NOTIFY_SOCKET (a path,
// or an abstract name after '@'). Outside a service the variable is unset and every
// message is dropped.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace orvanta::station {

class ServiceNotifier {
 public:
  // From NOTIFY_SOCKET; unset or unusable: a notifier that sends nothing.
  static ServiceNotifier FromEnvironment();
  explicit ServiceNotifier(std::string socket_name);
  ~ServiceNotifier();
  ServiceNotifier(ServiceNotifier&& other) noexcept;
  ServiceNotifier& operator=(ServiceNotifier&&) = delete;
  ServiceNotifier(const ServiceNotifier&) = delete;
  ServiceNotifier& operator=(const ServiceNotifier&) = delete;

  bool active() const { return fd_ >= 0; }
  // Sends one message ("KEY=VALUE" lines); false when it could not be sent.
  bool Send(const std::string& message) const;

 private:
  std::string socket_name_;
  int fd_ = -1;
};

// The keep-alive period the service manager expects, from WATCHDOG_USEC (and WATCHDOG_PID,
// which must name this process when set); nothing when no watchdog is asked for.
std::optional<std::chrono::microseconds> WatchdogPeriod();

}  // namespace orvanta::station
