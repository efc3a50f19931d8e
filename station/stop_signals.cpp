#include "station/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace orvanta::station {
namespace {

int stop_pipe[2] = {-1, -1};
volatile sig_atomic_t received = 0;

void OnSignal(int signal) {
  if (received == 0) received = signal;
  StopSignals::Request();
}

}  // namespace

struct StopSignals::Notifier {
  QSocketNotifier socket;
  explicit Notifier(int fd) : socket(fd, QSocketNotifier::Read) {}
};

void StopSignals::Request() {
  if (stop_pipe[1] >= 0) {
    const char c = 's';
    [[maybe_unused]] ssize_t n = ::write(stop_pipe[1], &c, 1);
  }
}

int StopSignals::Received() {
  return received;
}

StopSignals::StopSignals(std::function<void()> on_stop) {
  if (stop_pipe[0] < 0 && ::pipe2(stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  notifier_ = std::make_unique<Notifier>(stop_pipe[0]);
  QObject::connect(&notifier_->socket, &QSocketNotifier::activated, [on_stop = std::move(on_stop)] {
    char buf[16];
    while (::read(stop_pipe[0], buf, sizeof buf) > 0) {
    }
    on_stop();
  });
}

StopSignals::~StopSignals() = default;

}  // namespace orvanta::station
