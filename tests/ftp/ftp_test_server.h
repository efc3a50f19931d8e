// Test helpers: a real FTP server (pyftpdlib, Debian's python3) on 127.0.0.1 over a
// directory, a listener that accepts connections and never answers, and a closed port.
#pragma once

#include <string>

namespace orvanta::ftp::testing {

class FtpTestServer {
 public:
  FtpTestServer() = default;
  FtpTestServer(const FtpTestServer&) = delete;
  FtpTestServer& operator=(const FtpTestServer&) = delete;
  ~FtpTestServer() { Stop(); }

  // Serves `root` with the accounts of ftp_test_server.py ("station"/"s3cret" read-write,
  // "reader"/"r3ad" read-only). Waits at most 15 s for the server to listen.
  bool Start(const std::string& root, std::string* error);
  // Ends the server; waits at most 5 s before killing it.
  void Stop();
  int port() const { return port_; }

 private:
  int pid_ = -1;
  int port_ = 0;
};

// A TCP listener on 127.0.0.1 that never accepts: connections complete in the kernel's
// backlog and then hear nothing, like a hung server.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port on 127.0.0.1 that nothing listens on (connections are refused).
int ClosedPort();

// A fresh directory under the system's temporary directory.
std::string MakeTempDir(const std::string& stem);

}  // namespace orvanta::ftp::testing
