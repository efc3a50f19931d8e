// RAII owners of files, C stdio streams and descriptors alike, and whole-file writes whose
// every failure (open, short write, sync, close) is reported.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace orvanta {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

inline UniqueFile OpenFile(const std::string& path, const char* mode) {
  return UniqueFile(std::fopen(path.c_str(), mode));
}

// Closes the file and tells whether everything buffered reached the disk.
inline bool CloseChecked(UniqueFile& file) {
  return std::fclose(file.release()) == 0;
}

// Owns a file descriptor and closes it on every path.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now, so that a failing close (a late write error) is seen; 0 on success.
  int Close();

 private:
  int fd_;
};

// Writes every byte, going on after interrupted and partial writes.
bool WriteAll(int fd, const void* data, size_t size);

enum class WriteFailure { None, CannotCreate, ShortWrite };

struct WholeFileWrite {
  mode_t mode = 0666;  // for a new file, less the umask
  bool sync = false;   // the bytes are on the disk before the write returns
  // Written under a temporary name beside `path` and renamed over it once complete, so
  // that a full disk or a crash never leaves a short or empty file under the real name.
  // A `path` that names something other than a regular file is written in place.
  bool whole_or_nothing = false;
};

// Creates or truncates `path` and writes `bytes`.
WriteFailure WriteWholeFile(const std::string& path, std::string_view bytes,
                            WholeFileWrite how = {});

}  // namespace orvanta
