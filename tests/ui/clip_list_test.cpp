// The clip walk and the clip list's rows over real directory trees.
#include "ui/clip_list.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvanta::ui {
namespace {

namespace fs = std::filesystem;

class Tree {
 public:
  explicit Tree(const fs::path& parent = fs::temp_directory_path()) {
    std::string pattern = (parent / "orvanta-cliplist-XXXXXX").string();
    if (::mkdtemp(pattern.data())) root_ = pattern;
  }
  ~Tree() {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }
  const fs::path& root() const { return root_; }
  // A file of `bytes` bytes at `relative`, its directories made.
  void File(const std::string& relative, size_t bytes = 0) {
    const fs::path p = root_ / relative;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << std::string(bytes, 'x');
  }

 private:
  fs::path root_;
};

std::vector<std::string> Names(const ClipList& list) {
  std::vector<std::string> names;
  for (const ClipRow& r : list.rows()) names.push_back(r.name);
  return names;
}

std::string Marks(const ClipList& list, int row) {
  return ClipList::MarksText(list.entry(list.row(row).entry).marks);
}

ClipListSpan Span(int y, int m, int d, int days, bool night) {
  return {y, m, d, days, night};
}

constexpr const char* kDay1 = "2024/202401/20240101/";
constexpr const char* kDay2 = "2024/202401/20240102/";

TEST(ClipList, OneRowPerClipWithItsMarksAndSize) {
  Tree tree;
  const std::string base = "M20240101_220000_JPTK01_C1";
  tree.File(std::string(kDay1) + base + ".avi", 3 * 1048576);
  tree.File(std::string(kDay1) + base + "P.jpg", 1048576 / 2);
  tree.File(std::string(kDay1) + base + "M.bmp", 1048576 / 4);
  tree.File(std::string(kDay1) + base + ".xml", 1048576 / 4);
  // A clip with only its record, another with every other kind of file.
  tree.File(std::string(kDay1) + "M20240101_230000_JPTK01_C1.xml");
  for (const char* end : {"S.bmp", "T.jpg", "C.bmp", "x.bmp", "N.BMP", ".mp4", "A.XML"})
    tree.File(std::string(kDay1) + "M20240101_231500_JPTK01_C1" + end);
  for (const char* end : {"S.jpg", "P.bmp"})
    tree.File(std::string(kDay1) + "M20240101_232000_JPTK01_C1" + end);
  // Same base name in another day directory: a row of its own.
  tree.File(std::string(kDay2) + base + ".avi", 1048576);

  ClipList list;
  list.Reset(Span(2024, 1, 1, 2, false));
  const ScanReport report = list.Scan(tree.root().string(), true);
  EXPECT_TRUE(report.unreadable.empty());
  ASSERT_EQ(Names(list), (std::vector<std::string>{
                             base, "M20240101_230000_JPTK01_C1", "M20240101_231500_JPTK01_C1",
                             "M20240101_231500_JPTK01_C1x", "M20240101_232000_JPTK01_C1", base}));
  EXPECT_EQ(Marks(list, 0), "A  P   MX ");
  EXPECT_EQ(ClipList::SizeText(list.entry(list.row(0).entry).size_mb), "4.0");
  EXPECT_EQ(Marks(list, 1), "        X ");
  EXPECT_EQ(Marks(list, 2), "  s T C  *");
  EXPECT_EQ(Marks(list, 3), "     B    ");
  EXPECT_EQ(Marks(list, 4), "  Sp      ");
  EXPECT_EQ(list.DirectoryOf(list.row(0).entry), (tree.root() / kDay1).parent_path().string());
  EXPECT_EQ(list.DirectoryOf(list.row(5).entry), (tree.root() / kDay2).parent_path().string());
}

TEST(ClipList, NamesThatAreNotClipsAreLeftOut) {
  Tree tree;
  for (const char* name : {"M20240101_220000_JPTK01_C1.avi",    // the one clip
                           "M20240101_220000_JPTK01_C1.csv",    // a table beside it
                           "z20240101_220000_JPTK01_C1_0.jpg",  // a frame saved by the replay page
                           "T20240101_220000_JPTK01_C1.avi",    // a recording never finished
                           ".M20240101_220000_JPTK01_C1.avi",   // hidden
                           "M20240101_22.avi",                  // too short
                           "M2024010A_220000_JPTK01_C1.avi",    // not a date
                           "M20240101-220000_JPTK01_C1.avi",    // no '_'
                           "M20240101_220000_JPTK01_C1.jpeg",   // no three-letter ending
                           "Thumbs.db", "timestamp.txt", "DA960-540.bmp"}) {
    tree.File(name, 10);
  }
  tree.File("2024/202401/20240101/M20240101_230000_JPTK01_C1.avi");  // below: not walked

  ClipList list;
  list.Reset(Span(2024, 1, 1, 1, false));
  list.Scan(tree.root().string(), false);
  EXPECT_EQ(Names(list), std::vector<std::string>{"M20240101_220000_JPTK01_C1"});
  EXPECT_EQ(Marks(list, 0), "A         ");
}

// The list's span: night days run from noon to noon, the hour counts at minute 1, second 1;
// the year, month and day directories of the span are walked and no others are needed.
TEST(ClipList, SpanOfNightsAndDaysOverDateDirectories) {
  Tree tree;
  const char* clips[] = {
      "2023/202312/20231231/M20231231_230000__.avi",  // a night across the year's end
      "2023/202312/20231231/M20240101_010000__.avi",  //
      "2024/202401/20240101/M20240101_115959__.avi",  //
      "2024/202401/20240101/M20240101_120000__.avi",  //
      "2024/202401/20240101/M20240102_115959__.avi",  //
      "2024/202401/20240102/M20240102_120000__.avi",  //
      "2024/202401/20240102/M20240102_235959__.avi",  //
      "2024/202401/20240103/M20240103_000000__.avi",  //
      "2025/202501/20250101/M20250101_220000__.avi",  //
      "2025/202502/20250205/M20250205_010000__.avi",
  };
  for (const char* c : clips) tree.File(c);
  struct Case {
    ClipListSpan span;
    std::vector<std::string> want;
  } cases[] = {
      {Span(2024, 1, 1, 1, true), {"M20240101_120000__", "M20240102_115959__"}},
      {Span(2024, 1, 1, 1, false), {"M20240101_115959__", "M20240101_120000__"}},
      {Span(2024, 1, 1, 2, false),
       {"M20240101_115959__", "M20240101_120000__", "M20240102_115959__", "M20240102_120000__",
        "M20240102_235959__"}},
      {Span(2023, 12, 31, 1, true),
       {"M20231231_230000__", "M20240101_010000__", "M20240101_115959__"}},
      // 400 days from 2024 reach into 2025: its year directory is walked.
      {Span(2024, 1, 1, 400, true),
       {"M20240101_120000__", "M20240102_115959__", "M20240102_120000__", "M20240102_235959__",
        "M20240103_000000__", "M20250101_220000__"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.span.year << "-" << c.span.month << "-" << c.span.day
                                    << " days " << c.span.days << " night " << c.span.night);
    ClipList list;
    list.Reset(c.span);
    list.Scan(tree.root().string(), true);
    EXPECT_EQ(Names(list), c.want);
  }
}

// As root every directory can be read: the test gives up the power to read past
// permissions on its own thread for the duration.
class WithoutReadPower {
 public:
  WithoutReadPower() {
    if (::syscall(SYS_capget, &header_, kept_) != 0) return;
    __user_cap_data_struct less[2] = {kept_[0], kept_[1]};
    less[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    dropped_ = ::syscall(SYS_capset, &header_, less) == 0;
  }
  ~WithoutReadPower() {
    if (dropped_) ::syscall(SYS_capset, &header_, kept_);
  }

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct kept_[2] = {};
  bool dropped_ = false;
};

TEST(ClipList, AnUnreadableDirectoryIsReportedAndTheRestListed) {
  Tree tree;
  tree.File(std::string(kDay1) + "M20240101_220000__.avi");
  tree.File(std::string(kDay2) + "M20240102_010000__.avi");
  tree.File("2024/202401/20240103/M20240103_010000__.avi");
  const fs::path shut = tree.root() / kDay2;
  ::chmod(shut.c_str(), 0);
  ClipList list;
  list.Reset(Span(2024, 1, 1, 3, false));
  ScanReport report;
  {
    WithoutReadPower less;
    report = list.Scan(tree.root().string(), true);
  }
  ::chmod(shut.c_str(), 0755);
  ASSERT_EQ(report.unreadable.size(), 1u);
  EXPECT_EQ(report.unreadable[0].rfind(shut.parent_path().string() + ": ", 0), 0u)
      << report.unreadable[0];
  EXPECT_EQ(Names(list), (std::vector<std::string>{"M20240101_220000__", "M20240103_010000__"}));

  // A clip directory that is not there is no fault.
  list.Reset(Span(2024, 1, 1, 3, false));
  EXPECT_TRUE(list.Scan((tree.root() / "none").string(), true).unreadable.empty());
}

// Ten thousand files and directories: in memory where there is a place for it, since a busy
// disk makes their creation slow.
fs::path ManyFilesPlace() {
  std::error_code ec;
  return fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

TEST(ClipList, StopsAtItsRowAndDirectoryBounds) {
  Tree rows(ManyFilesPlace());
  for (int i = 0; i < kMaxClipRows + 1; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "M20240101_22%04d_%05d.avi", i % 6000, i);
    rows.File(name);
  }
  ClipList list;
  list.Reset(Span(2024, 1, 1, 1, false));
  EXPECT_TRUE(list.Scan(rows.root().string(), false).rows_full);
  EXPECT_EQ(list.row_count(), kMaxClipRows);
  EXPECT_EQ(list.AddNewClip((rows.root() / "M20240101_230000__.avi").string(), {}).row, -1);
  EXPECT_EQ(list.row_count(), kMaxClipRows);

  // More leaf directories than the table holds: the walk stops adding, nothing overflows.
  Tree dirs(ManyFilesPlace());
  for (int y = 2025; y < 2035; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 0; d < 84; ++d) {
        char path[64];
        std::snprintf(path, sizeof path, "%d/%d%02d/%d%02d%02d", y, y, m, y, m, d);
        fs::create_directories(dirs.root() / path);
      }
    }
  }
  list.Reset(Span(2024, 1, 1, 10000, false));
  EXPECT_TRUE(list.Scan(dirs.root().string(), true).dirs_full);
  EXPECT_EQ(list.directory_count(), kMaxClipDirs);
}

TEST(ClipList, NewClipsTakeTheirMarksFromTheSettingsAndAlwaysAddARow) {
  Tree tree;
  const std::string clip = "M20240101_220000_JPTK01_C1.avi";
  tree.File(std::string(kDay1) + clip, 1048576);
  tree.File(std::string(kDay1) + "M20240101_220000_JPTK01_C1.xml", 1048576);
  ClipList list;
  list.Reset(Span(2024, 1, 1, 1, true));
  list.Scan(tree.root().string(), true);
  ASSERT_EQ(list.row_count(), 1);

  const std::string path = (tree.root() / kDay1 / clip).string();
  const ClipList::Added jpeg = list.AddNewClip(path, {true, true, true, true, false});
  EXPECT_TRUE(jpeg.inserted);
  EXPECT_EQ(Marks(list, jpeg.row), "A SPT  MX ");
  EXPECT_EQ(ClipList::SizeText(list.entry(list.row(jpeg.row).entry).size_mb), "1.0");
  EXPECT_EQ(list.directory_count(), 1);  // the walk's directory, not another copy

  const ClipList::Added bmp = list.AddNewClip(path, {true, false, false, false, true});
  EXPECT_EQ(Marks(list, bmp.row), "A s     X ");
  // Outside the list's span, or a file that is gone: nothing, or a row of size 0.
  EXPECT_EQ(list.AddNewClip((tree.root() / "M20240105_220000__.avi").string(), {}).row, -1);
  const ClipList::Added gone =
      list.AddNewClip((tree.root() / "M20240101_230000__.avi").string(), {});
  EXPECT_EQ(list.entry(list.row(gone.row).entry).size_mb, 0);
  EXPECT_EQ(list.directory_count(), 2);
}

TEST(ClipList, RowFilesAreTheClipsOwnNotANeighboursWithALongerName) {
  Tree tree;
  const std::string base = "M20240101_220000_JPTK01_C1";
  for (const char* end : {".avi", ".xml", "P.jpg", "M.bmp", ".csv"}) tree.File(base + end);
  for (const char* end : {"0.avi", "0.xml", "0P.jpg", "Z.jpg"}) tree.File(base + end);
  ClipList list;
  list.Reset(Span(2024, 1, 1, 1, false));
  list.Scan(tree.root().string(), false);
  ASSERT_EQ(Names(list), (std::vector<std::string>{base, base + "0", base + "Z"}));
  std::vector<std::string> want;
  for (const char* end : {".avi", ".csv", ".xml", "M.bmp", "P.jpg"})
    want.push_back((tree.root() / (base + end)).string());
  EXPECT_EQ(list.RowFiles(0), want);

  list.RemoveRow(0);
  EXPECT_EQ(Names(list), (std::vector<std::string>{base + "0", base + "Z"}));
  EXPECT_EQ(list.RowFiles(0).size(), 3u);
}

}  // namespace
}  // namespace orvanta::ui
