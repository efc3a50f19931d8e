// Keeping free space on the clip drive: the oldest finished clips of the current day
// directory, each with all its files, make room for the next recording.
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

// The clip a file of the clip store belongs to: "M<date>_<time>" of its name, which the
// video, the record and the images of one clip share; else its name up to the first '.'.
std::string ClipKey(const std::string& file_name);

// Deletes the clip of `directory` whose first file (name beginning with 'M') was
// created first (birth time where the file system keeps it, else the modification
// time; the smaller name wins a tie), with every other file of that clip, so that no
// record or image is left without its video. The clip of `keep` (a path; the clip just
// finished) is never taken. Empty directory name: nothing is deleted. Returns the path
// of the oldest file deleted.
std::optional<std::string> DeleteOldestClip(const std::string& directory,
                                            const std::string& keep = "");

using FreeSpaceQuery = std::function<int(const std::string& path)>;

struct DiskSpaceOutcome {
  bool met = false;     // the limit is met
  int free_mb = 0;      // last free space known, for the operation page
  std::string message;  // kCannotMakeSpace when not met
  int deleted = 0;      // clips deleted on the way
};

// Deletes the oldest clips of `day_dir` one at a time (never the clip of `keep`),
// asking the free space of `db_dir` after each, until `limit_mb` is reached. A failed
// query deletes nothing more: it says nothing about the space that deleting frees.
DiskSpaceOutcome MakeDiskSpace(int free_mb, int limit_mb, const std::string& day_dir,
                               const std::string& db_dir, const FreeSpaceQuery& query = FreeDiskMB,
                               const std::string& keep = "");

}  // namespace orvanta
