#include "ui/clip_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace orvanta::ui {
namespace {

constexpr double kBytesPerMb = 1048576.0;

bool Digits(std::string_view s, size_t from, size_t to) {
  for (size_t i = from; i <= to; ++i) {
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

int Number(std::string_view s, size_t from, size_t count) {
  int n = 0;
  for (size_t i = from; i < from + count; ++i) n = n * 10 + (s[i] - '0');
  return n;
}

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// Wall-clock seconds of a date and time, the way clip names count them.
int64_t WallSeconds(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<int64_t>(::timegm(&tm));
}

struct DirEntry {
  std::string name;
  bool directory = false;
};

// The entries of a directory in name order, hidden ones left out; 0, or the error number
// when it cannot be read.
int ReadDirectory(const std::string& path, std::vector<DirEntry>& out) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), ::closedir);
  if (!dir) return errno;
  for (;;) {
    errno = 0;
    const dirent* e = ::readdir(dir.get());
    if (!e) break;
    if (e->d_name[0] == '.') continue;
    bool directory = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st {};
      directory = ::fstatat(::dirfd(dir.get()), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    out.push_back({e->d_name, directory});
  }
  if (errno != 0) return errno;
  std::sort(out.begin(), out.end(),
            [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return 0;
}

}  // namespace

ClipFileKind ClassifyClipFile(std::string_view name) {
  struct Ending {
    std::string_view text;
    int place;
    char letter;
    size_t cut;
  };
  // The first ending that fits decides; its letter case matters.
  static constexpr Ending kEndings[] = {
      {"S.jpg", 2, 'S', 5}, {"P.jpg", 3, 'P', 5}, {"T.jpg", 4, 'T', 5}, {".jpg", -1, ' ', 4},
      {"N.BMP", 9, '*', 5}, {"S.bmp", 2, 's', 5}, {"P.bmp", 3, 'p', 5}, {"M.bmp", 7, 'M', 5},
      {"C.bmp", 6, 'C', 5}, {".bmp", 5, 'B', 4},  {".xml", 8, 'X', 4},  {"A.XML", 9, '*', 5},
  };
  if (EndsWith(name, "avi")) return {true, 0, 'A', 4};
  for (const Ending& e : kEndings) {
    if (EndsWith(name, e.text)) return {true, e.place, e.letter, e.cut};
  }
  if (EndsWith(name, ".csv")) return {};
  if (name.size() < 4 || name[name.size() - 4] != '.') return {};
  return {true, 9, '*', 4};
}

bool LooksLikeClipFile(std::string_view name) {
  return name.size() >= 20 && name[0] == 'M' && name[name.size() - 4] == '.' &&
         Digits(name, 1, 8) && name[9] == '_' && Digits(name, 10, 15);
}

std::string ClipList::SizeText(double size_mb) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", size_mb);
  return text;
}

void ClipList::Reset(const ClipListSpan& span) {
  span_ = span;
  list_start_ = WallSeconds(span.year, span.month, span.day, span.night ? 12 : 0, 0, 0);
  list_end_ = list_start_ + int64_t{span.days} * 86400;
  rows_.clear();
  entries_.clear();
  dirs_.clear();
  by_name_.clear();
  index_valid_ = true;
}

std::string ClipList::Key(int directory, std::string_view base) const {
  std::string key = std::to_string(directory);
  key += '/';
  key += base;
  return key;
}

bool ClipList::Admits(std::string_view name) const {
  // The clip's time is the hour of its name at minute 1, second 1.
  if (name.size() < 12 || !Digits(name, 1, 8) || !Digits(name, 10, 11)) return false;
  const int64_t t = WallSeconds(Number(name, 1, 4), Number(name, 5, 2), Number(name, 7, 2),
                                Number(name, 10, 2), 1, 1);
  if (t < list_start_ || t > list_end_) return false;
  const ClipFileKind kind = ClassifyClipFile(name);
  return kind.listed && kind.cut <= name.size();
}

bool ClipList::AdmitsNewClip(const std::string& path) const {
  const size_t slash = path.rfind('/');
  const std::string_view dir =
      slash == std::string::npos ? std::string_view() : std::string_view(path).substr(0, slash);
  const bool dir_room = (!dirs_.empty() && dirs_.back() == dir) || directory_count() < kMaxClipDirs;
  return static_cast<int>(entries_.size()) < kMaxClipRows && dir_room &&
         Admits(slash == std::string::npos ? path : std::string_view(path).substr(slash + 1));
}

ClipList::Added ClipList::AddClipFile(int directory, std::string_view name, double size_mb,
                                      const NewClipMarks* new_clip) {
  if (!Admits(name)) return {};
  const ClipFileKind kind = ClassifyClipFile(name);
  const std::string_view base = name.substr(0, name.size() - kind.cut);

  Added added;
  if (!new_clip) {
    if (!index_valid_) {
      by_name_.clear();
      for (int r = 0; r < row_count(); ++r)
        by_name_[Key(entries_[rows_[r].entry].directory, rows_[r].name)] = r;
      index_valid_ = true;
    }
    if (auto found = by_name_.find(Key(directory, base)); found != by_name_.end())
      added.row = found->second;
  }
  if (added.row < 0) {
    if (static_cast<int>(entries_.size()) >= kMaxClipRows) return {};
    added.row = row_count();
    added.inserted = true;
    rows_.push_back({std::string(base), static_cast<int>(entries_.size()), false});
    entries_.push_back({directory, 0, kNoMarks});
    // A later row of the same name is the one found (the walk lists a directory once).
    by_name_[Key(directory, base)] = added.row;
  }
  ClipEntry& e = entries_[rows_[added.row].entry];
  if (new_clip) {
    e.marks[0] = 'A';
    if (new_clip->snap) e.marks[2] = new_clip->bmp ? 's' : 'S';
    if (new_clip->peak) e.marks[3] = new_clip->bmp ? 'p' : 'P';
    if (new_clip->map) e.marks[7] = 'M';
    if (new_clip->thumbnail) e.marks[4] = 'T';
    e.marks[8] = 'X';
  } else if (kind.place >= 0) {
    e.marks[kind.place] = kind.letter;
  }
  e.size_mb += size_mb;
  return added;
}

ClipList::Added ClipList::AddNewClip(const std::string& path, const NewClipMarks& marks) {
  if (!AdmitsNewClip(path)) return {};
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  struct stat st {};
  const double size = ::stat(path.c_str(), &st) == 0 ? st.st_size / kBytesPerMb : 0.0;
  if (dirs_.empty() || dirs_.back() != dir) dirs_.push_back(dir);
  return AddClipFile(directory_count() - 1, name, size, &marks);
}

bool ClipList::Follow(std::string_view name, int depth) const {
  if (name.empty() || name[0] != '2') return false;
  switch (depth) {
    case 0: {
      if (name.size() != 4 || !Digits(name, 0, 3)) return false;
      const int y = Number(name, 0, 4);
      return span_.year <= y && y <= span_.year + span_.days / 365 + 1;
    }
    case 1: {
      if (name.size() != 6 || !Digits(name, 0, 5)) return false;
      if (Number(name, 0, 4) != span_.year) return true;
      const int m = Number(name, 4, 2);
      return span_.month <= m && m <= span_.month + span_.days / 28 + 1;
    }
    case 2: {
      if (name.size() != 8 || !Digits(name, 0, 7)) return false;
      if (Number(name, 0, 4) != span_.year || Number(name, 4, 2) != span_.month) return true;
      const int d = Number(name, 6, 2);
      return span_.day <= d && d <= span_.day + span_.days + 1;
    }
    default:
      return false;
  }
}

void ClipList::ScanDirectory(const std::string& path, int depth, ScanReport& report) {
  if (report.rows_full || report.dirs_full) return;
  std::vector<DirEntry> names;
  if (const int error = ReadDirectory(path, names)) {
    // A clip directory that is not there holds no clips; one that is there and cannot be
    // read is said, and the others are listed all the same.
    if (error != ENOENT) report.unreadable.push_back(path + ": " + std::strerror(error));
    return;
  }
  if (depth < 3) {
    for (const DirEntry& e : names) {
      if (e.directory && Follow(e.name, depth))
        ScanDirectory(path + "/" + e.name, depth + 1, report);
      if (report.rows_full || report.dirs_full) return;
    }
    return;
  }
  if (directory_count() >= kMaxClipDirs) {
    report.dirs_full = true;
    return;
  }
  dirs_.push_back(path);
  const int directory = directory_count() - 1;
  for (const DirEntry& e : names) {
    if (static_cast<int>(entries_.size()) >= kMaxClipRows) {
      report.rows_full = true;
      return;
    }
    if (e.directory || !LooksLikeClipFile(e.name)) continue;
    struct stat st {};
    const std::string file = path + "/" + e.name;
    const double size = ::stat(file.c_str(), &st) == 0 ? st.st_size / kBytesPerMb : 0.0;
    AddClipFile(directory, e.name, size);
  }
}

ScanReport ClipList::Scan(const std::string& db_dir, bool ymddir) {
  ScanReport report;
  if (!db_dir.empty()) ScanDirectory(db_dir, ymddir ? 0 : 3, report);
  return report;
}

std::vector<std::string> ClipList::RowFiles(int row) const {
  std::vector<std::string> files;
  if (row < 0 || row >= row_count()) return files;
  const ClipRow& r = rows_[row];
  const std::string& dir = DirectoryOf(r.entry);
  std::vector<DirEntry> names;
  if (ReadDirectory(dir, names) != 0) return files;
  for (const DirEntry& e : names) {
    if (e.directory || e.name.compare(0, r.name.size(), r.name) != 0) continue;
    const ClipFileKind kind = ClassifyClipFile(e.name);
    const bool same_base = kind.listed && e.name.size() - kind.cut == r.name.size();
    // Endings the list does not show (".csv") belong to the clip as well.
    const bool own_ending = e.name.size() > r.name.size() && e.name[r.name.size()] == '.';
    if (same_base || own_ending) files.push_back(dir + "/" + e.name);
  }
  return files;
}

void ClipList::RemoveRow(int row) {
  if (row < 0 || row >= row_count()) return;
  rows_.erase(rows_.begin() + row);
  index_valid_ = false;
}

}  // namespace orvanta::ui
