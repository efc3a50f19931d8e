#include "schedule/file_moves.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "app/file_owner.h"

namespace orvanta {
namespace {

MoveResult Done() {
  return {MoveStatus::Moved, {}};
}

MoveResult Fail(const std::string& what, const std::string& path, int err) {
  return {MoveStatus::Failed, what + " " + path + ": " + std::strerror(err)};
}

std::string ParentDirectory(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Copies the bytes, times and permissions of `from` into the new file `to`.
// O_EXCL keeps the no-replace promise even if `to` appears meanwhile.
MoveResult CopyNoReplace(const std::string& from, const std::string& to) {
  FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) {
    return errno == ENOENT ? MoveResult{MoveStatus::SourceMissing, from + " does not exist"}
                           : Fail("cannot open", from, errno);
  }
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) return Fail("cannot stat", from, errno);
  if (!S_ISREG(st.st_mode)) {
    return {MoveStatus::Failed, "cannot move " + from + " to another file system: not a file"};
  }

  FileDescriptor out(
      ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
  if (out.get() < 0) {
    return errno == EEXIST ? MoveResult{MoveStatus::DestinationExists, to + " exists"}
                           : Fail("cannot create", to, errno);
  }
  auto abandon = [&](const char* what, int err) {
    const MoveResult result = Fail(what, to, err);
    ::unlink(to.c_str());
    return result;
  };

  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return abandon("cannot read source for", errno);
    }
    if (!WriteAll(out.get(), buffer.data(), static_cast<size_t>(n))) {
      return abandon("cannot write", errno);
    }
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::futimens(out.get(), times);
  ::fchmod(out.get(), st.st_mode & 07777);  // exactly the source's, whatever the umask
  if (::fsync(out.get()) != 0) return abandon("cannot sync", errno);
  if (out.Close() != 0) return abandon("cannot close", errno);

  // The new name must survive a power cut before the old one goes.
  FileDescriptor dir(::open(ParentDirectory(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());

  if (::unlink(from.c_str()) != 0) {
    const int err = errno;
    ::unlink(to.c_str());
    return Fail("cannot remove", from, err);
  }
  return Done();
}

// For file systems that refuse the no-replace rename flag: a hard link
// fails on an existing name just the same.
MoveResult LinkThenUnlink(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) != 0) {
    switch (errno) {
      case EEXIST:
        return {MoveStatus::DestinationExists, to + " exists"};
      case ENOENT:
        if (::access(from.c_str(), F_OK) != 0) {
          return {MoveStatus::SourceMissing, from + " does not exist"};
        }
        return Fail("cannot create", to, ENOENT);
      default:
        // No hard links here (or across devices): the exclusive copy path.
        return CopyNoReplace(from, to);
    }
  }
  if (::unlink(from.c_str()) != 0) {
    const int err = errno;
    ::unlink(to.c_str());
    return Fail("cannot remove", from, err);
  }
  return Done();
}

}  // namespace

MoveResult MoveFileNoReplace(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return {MoveStatus::Failed, "empty path"};
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return Done();
  }
  switch (errno) {
    case EEXIST:
      return {MoveStatus::DestinationExists, to + " exists"};
    case EXDEV:
      return CopyNoReplace(from, to);
    case EINVAL:
    case ENOSYS:
    case ENOTSUP:
      return LinkThenUnlink(from, to);
    case ENOENT:
      if (::access(from.c_str(), F_OK) != 0) {
        return {MoveStatus::SourceMissing, from + " does not exist"};
      }
      return Fail("cannot move to", to, ENOENT);
    default:
      return Fail("cannot move to", to, errno);
  }
}

}  // namespace orvanta
