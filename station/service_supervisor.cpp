#include "station/service_supervisor.h"

#include <QTimer>
#include <algorithm>
#include <utility>

#include "station/watchdog_rule.h"

namespace orvanta::station {

namespace {
constexpr int kReadyCheckMs = 500;
}

ServiceSupervisor::ServiceSupervisor(ServiceNotifier notifier,
                                     std::optional<std::chrono::microseconds> watchdog,
                                     Inputs inputs, Log log)
    : notifier_(std::move(notifier)),
      watchdog_(watchdog),
      inputs_(std::move(inputs)),
      log_(std::move(log)) {}

ServiceSupervisor::~ServiceSupervisor() = default;

void ServiceSupervisor::Start() {
  if (!notifier_.active()) return;
  ready_timer_ = std::make_unique<QTimer>();
  QObject::connect(ready_timer_.get(), &QTimer::timeout, [this] { CheckReady(); });
  ready_timer_->start(kReadyCheckMs);
  if (watchdog_) {
    const auto half = std::chrono::duration_cast<std::chrono::milliseconds>(*watchdog_) / 2;
    alive_timer_ = std::make_unique<QTimer>();
    QObject::connect(alive_timer_.get(), &QTimer::timeout, [this] { CheckAlive(); });
    alive_timer_->start(std::max<int>(100, static_cast<int>(half.count())));
  }
}

void ServiceSupervisor::CheckReady() {
  if (ready_ || stopping_) return;
  if (!StationReady(inputs_.frames(), inputs_.live_state(), inputs_.scheduled)) return;
  ready_ = true;
  ready_timer_->stop();
  notifier_.Send("READY=1\nSTATUS=" + StatusLine(inputs_.status()));
  log_("Station ready: " + StatusLine(inputs_.status()));
}

void ServiceSupervisor::CheckAlive() {
  WatchdogCheck check;
  check.frames_now = inputs_.frames();
  check.frames_before = frames_before_;
  check.live_state = inputs_.live_state();
  check.scheduled = inputs_.scheduled;
  check.stopping = stopping_;
  frames_before_ = check.frames_now;
  const bool due = KeepAliveDue(check);
  if (due) {
    notifier_.Send("WATCHDOG=1\nSTATUS=" + StatusLine(inputs_.status()));
  } else if (!withheld_ && !stopping_) {
    log_("Keep-alive withheld: no frame reached the detection filter in the last " +
         std::to_string(alive_timer_->interval()) + " ms (" + LiveStateName(check.live_state) +
         ")");
  }
  if (due && withheld_) log_("Keep-alive resumed: frames reach the detection filter again");
  withheld_ = !due;
}

void ServiceSupervisor::Stopping() {
  if (stopping_) return;
  stopping_ = true;
  if (ready_timer_) ready_timer_->stop();
  if (alive_timer_) alive_timer_->stop();
  notifier_.Send("STOPPING=1");
}

}  // namespace orvanta::station
