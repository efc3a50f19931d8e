#include "schedule/file_moves.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "tests/schedule/scratch_dir.h"

namespace orvanta {
namespace {

using schedule::testing::DeviceOf;
using schedule::testing::ReadText;
using schedule::testing::ScratchDir;
using schedule::testing::TmpfsMount;
using schedule::testing::WriteText;
namespace fs = std::filesystem;

// A directory on another file system than `here`: /dev/shm when it is one,
// else a tmpfs of our own; null (the test skips) when neither can be had.
struct OtherDevice {
  std::unique_ptr<ScratchDir> shm;
  std::unique_ptr<TmpfsMount> tmpfs;
  fs::path path;
};
std::unique_ptr<OtherDevice> FindOtherDevice(const fs::path& here) {
  auto other = std::make_unique<OtherDevice>();
  if (fs::is_directory("/dev/shm") && DeviceOf("/dev/shm") != DeviceOf(here)) {
    other->shm = std::make_unique<ScratchDir>("/dev/shm");
    if (other->shm->ok()) {
      other->path = other->shm->path();
      return other;
    }
  }
  other->tmpfs = std::make_unique<TmpfsMount>("4m");
  if (other->tmpfs->mounted()) {
    other->path = other->tmpfs->path();
    return other;
  }
  return nullptr;
}

TEST(MoveFileNoReplace, SameFileSystem) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  WriteText(dir / "a.avi", "clip a");
  WriteText(dir / "b.avi", "clip b");

  const MoveResult moved = MoveFileNoReplace(dir / "a.avi", dir / "c.avi");
  EXPECT_TRUE(moved.ok()) << moved.error;
  EXPECT_FALSE(fs::exists(dir / "a.avi"));
  EXPECT_EQ(ReadText(dir / "c.avi"), "clip a");

  const MoveResult clash = MoveFileNoReplace(dir / "b.avi", dir / "c.avi");
  EXPECT_EQ(clash.status, MoveStatus::DestinationExists);
  EXPECT_EQ(ReadText(dir / "b.avi"), "clip b");
  EXPECT_EQ(ReadText(dir / "c.avi"), "clip a");

  EXPECT_EQ(MoveFileNoReplace(dir / "none.avi", dir / "d.avi").status, MoveStatus::SourceMissing);
  EXPECT_EQ(MoveFileNoReplace(dir / "b.avi", dir / "no/such/dir.avi").status, MoveStatus::Failed);
  EXPECT_TRUE(fs::exists(dir / "b.avi"));
}

TEST(MoveFileNoReplace, AcrossFileSystemsKeepsContentTimesAndNeverReplaces) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  auto other = FindOtherDevice(dir.path());
  if (!other) GTEST_SKIP() << "no second file system here (no /dev/shm, no right to mount tmpfs)";

  std::string big(3 << 20, '\0');  // more than one copy buffer
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4093);
  WriteText(dir / "M1.avi", big);
  ::chmod((dir / "M1.avi").c_str(), 0640);
  const auto mtime = fs::file_time_type::clock::now() - std::chrono::hours(1000);
  fs::last_write_time(dir / "M1.avi", mtime);

  const MoveResult moved = MoveFileNoReplace(dir / "M1.avi", (other->path / "M1.avi").string());
  ASSERT_TRUE(moved.ok()) << moved.error;
  EXPECT_FALSE(fs::exists(dir / "M1.avi"));
  EXPECT_EQ(ReadText(other->path / "M1.avi"), big);
  EXPECT_EQ(fs::last_write_time(other->path / "M1.avi"), mtime);
  EXPECT_EQ(fs::status(other->path / "M1.avi").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  WriteText(dir / "M1.avi", "another clip of that name");
  const MoveResult clash = MoveFileNoReplace(dir / "M1.avi", (other->path / "M1.avi").string());
  EXPECT_EQ(clash.status, MoveStatus::DestinationExists);
  EXPECT_EQ(ReadText(dir / "M1.avi"), "another clip of that name");
  EXPECT_EQ(ReadText(other->path / "M1.avi"), big);

  fs::create_directory(dir / "day");
  EXPECT_EQ(MoveFileNoReplace(dir / "day", (other->path / "day").string()).status,
            MoveStatus::Failed);
  EXPECT_TRUE(fs::is_directory(dir / "day"));
}

TEST(MoveFileNoReplace, FullDestinationLeavesSourceAndNoPartialCopy) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  TmpfsMount small("64k");
  if (!small.mounted()) GTEST_SKIP() << "no right to mount a small tmpfs";

  const std::string clip(256 * 1024, 'x');
  WriteText(dir / "M2.avi", clip);
  const MoveResult result = MoveFileNoReplace(dir / "M2.avi", (small.path() / "M2.avi").string());
  EXPECT_EQ(result.status, MoveStatus::Failed);
  EXPECT_NE(result.error.find("No space"), std::string::npos) << result.error;
  EXPECT_EQ(ReadText(dir / "M2.avi"), clip);
  EXPECT_FALSE(fs::exists(small.path() / "M2.avi"));
}

}  // namespace
}  // namespace orvanta
