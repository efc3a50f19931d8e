// Start-up pieces that need no window: one station per working directory,
// and the settings file named on the command line.
#pragma once

#include <optional>
#include <string>

#include "app/app_params.h"
#include "app/file_owner.h"

namespace orvanta {

// "ZAVIP_" and the working directory's characters, leaving out '/' and
// everything outside U+0020..U+007A. Very long names are shortened with a
// hash so they stay valid file names.
std::string InstanceLockName(const std::string& startup_dir);

// Holds the single-instance lock (an flock on a lock file) until destroyed.
class InstanceLock {
 public:
  // Nothing when another process holds the lock or the file cannot be made.
  // lock_dir defaults to $XDG_RUNTIME_DIR, else /tmp.
  static std::optional<InstanceLock> Acquire(const std::string& startup_dir,
                                             const std::string& lock_dir = std::string());
  InstanceLock(InstanceLock&& other) noexcept = default;
  InstanceLock& operator=(InstanceLock&&) = delete;
  const std::string& path() const { return path_; }

 private:
  InstanceLock(FileDescriptor fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
  FileDescriptor fd_;  // the lock goes with the descriptor
  std::string path_;
};

// The command-line rule: the whole line is one path, without a double quote
// standing first or last. A path that does not exist or is a directory is
// reported with UE071 and "Settings.zvi" stays. Returns whether it was taken.
bool ApplyCommandLine(AppState& state, const std::string& command_line);

// Start-up up to the first load: working directory, defaults, command line,
// LoadSettings. The caller takes the lock first.
void StartUpSettings(AppContext& app, const std::string& command_line);

}  // namespace orvanta
