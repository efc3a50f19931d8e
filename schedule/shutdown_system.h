// Powering the station off after the detection end. The system's power
// service sits behind PowerService so that nothing but the real program
// ever asks the machine to go down.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace orvanta::schedule {

inline constexpr char kShutdownMessage[] = "OrvantaIP schedule setting / Shutdown after detect end";
inline constexpr int kShutdownDelaySeconds = 30;

class PowerService {
 public:
  virtual ~PowerService() = default;
  // False when the service cannot be reached at all.
  virtual bool Connect(std::string& error) = 0;
  // Whether this user may power the machine off without being asked.
  virtual bool MayPowerOff(std::string& error) = 0;
  // Asks for a power-off (no restart) in delay_seconds, announcing message
  // to the logged-in users; false when the request is refused.
  virtual bool SchedulePowerOff(const std::string& message, int delay_seconds,
                                std::string& error) = 0;
};

// systemd-logind on the system bus, or on the bus at bus_address when given.
std::unique_ptr<PowerService> LogindPowerService(const std::string& bus_address = {});

enum class ShutdownOutcome {
  Requested,    // power-off scheduled; the program was closed
  Refused,      // the request was refused; the program was closed all the same
  NoToken,      // "Cannot get token" shown; the program goes on
  NoPrivilege,  // "Cannot get shutdown privilege" shown; the program goes on
};

// ShutdownSystem: asks for a power-off in 30 seconds, then closes the
// program through its normal close path (close_program).
ShutdownOutcome ShutdownSystem(PowerService& power, const std::function<void()>& close_program);

}  // namespace orvanta::schedule
