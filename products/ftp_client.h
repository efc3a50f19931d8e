// The FTP operations the uploader needs, over libcurl: store one file, and delete the files
// of a directory whose names begin with a prefix. Every wait is bounded (FtpTimeouts).
#pragma once

#include <optional>
#include <string>

namespace orvanta::ftp {

// Where and as whom to log in. An empty user logs in anonymously.
struct FtpEndpoint {
  std::string server;  // host name or address as the user typed it ("ftp://" is tolerated)
  int port = 21;
  std::string user;
  std::string password;
  bool passive = true;
};

// Bounds on every network wait, so that a dead or silent server cannot hold the live thread
// (the next clip's recording waits for the upload). All in milliseconds.
struct FtpTimeouts {
  long connect_ms = 10000;   // name lookup and TCP connect
  long response_ms = 10000;  // any single server reply: greeting, log-in, CWD, STOR (whole seconds)
  long accept_ms = 10000;    // active mode: the server connecting back
  long total_ms = 30000;     // the whole exchange, transfer included
  long low_speed_bytes_per_s = 1024;  // a transfer slower than this ...
  long low_speed_ms = 15000;          // ... for this long is given up
};

// How far an exchange got before it failed.
enum class FtpStage {
  Session,    // no client handle could be made
  Connect,    // name lookup, connect, greeting, log-in
  Directory,  // entering the server directory
  Transfer,   // anything after the directory: data connection, STOR, listing
};

struct FtpFailure {
  FtpStage stage;
  std::string text;  // the client library's description of the error; may be empty
};

// Logs in, enters `dir` (stays in the log-in directory when `dir` is empty) and stores the
// local file there as `remote_name`, in binary mode. No value on success.
std::optional<FtpFailure> PutFile(const FtpEndpoint& endpoint, const std::string& dir,
                                  const std::string& local_path, const std::string& remote_name,
                                  const FtpTimeouts& timeouts = {});

// Logs in, enters `dir` (stays in the log-in directory when `dir` is empty), lists it from the
// server and deletes, one by one, every entry whose name begins with `prefix`. Entries that
// cannot be deleted (sub-directories, missing permission) are skipped. Session, Connect and
// Directory failures mean nothing was deleted.
std::optional<FtpFailure> DeleteByPrefix(const FtpEndpoint& endpoint, const std::string& dir,
                                         const std::string& prefix,
                                         const FtpTimeouts& timeouts = {});

}  // namespace orvanta::ftp
