#include "station/service_notify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace orvanta::station {
namespace {

// The socket address for a name; false when it does not fit or is not a socket name.
bool MakeAddress(const std::string& name, sockaddr_un& address, socklen_t& length) {
  address = {};
  address.sun_family = AF_UNIX;
  if (name.size() < 2 || name.size() >= sizeof address.sun_path) return false;
  if (name[0] != '/' && name[0] != '@') return false;
  std::memcpy(address.sun_path, name.data(), name.size());
  // An abstract name starts with a zero byte and is not zero-terminated.
  if (name[0] == '@') address.sun_path[0] = '\0';
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() +
                                  (name[0] == '/' ? 1 : 0));
  return true;
}

bool ParseUnsigned(const char* text, unsigned long long& value) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  value = std::strtoull(text, &end, 10);
  return errno == 0 && *end == '\0' && text[0] != '-';
}

}  // namespace

ServiceNotifier ServiceNotifier::FromEnvironment() {
  const char* name = std::getenv("NOTIFY_SOCKET");
  return ServiceNotifier(name ? name : "");
}

ServiceNotifier::ServiceNotifier(std::string socket_name) : socket_name_(std::move(socket_name)) {
  sockaddr_un address;
  socklen_t length = 0;
  if (!MakeAddress(socket_name_, address, length)) return;
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

ServiceNotifier::~ServiceNotifier() {
  if (fd_ >= 0) ::close(fd_);
}

ServiceNotifier::ServiceNotifier(ServiceNotifier&& other) noexcept
    : socket_name_(std::move(other.socket_name_)), fd_(std::exchange(other.fd_, -1)) {}

bool ServiceNotifier::Send(const std::string& message) const {
  if (fd_ < 0 || message.empty()) return false;
  sockaddr_un address;
  socklen_t length = 0;
  if (!MakeAddress(socket_name_, address, length)) return false;
  ssize_t sent;
  do {
    sent = ::sendto(fd_, message.data(), message.size(), MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&address), length);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(message.size());
}

std::optional<std::chrono::microseconds> WatchdogPeriod() {
  unsigned long long usec = 0;
  if (!ParseUnsigned(std::getenv("WATCHDOG_USEC"), usec) || usec == 0) return std::nullopt;
  if (const char* pid_text = std::getenv("WATCHDOG_PID")) {
    unsigned long long pid = 0;
    if (!ParseUnsigned(pid_text, pid) || pid != static_cast<unsigned long long>(::getpid()))
      return std::nullopt;
  }
  return std::chrono::microseconds(usec);
}

}  // namespace orvanta::station
