// Keeping free space on the clip drive: the oldest finished clip files of the
// current day directory make room for the next recording.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace orvanta {

inline constexpr const char* kCannotMakeSpace =
    "UM001: Cannot make Disk Free Space\n Delease delete manually";

// Free space available to the program on the file system of `path`, in MiB
// (truncated), or -1 when the query fails.
int FreeDiskMB(const std::string& path);

// Deletes the file of `directory` whose name begins with 'M' and that was
// created first (birth time where the file system keeps it, else the
// modification time; the smaller name wins a tie). Empty directory name:
// nothing is deleted. Returns the deleted path.
std::optional<std::string> DeleteOldestClip(const std::string& directory);

using FreeSpaceQuery = std::function<int(const std::string& path)>;

struct DiskSpaceOutcome {
  bool met = false;     // the limit is met
  int free_mb = 0;      // last free space known, for the operation page
  std::string message;  // kCannotMakeSpace when not met
  int deleted = 0;      // files deleted on the way
};

// Deletes the oldest clip files of `day_dir` one at a time, asking the free
// space of `db_dir` after each, until `limit_mb` is reached. A failed query
// deletes nothing more: it says nothing about the space that deleting frees.
DiskSpaceOutcome MakeDiskSpace(int free_mb, int limit_mb, const std::string& day_dir,
                               const std::string& db_dir, const FreeSpaceQuery& query = FreeDiskMB);

}  // namespace orvanta
