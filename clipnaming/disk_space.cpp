#include "clipnaming/disk_space.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <vector>

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

std::string ClipKey(const std::string& file_name) {
  auto digits = [&](size_t from, size_t count) {
    for (size_t i = from; i < from + count; ++i)
      if (file_name[i] < '0' || file_name[i] > '9') return false;
    return true;
  };
  if (file_name.size() >= 16 && digits(1, 8) && file_name[9] == '_' && digits(10, 6))
    return file_name.substr(0, 16);
  return file_name.substr(0, file_name.find('.'));
}

std::optional<std::string> DeleteOldestClip(const std::string& directory, const std::string& keep) {
  if (directory.empty()) return std::nullopt;
  std::unique_ptr<DIR, DirCloser> dir(opendir(directory.c_str()));
  if (!dir) return std::nullopt;
  const int fd = dirfd(dir.get());
  const size_t slash = keep.rfind('/');
  const std::string kept_clip =
      keep.empty() ? "" : ClipKey(slash == std::string::npos ? keep : keep.substr(slash + 1));
  std::vector<std::string> files;
  std::optional<std::string> oldest;
  FileTime oldest_time{};
  while (const dirent* entry = readdir(dir.get())) {
    if (entry->d_name[0] != 'M') continue;
    const auto created = CreationTime(fd, entry->d_name);
    if (!created) continue;
    const std::string name = entry->d_name;
    if (!kept_clip.empty() && ClipKey(name) == kept_clip) continue;
    files.push_back(name);
    if (!oldest || *created < oldest_time || (!(oldest_time < *created) && name < *oldest)) {
      oldest = name;
      oldest_time = *created;
    }
  }
  if (!oldest) return std::nullopt;
  const std::string clip = ClipKey(*oldest);
  bool deleted = false;
  for (const std::string& name : files)
    if (ClipKey(name) == clip && unlinkat(fd, name.c_str(), 0) == 0) deleted = true;
  if (!deleted) return std::nullopt;
  return directory + "/" + *oldest;
}

DiskSpaceOutcome MakeDiskSpace(int free_mb, int limit_mb, const std::string& day_dir,
                               const std::string& db_dir, const FreeSpaceQuery& query,
                               const std::string& keep) {
  DiskSpaceOutcome outcome;
  outcome.free_mb = free_mb;
  while (outcome.free_mb < limit_mb) {
    if (outcome.free_mb < 0 || !DeleteOldestClip(day_dir, keep)) {
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
