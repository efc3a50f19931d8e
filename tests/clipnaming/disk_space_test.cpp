#include "clipnaming/disk_space.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

#include "tests/products/temp_dir.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// Creates the files in the given order, far enough apart in time that their
// creation (or, without birth times, modification) times order them.
void CreateInOrder(const TempDir& dir, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    testing::WriteText(dir / name, name);
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
}

std::vector<std::string> Remaining(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DiskSpaceTest, DeletesTheOldestClipWithAllItsFiles) {
  TempDir dir;
  fs::create_directory(dir / "Mdir");  // a directory is never a clip file
  // Names out of alphabetical order: age decides, not the name.
  CreateInOrder(dir, {"T20240102_030000_JPTK01_C1.avi", "M20240102_031500_JPTK01_C1.avi",
                      "notes.txt", "M20240102_021000_JPTK01_C1.avi",
                      "M20240102_031500_JPTK01_C1.xml", "M20240102_031500_JPTK01_C1P.jpg",
                      "M20240102_031500_JPTK01_C1T.jpg", "M20240102_021000_JPTK01_C1.xml"});

  EXPECT_EQ(DeleteOldestClip(dir.path()), dir / "M20240102_031500_JPTK01_C1.avi");
  EXPECT_EQ(Remaining(dir), (std::vector<std::string>{
                                "M20240102_021000_JPTK01_C1.avi", "M20240102_021000_JPTK01_C1.xml",
                                "Mdir", "T20240102_030000_JPTK01_C1.avi", "notes.txt"}));
  EXPECT_EQ(DeleteOldestClip(dir.path()), dir / "M20240102_021000_JPTK01_C1.avi");
  EXPECT_EQ(DeleteOldestClip(dir.path()), std::nullopt);
  EXPECT_EQ(Remaining(dir),
            (std::vector<std::string>{"Mdir", "T20240102_030000_JPTK01_C1.avi", "notes.txt"}));
  EXPECT_EQ(DeleteOldestClip(""), std::nullopt);  // no day directory yet
}

// The clip just finished is the oldest when it is the first of the night: it is kept (its
// record and images are still being made) and the next oldest goes instead.
TEST(DiskSpaceTest, NeverTakesTheClipJustFinished) {
  TempDir dir;
  CreateInOrder(dir, {"M20240102_010000_JPTK01_C1.avi", "M20240102_020000_JPTK01_C1.avi",
                      "M20240102_010000_JPTK01_C1.xml"});
  const std::string just_finished = dir / "M20240102_010000_JPTK01_C1.avi";
  EXPECT_EQ(DeleteOldestClip(dir.path(), just_finished), dir / "M20240102_020000_JPTK01_C1.avi");
  EXPECT_EQ(DeleteOldestClip(dir.path(), just_finished), std::nullopt);
  EXPECT_EQ(Remaining(dir), (std::vector<std::string>{"M20240102_010000_JPTK01_C1.avi",
                                                      "M20240102_010000_JPTK01_C1.xml"}));
}

TEST(DiskSpaceTest, MakeDiskSpaceDeletesWholeClipsAndRechecks) {
  TempDir dir;
  const std::vector<std::string> files = {
      "M20240101_220000_JPTK01_C1.avi", "M20240101_220000_JPTK01_C1.xml",
      "M20240101_220000_JPTK01_C1M.bmp", "M20240101_230000_JPTK01_C1.avi",
      "M20240101_235900_JPTK01_C1.avi"};
  CreateInOrder(dir, files);
  // Each deleted clip frees 100 MiB; the query sees what is left on disk.
  std::vector<std::string> asked;
  auto query = [&](const std::string& path) {
    asked.push_back(path);
    std::set<std::string> clips;
    for (const std::string& name : Remaining(dir)) clips.insert(ClipKey(name));
    return 500 + 100 * static_cast<int>(3 - clips.size());
  };
  DiskSpaceOutcome out = MakeDiskSpace(500, 700, dir.path(), "/db", query);
  EXPECT_TRUE(out.met);
  EXPECT_EQ(out.free_mb, 700);
  EXPECT_EQ(out.deleted, 2);
  EXPECT_EQ(asked, (std::vector<std::string>{"/db", "/db"}));
  EXPECT_EQ(Remaining(dir), (std::vector<std::string>{files[4]}));
}

TEST(DiskSpaceTest, MakeDiskSpaceGivesUp) {
  struct Case {
    const char* what;
    int free_mb;
    int query_answer;
    int files_left;  // of two
  };
  const Case cases[] = {
      // Every clip file gone and still short of the limit.
      {"no more clips", 100, 150, 0},
      // A failed query says nothing about what deleting frees: keep the clips.
      {"failed query at the start", -1, -1, 2},
      {"failed query after a deletion", 100, -1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    CreateInOrder(dir, {"M1.avi", "M2.avi"});
    DiskSpaceOutcome out = MakeDiskSpace(c.free_mb, 1000, dir.path(), dir.path(),
                                         [&](const std::string&) { return c.query_answer; });
    EXPECT_FALSE(out.met);
    EXPECT_EQ(out.message, "UM001: Cannot make Disk Free Space\n Delease delete manually");
    EXPECT_EQ(Remaining(dir).size(), static_cast<size_t>(c.files_left));
  }
}

TEST(DiskSpaceTest, FreeDiskMBOfRealAndMissingPaths) {
  TempDir dir;
  EXPECT_GT(FreeDiskMB(dir.path()), 0);
  EXPECT_EQ(FreeDiskMB(dir / "missing/deeper"), -1);
  EXPECT_EQ(FreeDiskMB(""), -1);
}

}  // namespace
}  // namespace orvanta
