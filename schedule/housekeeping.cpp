#include "schedule/housekeeping.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/file_owner.h"
#include "app/messages.h"
#include "app/text_utf.h"
#include "schedule/file_moves.h"

namespace orvanta::schedule {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct Entry {
  std::string name;
  bool directory;
};

// The entries of a directory, "." and ".." included; false when it cannot
// be read. Symbolic links count as what they are, not what they point to.
bool ListDirectory(const std::string& path, std::vector<Entry>& entries) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
  if (!dir) return false;
  while (const dirent* e = ::readdir(dir.get())) {
    bool directory = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st {};
      directory = ::fstatat(::dirfd(dir.get()), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                  S_ISDIR(st.st_mode);
    }
    entries.push_back({e->d_name, directory});
  }
  return true;
}

std::string Join(const std::string& dir, const std::string& name) {
  return dir + "/" + name;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A recording that was never finished: "T2" ... ".avi", at least 5 characters.
bool IsUnfinishedRecording(const std::string& name) {
  return name.size() >= 5 && name[0] == 'T' && name[1] == '2' &&
         EqualsIgnoringCase(name.substr(name.size() - 4), ".avi");
}

}  // namespace

int MoveAllFiles(const std::string& source, const std::string& destination, bool verbose_move) {
  std::vector<Entry> entries;
  if (source.empty() || !IsDirectory(source) || !ListDirectory(source, entries)) {
    if (verbose_move) ReportMessage("moveallfiles: source deos not exist:%s", source.c_str());
    return 0;
  }
  int directories = 0;
  for (const Entry& entry : entries) {
    if (entry.directory) {
      ++directories;
      continue;
    }
    // A clash or a failed copy leaves the file in place; the next one goes on.
    MoveFileNoReplace(Join(source, entry.name), Join(destination, entry.name));
  }
  return directories;
}

std::string YearDirectory(const std::string& parent, int year) {
  char name[32];
  std::snprintf(name, sizeof name, "/%4d", year);
  return parent + name;
}

std::string MonthDirectory(const std::string& year_dir, int year, int month) {
  char name[32];
  std::snprintf(name, sizeof name, "/%04d%02d", year, month);
  return year_dir + name;
}

std::string DayDirectory(const std::string& month_dir, int year, int month, int day) {
  char name[32];
  std::snprintf(name, sizeof name, "/%04d%02d%02d", year, month, day);
  return month_dir + name;
}

ClipMoveSettings ClipMoveSettingsFrom(const AppParams& ap) {
  ClipMoveSettings s;
  s.db_dir = FieldUtf8(ap.db_dir);
  s.db2_dir = FieldUtf8(ap.db2_dir);
  s.db_ymddir = ap.db_ymddir != 0;
  s.db_y = ap.db_y;
  s.db_m = ap.db_m;
  s.db_d = ap.db_d;
  s.db_days = ap.db_days;
  return s;
}

void MoveClipsAfterDetect(const ClipMoveSettings& settings, bool verbose_move,
                          const ClipMoveHooks& hooks) {
  auto reread = [&] {
    if (hooks.reread_clip_list) hooks.reread_clip_list();
  };
  if (!IsDirectory(settings.db2_dir)) {
    if (verbose_move) {
      ReportMessage("movecliptest: db2 is not exist:%s", settings.db2_dir.c_str());
    }
    return;
  }
  if (!settings.db_ymddir) {
    MoveAllFiles(settings.db_dir, settings.db2_dir, verbose_move);
    reread();
    return;
  }
  if (settings.db_days != 1) {
    if (verbose_move) ReportMessage("DB days not 1 : %d", settings.db_days);
    return;
  }
  const int y = settings.db_y, m = settings.db_m, d = settings.db_d;
  const std::string source_year = YearDirectory(settings.db_dir, y);
  const std::string source_month = MonthDirectory(source_year, y, m);
  const std::string source_day = DayDirectory(source_month, y, m, d);
  if (!IsDirectory(source_year) || !IsDirectory(source_month) || !IsDirectory(source_day)) return;

  const std::string year_dir = YearDirectory(settings.db2_dir, y);
  const std::string month_dir = MonthDirectory(year_dir, y, m);
  const std::string day_dir = DayDirectory(month_dir, y, m, d);
  for (const std::string& dir : {year_dir, month_dir, day_dir}) hooks.create_date_dir(dir);

  // rmdir refuses a directory that still holds a file left by a clash.
  if (MoveAllFiles(source_day, day_dir, verbose_move) == 2) ::rmdir(source_day.c_str());
  reread();
}

bool WriteKeepAlive(const std::string& day_dir, const std::string& db_dir) {
  const std::string& dir = day_dir.empty() ? db_dir : day_dir;
  if (dir.empty()) return false;
  return WriteWholeFile(Join(dir, "timestamp.txt"), "", {.mode = 0644}) == WriteFailure::None;
}

int CleanClipTree(const std::string& directory, bool top) {
  if (directory.empty()) return 0;
  std::vector<Entry> entries;
  if (!ListDirectory(directory, entries)) return 0;
  int file_stayed = 0;
  for (const Entry& entry : entries) {
    if (entry.name.empty() || entry.name[0] == '.') continue;
    const std::string path = Join(directory, entry.name);
    if (entry.directory) {
      if (CleanClipTree(path, false)) file_stayed = 1;
      continue;
    }
    if (entry.name == "Thumbs.db" || IsUnfinishedRecording(entry.name)) {
      if (::unlink(path.c_str()) != 0) file_stayed = 1;
    } else {
      file_stayed = 1;
    }
  }
  // Removing fails while anything is left (a hidden entry or a subdirectory
  // that kept files), which is just what must stay.
  if (!top && !file_stayed) ::rmdir(directory.c_str());
  return file_stayed;
}

void CleanReplayCache(const std::string& cache_dir) {
  std::vector<Entry> entries;
  if (cache_dir.empty() || !IsDirectory(cache_dir) || !ListDirectory(cache_dir, entries)) return;
  for (const Entry& entry : entries) {
    if (entry.directory || entry.name.size() < 2 || entry.name[0] != 'M' || entry.name[1] != '2') {
      continue;
    }
    ::unlink(Join(cache_dir, entry.name).c_str());
  }
}

}  // namespace orvanta::schedule
