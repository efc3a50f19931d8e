#include "clipnaming/disk_space.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
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

TEST(DiskSpaceTest, DeletesOldestClipFileOnly) {
  TempDir dir;
  fs::create_directory(dir / "Mdir");  // a directory is never a clip file
  // Names out of alphabetical order: age decides, not the name.
  CreateInOrder(dir, {"T20240102_030000_JPTK01_C1.avi", "M20240102_031500_JPTK01_C1.avi",
                      "notes.txt", "M20240102_021000_JPTK01_C1.avi"});

  EXPECT_EQ(DeleteOldestClip(dir.path()), dir / "M20240102_031500_JPTK01_C1.avi");
  EXPECT_EQ(DeleteOldestClip(dir.path()), dir / "M20240102_021000_JPTK01_C1.avi");
  EXPECT_EQ(DeleteOldestClip(dir.path()), std::nullopt);
  EXPECT_EQ(Remaining(dir),
            (std::vector<std::string>{"Mdir", "T20240102_030000_JPTK01_C1.avi", "notes.txt"}));
  EXPECT_EQ(DeleteOldestClip(""), std::nullopt);  // no day directory yet
}

TEST(DiskSpaceTest, MakeDiskSpaceDeletesOneAtATimeAndRechecks) {
  TempDir dir;
  const std::vector<std::string> clip = {
      "M20240101_220000_JPTK01_C1.avi", "M20240101_220000_JPTK01_C1.xml",
      "M20240101_220000_JPTK01_C1M.bmp", "M20240101_230000_JPTK01_C1.avi"};
  CreateInOrder(dir, clip);
  // Each deleted file frees 100 MiB; the query sees what is left on disk.
  std::vector<std::string> asked;
  auto query = [&](const std::string& path) {
    asked.push_back(path);
    return 500 + 100 * static_cast<int>(4 - Remaining(dir).size());
  };
  DiskSpaceOutcome out = MakeDiskSpace(500, 700, dir.path(), "/db", query);
  EXPECT_TRUE(out.met);
  EXPECT_EQ(out.free_mb, 700);
  EXPECT_EQ(out.deleted, 2);
  EXPECT_EQ(asked, (std::vector<std::string>{"/db", "/db"}));
  EXPECT_EQ(Remaining(dir), (std::vector<std::string>{clip[2], clip[3]}));
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
