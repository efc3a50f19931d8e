// Whole-file writes: a longer file is cut to the new bytes, a new file gets the mode asked
// for (less the umask), and a file that cannot be made or filled is told apart.
#include "app/file_owner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/app/test_support.h"
#include "tests/support/small_disk.h"

namespace orvanta::testing {
namespace {

using WholeFileTest = SettingsTest;

TEST_F(WholeFileTest, ReplacesTheBytesWithTheModeAsked) {
  const std::string path = (dir_ / "f.bin").string();
  WriteBytes(path, "a longer old content");
  EXPECT_EQ(WriteWholeFile(path, "new"), WriteFailure::None);
  EXPECT_EQ(ReadBytes(path), "new");

  const mode_t umask_now = ::umask(022);
  for (const auto& [name, how, mode] :
       {std::tuple{"products", WholeFileWrite{}, 0644},
        {"settings", WholeFileWrite{.mode = 0600, .sync = true}, 0600}}) {
    SCOPED_TRACE(name);
    const std::string fresh = (dir_ / name).string();
    EXPECT_EQ(WriteWholeFile(fresh, std::string(3, '\0'), how), WriteFailure::None);
    struct stat st {};
    EXPECT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, static_cast<mode_t>(mode));
    EXPECT_EQ(st.st_size, 3);
  }
  ::umask(umask_now);
}

TEST_F(WholeFileTest, FailuresAreToldApart) {
  EXPECT_EQ(WriteWholeFile((dir_ / "no/such/dir/f").string(), "x"), WriteFailure::CannotCreate);
  for (bool whole : {false, true}) {
    SCOPED_TRACE(whole);
    EXPECT_EQ(WriteWholeFile("/dev/full", std::string(4096, 'x'), {.whole_or_nothing = whole}),
              WriteFailure::ShortWrite);
    // A device named as the output is written to, never replaced.
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
}

// Products are written whole or not at all: a full disk leaves the old file as it was and
// no short or empty file under the real name.
TEST_F(WholeFileTest, WholeOrNothingOnAFullDisk) {
  test::SmallDisk disk(dir_ / "disk", 64);
  if (!disk.valid()) GTEST_SKIP() << "cannot mount a small file system here";
  const std::string kept = (disk.path() / "M1.xml").string();
  const std::string fresh = (disk.path() / "M2.bmp").string();
  EXPECT_EQ(WriteWholeFile(kept, "old record", {.whole_or_nothing = true}), WriteFailure::None);
  const std::string too_big(128 * 1024, 'x');
  EXPECT_EQ(WriteWholeFile(kept, too_big, {.whole_or_nothing = true}), WriteFailure::ShortWrite);
  EXPECT_EQ(WriteWholeFile(fresh, too_big, {.whole_or_nothing = true}), WriteFailure::ShortWrite);
  EXPECT_EQ(ReadBytes(kept), "old record");
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_FALSE(std::filesystem::exists(kept + ".part"));
  EXPECT_FALSE(std::filesystem::exists(fresh + ".part"));
}

}  // namespace
}  // namespace orvanta::testing
