// A fresh directory per test under the system's temporary directory,
// removed with everything in it afterwards.
#pragma once

#include <sys/mount.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace orvanta::schedule::testing {

namespace fs = std::filesystem;

class ScratchDir {
 public:
  explicit ScratchDir(const fs::path& parent = fs::temp_directory_path()) {
    std::string pattern = (parent / "orvanta-schedule-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  bool ok() const { return !path_.empty(); }
  const fs::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// A small tmpfs of its own (needs the right to mount; empty when refused).
class TmpfsMount {
 public:
  explicit TmpfsMount(const std::string& size) {
    if (dir_.ok() &&
        ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0) {
      mounted_ = true;
    }
  }
  ~TmpfsMount() {
    if (mounted_) {
      std::error_code ec;
      for (const auto& e : fs::directory_iterator(dir_.path(), ec)) fs::remove_all(e.path(), ec);
      ::umount2(dir_.path().c_str(), MNT_DETACH);
    }
  }
  bool mounted() const { return mounted_; }
  const fs::path& path() const { return dir_.path(); }

 private:
  ScratchDir dir_;
  bool mounted_ = false;
};

inline void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline dev_t DeviceOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

}  // namespace orvanta::schedule::testing
