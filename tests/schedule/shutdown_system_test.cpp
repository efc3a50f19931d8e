#include "schedule/shutdown_system.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/messages.h"
#include "tests/schedule/message_capture.h"

namespace orvanta::schedule {
namespace {

using testing::MessageCapture;

// Stands in for the system's power service; a real one would power off.
struct ScriptedPower : PowerService {
  bool connects = true, may = true, accepts = true;
  std::vector<std::string> requests;
  bool Connect(std::string&) override { return connects; }
  bool MayPowerOff(std::string&) override { return may; }
  bool SchedulePowerOff(const std::string& message, int delay, std::string&) override {
    requests.push_back(message + " in " + std::to_string(delay));
    return accepts;
  }
};

TEST(ShutdownSystem, MessagesAndClosingFollowTheServiceAnswers) {
  struct Case {
    const char* what;
    bool connects, may, accepts;
    ShutdownOutcome outcome;
    std::vector<std::string> messages;
    bool closed, requested;
  };
  const Case cases[] = {
      {"granted", true, true, true, ShutdownOutcome::Requested, {}, true, true},
      {"request refused", true, true, false, ShutdownOutcome::Refused, {}, true, true},
      {"no bus", false, true, true, ShutdownOutcome::NoToken, {"Cannot get token"}, false, false},
      {"no right",
       true,
       false,
       true,
       ShutdownOutcome::NoPrivilege,
       {"Cannot get shutdown privilege"},
       false,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedPower power;
    power.connects = c.connects, power.may = c.may, power.accepts = c.accepts;
    MessageCapture capture;
    int closed = 0;
    EXPECT_EQ(ShutdownSystem(power, [&] { ++closed; }), c.outcome);
    EXPECT_EQ(capture.messages, c.messages);
    EXPECT_EQ(closed, c.closed ? 1 : 0);
    EXPECT_EQ(power.requests,
              c.requested ? std::vector<std::string>{std::string(kShutdownMessage) + " in 30"}
                          : std::vector<std::string>{});
  }
}

// A private message bus with a stand-in for systemd-logind's manager object.
class FakeLogind {
 public:
  explicit FakeLogind(std::string address, std::string can_power_off, bool refuse_schedule)
      : address_(std::move(address)),
        answer_(std::move(can_power_off)),
        refuse_(refuse_schedule),
        thread_([this] { Serve(); }) {
    std::unique_lock lock(mutex_);
    ready_cv_.wait(lock, [this] { return ready_; });
  }
  ~FakeLogind() {
    {
      std::unique_lock lock(mutex_);
      ready_cv_.wait(lock, [this] { return loop_ != nullptr || failed_; });
      if (loop_) g_main_loop_quit(loop_);
    }
    thread_.join();
  }
  bool serving() const { return !failed_; }

  std::vector<std::string> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::optional<uint64_t> shutdown_usec() {
    std::lock_guard lock(mutex_);
    return usec_;
  }

 private:
  static constexpr char kXml[] =
      "<node><interface name='org.freedesktop.login1.Manager'>"
      "<method name='CanPowerOff'><arg type='s' direction='out'/></method>"
      "<method name='ScheduleShutdown'><arg type='s' direction='in'/>"
      "<arg type='t' direction='in'/></method>"
      "<method name='SetWallMessage'><arg type='s' direction='in'/>"
      "<arg type='b' direction='in'/></method>"
      "</interface></node>";

  static void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                     const gchar* method, GVariant* params, GDBusMethodInvocation* invocation,
                     gpointer self_ptr) {
    auto* self = static_cast<FakeLogind*>(self_ptr);
    std::lock_guard lock(self->mutex_);
    const std::string name = method;
    if (name == "CanPowerOff") {
      self->calls_.push_back(name);
      g_dbus_method_invocation_return_value(invocation,
                                            g_variant_new("(s)", self->answer_.c_str()));
    } else if (name == "SetWallMessage") {
      const gchar* text = nullptr;
      gboolean enable = FALSE;
      g_variant_get(params, "(&sb)", &text, &enable);
      self->calls_.push_back(name + " " + text + (enable ? " on" : " off"));
      g_dbus_method_invocation_return_value(invocation, nullptr);
    } else if (name == "ScheduleShutdown") {
      const gchar* type = nullptr;
      guint64 usec = 0;
      g_variant_get(params, "(&st)", &type, &usec);
      self->calls_.push_back(name + " " + type);
      if (self->refuse_) {
        g_dbus_method_invocation_return_dbus_error(
            invocation, "org.freedesktop.DBus.Error.AccessDenied", "not allowed");
      } else {
        self->usec_ = usec;
        g_dbus_method_invocation_return_value(invocation, nullptr);
      }
    }
  }

  void Serve() {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        address_.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kXml, nullptr);
    static const GDBusInterfaceVTable vtable = {&FakeLogind::OnCall, nullptr, nullptr, {}};
    GVariant* owned = nullptr;
    if (bus && node) {
      g_dbus_connection_register_object(bus, "/org/freedesktop/login1", node->interfaces[0],
                                        &vtable, this, nullptr, nullptr);
      owned = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                          "org.freedesktop.DBus", "RequestName",
                                          g_variant_new("(su)", "org.freedesktop.login1", 4u),
                                          nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    }
    {
      std::lock_guard lock(mutex_);
      failed_ = owned == nullptr;
      if (!failed_) loop_ = g_main_loop_new(context, FALSE);
      ready_ = true;
    }
    ready_cv_.notify_all();
    if (owned) {
      g_variant_unref(owned);
      g_main_loop_run(loop_);
      g_main_loop_unref(loop_);
    }
    if (node) g_dbus_node_info_unref(node);
    if (bus) {
      g_dbus_connection_close_sync(bus, nullptr, nullptr);
      g_object_unref(bus);
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  }

  std::string address_;
  std::string answer_;
  bool refuse_;
  std::mutex mutex_;
  std::condition_variable ready_cv_;
  bool ready_ = false;
  bool failed_ = false;
  GMainLoop* loop_ = nullptr;
  std::vector<std::string> calls_;
  std::optional<uint64_t> usec_;
  std::thread thread_;
};

class LogindTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // GTestDBus aborts the process when it cannot spawn the daemon.
    gchar* daemon = g_find_program_in_path("dbus-daemon");
    if (!daemon) GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
    g_free(daemon);
    bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
    g_test_dbus_up(bus_);
    const gchar* address = g_test_dbus_get_bus_address(bus_);
    if (!address) GTEST_SKIP() << "cannot start a private message bus (dbus-daemon)";
    address_ = address;
  }
  void TearDown() override {
    if (bus_) {
      g_test_dbus_down(bus_);
      g_object_unref(bus_);
    }
  }

  GTestDBus* bus_ = nullptr;
  std::string address_;
};

TEST_F(LogindTest, SchedulesPowerOffInThirtySecondsWithTheAnnouncement) {
  FakeLogind logind(address_, "yes", false);
  ASSERT_TRUE(logind.serving());
  auto power = LogindPowerService(address_);
  MessageCapture capture;
  int closed = 0;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  EXPECT_EQ(ShutdownSystem(*power, [&] { ++closed; }), ShutdownOutcome::Requested);
  EXPECT_TRUE(capture.messages.empty());
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(logind.calls(),
            (std::vector<std::string>{"CanPowerOff",
                                      std::string("SetWallMessage ") + kShutdownMessage + " on",
                                      "ScheduleShutdown poweroff"}));
  ASSERT_TRUE(logind.shutdown_usec());
  const auto now_usec = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  EXPECT_NEAR(static_cast<double>(*logind.shutdown_usec() - now_usec), 30e6, 2e6);
}

TEST_F(LogindTest, RefusalsMapToTheirMessages) {
  struct Case {
    const char* what;
    const char* answer;  // null: no logind on the bus
    bool refuse;
    ShutdownOutcome outcome;
    std::vector<std::string> messages;
    int closed;
  };
  const Case cases[] = {
      {"needs a password",
       "challenge",
       false,
       ShutdownOutcome::NoPrivilege,
       {"Cannot get shutdown privilege"},
       0},
      {"not allowed",
       "no",
       false,
       ShutdownOutcome::NoPrivilege,
       {"Cannot get shutdown privilege"},
       0},
      {"no logind",
       nullptr,
       false,
       ShutdownOutcome::NoPrivilege,
       {"Cannot get shutdown privilege"},
       0},
      {"request refused", "yes", true, ShutdownOutcome::Refused, {}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<FakeLogind> logind;
    if (c.answer) logind.emplace(address_, c.answer, c.refuse);
    auto power = LogindPowerService(address_);
    MessageCapture capture;
    int closed = 0;
    EXPECT_EQ(ShutdownSystem(*power, [&] { ++closed; }), c.outcome);
    EXPECT_EQ(capture.messages, c.messages);
    EXPECT_EQ(closed, c.closed);
  }
}

TEST(LogindPowerService, NoBusMeansNoToken) {
  auto power = LogindPowerService("unix:path=/nonexistent/orvanta-bus");
  MessageCapture capture;
  int closed = 0;
  EXPECT_EQ(ShutdownSystem(*power, [&] { ++closed; }), ShutdownOutcome::NoToken);
  EXPECT_EQ(capture.messages, (std::vector<std::string>{"Cannot get token"}));
  EXPECT_EQ(closed, 0);
}

}  // namespace
}  // namespace orvanta::schedule
