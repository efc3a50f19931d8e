#include "schedule/shutdown_system.h"

#include "app/messages.h"

namespace orvanta::schedule {

ShutdownOutcome ShutdownSystem(PowerService& power, const std::function<void()>& close_program) {
  std::string error;
  if (!power.Connect(error)) {
    ReportMessage("Cannot get token");
    return ShutdownOutcome::NoToken;
  }
  if (!power.MayPowerOff(error)) {
    ReportMessage("Cannot get shutdown privilege");
    return ShutdownOutcome::NoPrivilege;
  }
  const bool requested = power.SchedulePowerOff(kShutdownMessage, kShutdownDelaySeconds, error);
  if (close_program) close_program();
  return requested ? ShutdownOutcome::Requested : ShutdownOutcome::Refused;
}

}  // namespace orvanta::schedule
