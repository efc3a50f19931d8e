#include "app/file_owner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace orvanta {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int FileDescriptor::Close() {
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc;
}

bool WriteAll(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

WriteFailure WriteWholeFile(const std::string& path, std::string_view bytes, WholeFileWrite how) {
  // Only a regular file (or none yet) is replaced; a device or a pipe named as the output
  // is written in place, never renamed over.
  struct stat existing {};
  const bool replace =
      how.whole_or_nothing && (::lstat(path.c_str(), &existing) != 0 || S_ISREG(existing.st_mode));
  const std::string target = replace ? path + ".part" : path;
  FileDescriptor file(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, how.mode));
  if (!file.valid()) return WriteFailure::CannotCreate;
  bool ok = WriteAll(file.get(), bytes.data(), bytes.size());
  if (ok && how.sync) ok = ::fsync(file.get()) == 0;
  int error = ok ? 0 : errno;
  if (file.Close() != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (replace) {
    if (ok && std::rename(target.c_str(), path.c_str()) != 0) {
      ok = false;
      error = errno;
    }
    if (!ok) ::unlink(target.c_str());
  }
  // The caller tells a full disk from other failures by errno.
  if (!ok) errno = error;
  return ok ? WriteFailure::None : WriteFailure::ShortWrite;
}

}  // namespace orvanta
