// A small file system of its own (tmpfs) for tests of what happens when the disk fills up.
// Mounting needs the right to mount (root, as on the test machines); without it the
// fixture is not valid and the test skips.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace orvanta::test {

class SmallDisk {
 public:
  SmallDisk(const std::filesystem::path& where, int kib) : path_(where) {
    std::filesystem::create_directories(path_);
    const std::string size = "size=" + std::to_string(kib) + "k";
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, size.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool valid() const { return mounted_; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  bool mounted_ = false;
};

}  // namespace orvanta::test
