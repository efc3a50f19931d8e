#include "clipnaming/disk_space.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdint>
#include <memory>

namespace orvanta {
namespace {

struct DirCloser {
  void operator()(DIR* d) const {
    if (d) closedir(d);
  }
};

struct FileTime {
  int64_t sec;
  int64_t nsec;
  bool operator<(const FileTime& o) const { return sec != o.sec ? sec < o.sec : nsec < o.nsec; }
};

// Creation time where the file system records it, else the modification time.
std::optional<FileTime> CreationTime(int dir_fd, const char* name) {
  struct statx sx;
  if (statx(dir_fd, name, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_BTIME | STATX_MTIME, &sx) != 0)
    return std::nullopt;
  if (!S_ISREG(sx.stx_mode)) return std::nullopt;
  const statx_timestamp& ts = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime;
  return FileTime{ts.tv_sec, ts.tv_nsec};
}

}  // namespace

int FreeDiskMB(const std::string& path) {
  struct statvfs vfs;
  if (path.empty() || statvfs(path.c_str(), &vfs) != 0) return -1;
  const unsigned long long mib =
      static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize / 1048576ull;
  return mib > 0x7FFFFFFFull ? 0x7FFFFFFF : static_cast<int>(mib);
}

std::optional<std::string> DeleteOldestClip(const std::string& directory) {
  if (directory.empty()) return std::nullopt;
  std::unique_ptr<DIR, DirCloser> dir(opendir(directory.c_str()));
  if (!dir) return std::nullopt;
  const int fd = dirfd(dir.get());
  std::optional<std::string> oldest;
  FileTime oldest_time{};
  while (const dirent* entry = readdir(dir.get())) {
    if (entry->d_name[0] != 'M') continue;
    const auto created = CreationTime(fd, entry->d_name);
    if (!created) continue;
    const std::string name = entry->d_name;
    if (!oldest || *created < oldest_time || (!(oldest_time < *created) && name < *oldest)) {
      oldest = name;
      oldest_time = *created;
    }
  }
  if (!oldest || unlinkat(fd, oldest->c_str(), 0) != 0) return std::nullopt;
  return directory + "/" + *oldest;
}

DiskSpaceOutcome MakeDiskSpace(int free_mb, int limit_mb, const std::string& day_dir,
                               const std::string& db_dir, const FreeSpaceQuery& query) {
  DiskSpaceOutcome outcome;
  outcome.free_mb = free_mb;
  while (outcome.free_mb < limit_mb) {
    if (outcome.free_mb < 0 || !DeleteOldestClip(day_dir)) {
      outcome.message = kCannotMakeSpace;
      return outcome;
    }
    ++outcome.deleted;
    outcome.free_mb = query(db_dir);
  }
  outcome.met = true;
  return outcome;
}

}  // namespace orvanta
