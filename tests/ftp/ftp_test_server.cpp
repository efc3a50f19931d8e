#include "tests/ftp/ftp_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

extern char** environ;

namespace orvanta::ftp::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Binds a loopback TCP socket to a port of the kernel's choosing.
int BoundSocket(int* port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

bool FtpTestServer::Start(const std::string& root, std::string* error) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    *error = "pipe failed";
    return false;
  }
  const std::string log = root + ".log";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // Debian's interpreter: it is the one that sees python3-pyftpdlib.
  std::string python = "/usr/bin/python3";
  std::string script = ORVANTA_FTP_TEST_SERVER_SCRIPT;
  std::string root_arg = root;
  char* argv[] = {python.data(), script.data(), root_arg.data(), nullptr};
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, python.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    *error = "cannot start /usr/bin/python3";
    return false;
  }
  pid_ = pid;

  std::string line;
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (line.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{out[0], POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buf[64];
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  if (line.rfind("PORT ", 0) != 0) {
    Stop();
    *error = "FTP test server did not start; see " + log;
    return false;
  }
  port_ = std::atoi(line.c_str() + 5);
  return port_ > 0;
}

void FtpTestServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = -1;
}

SilentListener::SilentListener() {
  fd_ = BoundSocket(&port_);
  if (fd_ >= 0 && listen(fd_, 8) != 0) {
    close(fd_);
    fd_ = -1;
    port_ = 0;
  }
}

SilentListener::~SilentListener() {
  if (fd_ >= 0) close(fd_);
}

int ClosedPort() {
  int port = 0;
  const int fd = BoundSocket(&port);
  if (fd >= 0) close(fd);
  return port;
}

std::string MakeTempDir(const std::string& stem) {
  std::string pattern = (std::filesystem::temp_directory_path() / (stem + "-XXXXXX")).string();
  const char* made = mkdtemp(pattern.data());
  return made ? std::string(made) : std::string();
}

}  // namespace orvanta::ftp::testing
