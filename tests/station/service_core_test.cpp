// The station-as-a-service cores: the watchdog rule, readiness, the notification protocol
// against a socket this test listens on, the watchdog period from the environment.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "station/service_notify.h"
#include "station/station_status.h"
#include "station/watchdog_rule.h"

namespace orvanta::station {
namespace {

TEST(WatchdogRule, KeepAliveOnlyWhileFramesFlowOrIdleBySchedule) {
  struct Case {
    const char* what;
    WatchdogCheck check;
    bool due;
  };
  const Case cases[] = {
      {"detecting, frames flow", {120, 95, 2, false, false}, true},
      {"previewing, frames flow", {3, 2, 1, false, false}, true},
      {"detecting, source stalled", {95, 95, 2, false, false}, false},
      {"detecting under a schedule, source stalled", {95, 95, 2, true, false}, false},
      {"graph never delivered", {0, 0, 2, false, false}, false},
      {"a new graph counts from where the old one left", {96, 95, 2, false, false}, true},
      {"idle by the schedule", {95, 95, 0, true, false}, true},
      {"idle without a schedule (the run is ending)", {95, 95, 0, false, false}, false},
      {"stopping, frames still flow", {120, 95, 2, false, true}, false},
      {"stopping, idle by the schedule", {95, 95, 0, true, true}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(KeepAliveDue(c.check), c.due);
  }
}

TEST(WatchdogRule, ReadyOnceFramesArriveOrIdleBySchedule) {
  EXPECT_FALSE(StationReady(0, 2, false));  // graph built, nothing through yet
  EXPECT_FALSE(StationReady(0, 2, true));
  EXPECT_TRUE(StationReady(1, 2, false));
  EXPECT_TRUE(StationReady(5, 1, false));
  EXPECT_TRUE(StationReady(0, 0, true));    // the schedule waits for its window
  EXPECT_FALSE(StationReady(0, 0, false));  // idle on its own: not ready
}

// A datagram socket bound where the service manager would listen.
class Listener {
 public:
  explicit Listener(const std::string& name) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name[0] == '@') address.sun_path[0] = '\0';
    const socklen_t length =
        offsetof(sockaddr_un, sun_path) + name.size() + (name[0] == '@' ? 0 : 1);
    bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0;
    timeval wait{2, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  }
  ~Listener() { ::close(fd_); }
  bool bound() const { return bound_; }
  std::string Receive() {
    char buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    return n < 0 ? std::string("<nothing>") : std::string(buffer, static_cast<size_t>(n));
  }

 private:
  int fd_ = -1;
  bool bound_ = false;
};

TEST(ServiceNotifier, SendsEachMessageAsOneDatagramToAPathOrAnAbstractName) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("orvanta-notify-" + std::to_string(::getpid())))
          .string();
  ::unlink(path.c_str());
  const std::string abstract = "@orvanta-notify-" + std::to_string(::getpid());
  for (const std::string& name : {path, abstract}) {
    SCOPED_TRACE(name);
    Listener listener(name);
    ASSERT_TRUE(listener.bound());
    ServiceNotifier notifier(name);
    ASSERT_TRUE(notifier.active());
    EXPECT_TRUE(notifier.Send("READY=1\nSTATUS=detecting, level 12, clip 3"));
    EXPECT_TRUE(notifier.Send("WATCHDOG=1"));
    EXPECT_EQ(listener.Receive(), "READY=1\nSTATUS=detecting, level 12, clip 3");
    EXPECT_EQ(listener.Receive(), "WATCHDOG=1");
  }
  ::unlink(path.c_str());
}

TEST(ServiceNotifier, OutsideAServiceNothingIsSent) {
  for (const char* name : {"", "relative/socket", "@", "/gone/notify"}) {
    SCOPED_TRACE(name);
    ServiceNotifier notifier(name);
    EXPECT_FALSE(notifier.Send("READY=1"));
  }
  ::unsetenv("NOTIFY_SOCKET");
  EXPECT_FALSE(ServiceNotifier::FromEnvironment().active());
  EXPECT_FALSE(ServiceNotifier(std::string(200, '/')).active());  // longer than a socket name
}

TEST(ServiceNotifier, WatchdogPeriodFromTheEnvironment) {
  const std::string self = std::to_string(::getpid());
  struct Case {
    const char* usec;
    std::string pid;     // empty: unset
    long long expected;  // -1: no watchdog
  };
  const Case cases[] = {
      {nullptr, "", -1},
      {"30000000", "", 30000000},
      {"30000000", self, 30000000},
      {"30000000", "1", -1},
      {"0", "", -1},
      {"-5", "", -1},
      {"12s", "", -1},
      {"", "", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.usec ? c.usec : "(unset)") + " pid " + c.pid);
    if (c.usec) {
      ::setenv("WATCHDOG_USEC", c.usec, 1);
    } else {
      ::unsetenv("WATCHDOG_USEC");
    }
    if (c.pid.empty()) {
      ::unsetenv("WATCHDOG_PID");
    } else {
      ::setenv("WATCHDOG_PID", c.pid.c_str(), 1);
    }
    const auto period = WatchdogPeriod();
    EXPECT_EQ(period ? period->count() : -1, c.expected);
  }
  ::unsetenv("WATCHDOG_USEC");
  ::unsetenv("WATCHDOG_PID");
}

TEST(StationStatus, PrintedLinesAndTheStateNames) {
  StationStatus status{37, 12, 2, "/var/lib/orvanta/roof/clips/M20240812_233012_ROOF.avi"};
  EXPECT_EQ(FormatStatus(status),
            "level 37\nclip_no 12\nlive detecting\n"
            "last_clip /var/lib/orvanta/roof/clips/M20240812_233012_ROOF.avi\n");
  EXPECT_EQ(FormatStatus({0, 0, 0, ""}), "level 0\nclip_no 0\nlive idle\nlast_clip -\n");
  for (int state : {0, 1, 2}) EXPECT_EQ(LiveStateFromName(LiveStateName(state)), state);
  EXPECT_EQ(LiveStateFromName("unknown"), -1);
  EXPECT_EQ(StatusServiceNameForPid(4242), "org.orvanta.Zavip.Pid4242");
}

}  // namespace
}  // namespace orvanta::station
