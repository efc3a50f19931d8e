// Clip file names and the year/month/day directories they are filed in.
// A name is "<dir>/<letter><YYYYMMDD>_<HHMMSS>_<ccode><lid><sep><cid><ext>".
#pragma once

#include <cstdint>
#include <string>

#include "detectfilter/zavipf.h"
#include "products/result.h"

namespace orvanta {

struct AppParams;

inline constexpr size_t kClipNameMaxChars = 1023;
inline constexpr size_t kClipExtensionMaxChars = 9;

struct ClipNameSettings {
  std::string db_dir;
  bool db_ymddir = false;
  bool db_night = false;  // a night's clips after midnight stay in the evening's directory
  std::string ccode;
  std::string lid;
  std::string cid;
  std::string extension;    // ".avi", or the extension of compressed recordings
  bool create_dirs = true;  // false: only name the date directories (scripts, previews)
};

ClipNameSettings ClipNameSettingsFrom(const AppParams& ap, const DetectionBlock& block,
                                      const std::string& extension);

// ".avi" for uncompressed recording (rec_mode 1), else out_ext cut to 9 characters.
std::string RecordingExtension(int rec_mode, const std::string& out_ext);

// '_' video trigger, '-' audio, '=' periodic timer, '+' by hand.
char ClipSeparator(int trig_kind);

struct ClipNameParts {
  std::string path;
  std::string hhmm;      // "%02d%02d" of hour and minute
  int minute_stamp = 0;  // day of year from 0 x 1440 + hour x 60 + minute
  std::string day_dir;   // the day directory, or db_dir without date directories
};

// `t` is frame-clock time, broken down as UTC. With date directories the
// year, month and day directories are created in that order.
Result<ClipNameParts> FormClipName(const ClipNameSettings& settings, int64_t t, char letter,
                                   char separator);

// Creates the directory unless an entry of that name exists. Failure text:
// "Cannot Create Date Dir %s".
Status CreateDateDir(const std::string& path);

// The directory of the last name formed in this process (empty before the
// first one); FTP uploads and the housekeeping use it.
std::string DayDir();
void SetDayDir(const std::string& dir);

// FormClipName that remembers the day directory and ends the program through
// the fatal error report when a date directory cannot be made.
ClipNameParts ClipName(const ClipNameSettings& settings, int64_t t, char letter, char separator);

}  // namespace orvanta
