// File-level housekeeping of the clip store: moving a night's clips to the
// second directory, the keep-alive file, discarding clips, cleaning up
// unfinished recordings and the replay cache.
#pragma once

#include <functional>
#include <string>

#include "app/app_params.h"

namespace orvanta::schedule {

// Moves every entry of `source` that is not a directory into `destination`
// (never replacing a file there; a clash leaves the file where it is) and
// returns the number of directory entries met, the entries for the
// directory itself and its parent included: 2 means `source` has no
// subdirectories. 0 when `source` is empty or missing; with verbose_move
// that is reported.
int MoveAllFiles(const std::string& source, const std::string& destination, bool verbose_move);

struct ClipMoveSettings {
  std::string db_dir;
  std::string db2_dir;
  bool db_ymddir = false;
  int db_y = 0, db_m = 0, db_d = 0;  // the date the clip database page shows
  int db_days = 1;
};
ClipMoveSettings ClipMoveSettingsFrom(const AppParams& ap);

struct ClipMoveHooks {
  // Creates one date directory unless something of that name exists; ends
  // the program when it cannot (the clip naming's CreateDateDir).
  std::function<void(const std::string& path)> create_date_dir;
  // The clip database page re-reads its list.
  std::function<void()> reread_clip_list;
};

// Moves the clips of the night the clip database page shows from db_dir to
// db2_dir (the whole of db_dir's own files without date directories). Silent
// unless verbose_move (the schedule dialog's test button).
void MoveClipsAfterDetect(const ClipMoveSettings& settings, bool verbose_move,
                          const ClipMoveHooks& hooks);

// Date directory names inside `parent`, as the clip naming forms them.
std::string YearDirectory(const std::string& parent, int year);
std::string MonthDirectory(const std::string& year_dir, int year, int month);
std::string DayDirectory(const std::string& month_dir, int year, int month, int day);

// Empties (or creates) "timestamp.txt" in day_dir, or in db_dir while no
// clip has named a day directory yet: its modification time keeps a
// sleeping disk spinning. False when the file cannot be written.
bool WriteKeepAlive(const std::string& day_dir, const std::string& db_dir);

// Deletes one clip file: for good with nottrash, otherwise into the user's
// trash (reporting "UM024: Cannot Delete clip" when that fails).
void DiscardFile(const std::string& path, bool nottrash);

// Deletes "Thumbs.db", unfinished recordings ("T2*.avi") and directories
// left empty below `directory`; `directory` itself stays when top is set.
// Names beginning with '.' are left alone. Returns 1 when a file stayed.
int CleanClipTree(const std::string& directory, bool top);

// Deletes the replay copies ("M2*") in the replay cache directory.
void CleanReplayCache(const std::string& cache_dir);

// The same operations on the program's own state: the parameters, and the
// day directory of the last clip name.

// CreateDateDir that ends the program through the fatal error report when
// the directory cannot be made.
void CreateDateDirOrDie(const std::string& path);
// MoveClipsAfterDetect with the settings in ap and CreateDateDirOrDie.
void MoveClipsAfterDetect(const AppParams& ap, bool verbose_move,
                          const std::function<void()>& reread_clip_list);
bool WriteKeepAlive(const AppParams& ap);
void CleanReplayCache(const AppParams& ap);

}  // namespace orvanta::schedule
