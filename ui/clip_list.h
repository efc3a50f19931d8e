// The clip database page's list without widgets: one row per clip of a span of days, found
// by walking the clip directory and its year/month/day directories, with the kinds of file
// the clip has and their total size. The replay page opens a row's clip through its entry.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orvanta::ui {

inline constexpr int kMaxClipRows = 9999;
inline constexpr int kMaxClipDirs = 10000;
inline constexpr int kMarkCount = 10;

// Which kinds of file a clip has, one letter per place (a space for none): 0 'A' video,
// 2 'S'/'s' snapshot (JPEG/BMP), 3 'P'/'p' peak hold, 4 'T' thumbnail, 5 'B' other BMP,
// 6 'C', 7 'M' detection map, 8 'X' record, 9 '*' anything else.
using ClipMarks = std::array<char, kMarkCount>;
inline constexpr ClipMarks kNoMarks = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};

struct ClipEntry {
  int directory = -1;  // index into the directory table
  double size_mb = 0;  // all the clip's files, bytes / 1048576
  ClipMarks marks = kNoMarks;
};

struct ClipRow {
  std::string name;  // the clip's base name: its files are this name and an ending
  int entry = 0;     // index into the entries; stays valid until the next rebuild
  bool ticked = false;
};

// The span the list shows (the page's date, days and "pm-am/day").
struct ClipListSpan {
  int year = 2024, month = 1, day = 1;
  int days = 1;
  bool night = false;  // a day runs from noon to noon
};

// The marks a clip just finished gets from the settings (its images are still being made).
struct NewClipMarks {
  bool snap = false, peak = false, map = false, thumbnail = false, bmp = false;
};

// How a file of a clip is listed: its mark, and its base name (the row it belongs to).
struct ClipFileKind {
  bool listed = false;
  int place = -1;  // -1: no mark
  char letter = ' ';
  size_t cut = 0;  // characters of the ending that the base name leaves out
};
ClipFileKind ClassifyClipFile(std::string_view name);

// A name as clip files are named: 'M', date digits, '_', time digits, an ending of a dot and
// three characters, at least 20 characters in all.
bool LooksLikeClipFile(std::string_view name);

// What a walk met besides clips.
struct ScanReport {
  std::vector<std::string> unreadable;  // directories that could not be read ("path: why")
  bool rows_full = false;               // stopped at kMaxClipRows rows
  bool dirs_full = false;               // stopped at kMaxClipDirs directories
};

class ClipList {
 public:
  // Empties the list for `span`: list_start is the first day at 00:00 (12:00 for nights),
  // list_end `days` days later, in the clip names' own wall-clock seconds.
  void Reset(const ClipListSpan& span);

  // Walks db_dir (its year/month/day directories with ymddir) and lists the clips of the
  // span, directories and files in name order, so rows follow the night.
  ScanReport Scan(const std::string& db_dir, bool ymddir);

  struct Added {
    int row = -1;  // -1: the file is not listed
    bool inserted = false;
  };
  // One file of a clip in directory `directory` (index into the directory table). A file of
  // a clip already listed adds its mark and size to that row; with `new_clip` the marks
  // come from the settings and a row is always added.
  Added AddClipFile(int directory, std::string_view name, double size_mb,
                    const NewClipMarks* new_clip = nullptr);
  // Whether a file of this name falls in the list's span and is listed at all.
  bool Admits(std::string_view name) const;
  // Whether AddNewClip(path) adds a row.
  bool AdmitsNewClip(const std::string& path) const;
  // A clip finished while the page is open: its video file's path.
  Added AddNewClip(const std::string& path, const NewClipMarks& marks);

  // The files on disk that belong to a row: its base name with one of the clip's endings
  // (not those of another clip whose name merely begins the same).
  std::vector<std::string> RowFiles(int row) const;
  void RemoveRow(int row);

  int row_count() const { return static_cast<int>(rows_.size()); }
  const std::vector<ClipRow>& rows() const { return rows_; }
  ClipRow& row(int i) { return rows_[i]; }
  const ClipRow& row(int i) const { return rows_[i]; }
  int entry_count() const { return static_cast<int>(entries_.size()); }
  const ClipEntry& entry(int index) const { return entries_[index]; }
  // The directory holding the clip of entry `index`.
  const std::string& DirectoryOf(int entry_index) const {
    return dirs_[entries_[entry_index].directory];
  }
  const std::string& directory(int i) const { return dirs_[i]; }
  int directory_count() const { return static_cast<int>(dirs_.size()); }
  int64_t list_start() const { return list_start_; }
  int64_t list_end() const { return list_end_; }

  // The row's marks and size as the list shows them.
  static std::string MarksText(const ClipMarks& marks) { return {marks.begin(), marks.end()}; }
  static std::string SizeText(double size_mb);

 private:
  void ScanDirectory(const std::string& path, int depth, ScanReport& report);
  bool Follow(std::string_view name, int depth) const;
  std::string Key(int directory, std::string_view base) const;

  ClipListSpan span_;
  int64_t list_start_ = 0, list_end_ = 0;
  std::vector<ClipRow> rows_;
  std::vector<ClipEntry> entries_;
  std::vector<std::string> dirs_;
  // Rows by directory and base name while the walk fills the list; emptied when a row goes.
  std::unordered_map<std::string, int> by_name_;
  bool index_valid_ = true;
};

}  // namespace orvanta::ui
