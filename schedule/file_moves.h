// Moving a file without ever replacing one that is already there, on one
// file system or across two (the second clip directory is often another
// disk). Shared by the housekeeping and the capture engine's renames.
#pragma once

#include <string>

namespace orvanta {

enum class MoveStatus {
  Moved,              // the file is at `to` and no longer at `from`
  DestinationExists,  // `to` already names an entry; nothing changed
  SourceMissing,      // `from` names nothing
  Failed,             // nothing changed; `error` says why
};

struct MoveResult {
  MoveStatus status = MoveStatus::Failed;
  std::string error;  // empty when moved
  bool ok() const { return status == MoveStatus::Moved; }
};

// Moves `from` to `to`. Within one file system the entry is renamed
// atomically (any kind of entry); across file systems a regular file is
// copied, synced to disk with its directory, given the source's times and
// permissions, and only then is the source removed. A failure at any step
// removes the partial copy and leaves the source as it was.
MoveResult MoveFileNoReplace(const std::string& from, const std::string& to);

}  // namespace orvanta
