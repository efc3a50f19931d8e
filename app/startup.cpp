#include "app/startup.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/messages.h"
#include "app/text_utf.h"

namespace orvanta {
namespace {
constexpr size_t kLockNameMax = 200;
constexpr size_t kSettingsNameUnits = 512;

std::string DefaultLockDir() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st;
  if (runtime && *runtime == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) {
    return runtime;
  }
  return "/tmp";
}

std::string WorkingDirectory() {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return ".";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}
}  // namespace

std::string InstanceLockName(const std::string& startup_dir) {
  std::string name = "ZAVIP_";
  for (char32_t c : Utf8ToUtf16(startup_dir)) {
    if (c != u'/' && c >= 0x20 && c <= 0x7A) name.push_back(static_cast<char>(c));
  }
  if (name.size() > kLockNameMax) {
    uint64_t hash = 1469598103934665603ull;  // FNV-1a of the whole name
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "_%016llx", static_cast<unsigned long long>(hash));
    name = name.substr(0, kLockNameMax - 17) + suffix;
  }
  return name;
}

std::optional<InstanceLock> InstanceLock::Acquire(const std::string& startup_dir,
                                                  const std::string& lock_dir) {
  const std::string dir = lock_dir.empty() ? DefaultLockDir() : lock_dir;
  std::string path = dir + "/" + InstanceLockName(startup_dir);
  FileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;
  return InstanceLock(std::move(fd), std::move(path));
}

bool ApplyCommandLine(AppState& state, const std::string& command_line) {
  if (command_line.empty()) return false;
  std::string path = command_line;
  if (!path.empty() && path.front() == '"') path.erase(0, 1);
  if (!path.empty() && path.back() == '"') path.pop_back();
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
    ReportMessage("UE071: Invalid Command arg \"%s\"... ignored", command_line.c_str());
    return false;
  }
  state.settingsFileName = CutToUnits(path, kSettingsNameUnits);
  return true;
}

void StartUpSettings(AppContext& app, const std::string& command_line) {
  app.state.startupDir = WorkingDirectory();
  SetDefaults(app);
  ApplyCommandLine(app.state, command_line);
  LoadSettings(app);
}

}  // namespace orvanta
