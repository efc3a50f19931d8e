// PowerService over systemd-logind's D-Bus interface, through GIO.
#include <gio/gio.h>

#include <chrono>

#include "schedule/shutdown_system.h"

namespace orvanta::schedule {
namespace {

constexpr char kLogindName[] = "org.freedesktop.login1";
constexpr char kLogindPath[] = "/org/freedesktop/login1";
constexpr char kManager[] = "org.freedesktop.login1.Manager";
constexpr int kCallTimeoutMs = 10000;

std::string TakeError(GError* error) {
  std::string text = error ? error->message : "unknown error";
  if (error) g_error_free(error);
  return text;
}

class LogindPowerServiceImpl final : public PowerService {
 public:
  explicit LogindPowerServiceImpl(std::string bus_address) : address_(std::move(bus_address)) {}
  ~LogindPowerServiceImpl() override {
    if (bus_) g_object_unref(bus_);
  }

  bool Connect(std::string& error) override {
    if (bus_) return true;
    GError* gerror = nullptr;
    if (address_.empty()) {
      bus_ = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &gerror);
    } else {
      bus_ = g_dbus_connection_new_for_address_sync(
          address_.c_str(),
          static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                            G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
          nullptr, nullptr, &gerror);
    }
    if (!bus_) error = TakeError(gerror);
    return bus_ != nullptr;
  }

  bool MayPowerOff(std::string& error) override {
    GVariant* reply = Call("CanPowerOff", nullptr, G_VARIANT_TYPE("(s)"), error);
    if (!reply) return false;
    const gchar* answer = nullptr;
    g_variant_get(reply, "(&s)", &answer);
    // "challenge" would need a password that nobody is there to type.
    const bool yes = g_strcmp0(answer, "yes") == 0;
    if (!yes) error = std::string("logind answers ") + (answer ? answer : "");
    g_variant_unref(reply);
    return yes;
  }

  bool SchedulePowerOff(const std::string& message, int delay_seconds,
                        std::string& error) override {
    // The announcement is a courtesy; a logind that refuses it still powers off.
    std::string ignored;
    if (GVariant* reply = Call("SetWallMessage", g_variant_new("(sb)", message.c_str(), TRUE),
                               nullptr, ignored)) {
      g_variant_unref(reply);
    }
    const auto when = std::chrono::system_clock::now() + std::chrono::seconds(delay_seconds);
    const auto usec =
        std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count();
    GVariant* reply =
        Call("ScheduleShutdown", g_variant_new("(st)", "poweroff", static_cast<guint64>(usec)),
             nullptr, error);
    if (!reply) return false;
    g_variant_unref(reply);
    return true;
  }

 private:
  GVariant* Call(const char* method, GVariant* args, const GVariantType* reply_type,
                 std::string& error) {
    if (!bus_ && !Connect(error)) {
      if (args) g_variant_unref(g_variant_ref_sink(args));
      return nullptr;
    }
    GError* gerror = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus_, kLogindName, kLogindPath, kManager, method,
                                                  args, reply_type, G_DBUS_CALL_FLAGS_NONE,
                                                  kCallTimeoutMs, nullptr, &gerror);
    if (!reply) error = TakeError(gerror);
    return reply;
  }

  std::string address_;
  GDBusConnection* bus_ = nullptr;
};

}  // namespace

std::unique_ptr<PowerService> LogindPowerService(const std::string& bus_address) {
  return std::make_unique<LogindPowerServiceImpl>(bus_address);
}

}  // namespace orvanta::schedule
