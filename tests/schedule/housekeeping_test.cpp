#include "schedule/housekeeping.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/text_utf.h"
#include "tests/schedule/message_capture.h"
#include "tests/schedule/scratch_dir.h"

namespace orvanta::schedule {
namespace {

using testing::ReadText;
using testing::ScratchDir;
using testing::WriteText;
namespace fs = std::filesystem;

using testing::MessageCapture;

class ClipMoveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok());
    settings_.db_dir = root_ / "db";
    settings_.db2_dir = root_ / "db2";
    settings_.db_ymddir = true;
    settings_.db_y = 2024, settings_.db_m = 1, settings_.db_d = 1;
    settings_.db_days = 1;
    fs::create_directories(settings_.db2_dir);
    source_day_ = fs::path(settings_.db_dir) / "2024" / "202401" / "20240101";
    dest_day_ = fs::path(settings_.db2_dir) / "2024" / "202401" / "20240101";
    fs::create_directories(source_day_);
    hooks_.create_date_dir = [this](const std::string& path) {
      created_.push_back(path);
      fs::create_directory(path);
    };
    hooks_.reread_clip_list = [this] { ++rereads_; };
  }

  ScratchDir root_;
  ClipMoveSettings settings_;
  ClipMoveHooks hooks_;
  fs::path source_day_, dest_day_;
  std::vector<std::string> created_;
  int rereads_ = 0;
};

TEST_F(ClipMoveTest, MovesTheNightAndRemovesTheEmptiedDayDirectory) {
  WriteText(source_day_ / "M20240101_220000_JPTK01_C1.avi", "clip");
  WriteText(source_day_ / "M20240101_220000_JPTK01_C1.xml", "record");
  MoveClipsAfterDetect(settings_, false, hooks_);

  EXPECT_EQ(ReadText(dest_day_ / "M20240101_220000_JPTK01_C1.avi"), "clip");
  EXPECT_EQ(ReadText(dest_day_ / "M20240101_220000_JPTK01_C1.xml"), "record");
  EXPECT_FALSE(fs::exists(source_day_));
  EXPECT_TRUE(fs::is_directory(source_day_.parent_path()));
  EXPECT_TRUE(fs::is_directory(source_day_.parent_path().parent_path()));
  EXPECT_EQ(created_, (std::vector<std::string>{settings_.db2_dir + "/2024",
                                                settings_.db2_dir + "/2024/202401",
                                                settings_.db2_dir + "/2024/202401/20240101"}));
  EXPECT_EQ(rereads_, 1);
}

TEST_F(ClipMoveTest, NameClashKeepsBothFilesAndTheSourceDirectory) {
  fs::create_directories(dest_day_);
  WriteText(dest_day_ / "M1.avi", "already there");
  WriteText(source_day_ / "M1.avi", "from tonight");
  WriteText(source_day_ / "M2.avi", "second");
  MoveClipsAfterDetect(settings_, false, hooks_);

  EXPECT_EQ(ReadText(dest_day_ / "M1.avi"), "already there");
  EXPECT_EQ(ReadText(source_day_ / "M1.avi"), "from tonight");
  EXPECT_EQ(ReadText(dest_day_ / "M2.avi"), "second");
  EXPECT_FALSE(fs::exists(source_day_ / "M2.avi"));
}

TEST_F(ClipMoveTest, RefusalsAreSilentUnlessVerbose) {
  WriteText(source_day_ / "M1.avi", "clip");
  struct Case {
    const char* what;
    int db_days;
    bool db2_exists;
    std::string verbose_message;
  };
  const Case cases[] = {
      {"several days shown", 3, true, "DB days not 1 : 3"},
      {"no second directory", 1, false, "movecliptest: db2 is not exist:" + (root_ / "db2")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    settings_.db_days = c.db_days;
    if (!c.db2_exists) fs::remove_all(settings_.db2_dir);
    for (bool verbose : {false, true}) {
      MessageCapture capture;
      MoveClipsAfterDetect(settings_, verbose, hooks_);
      EXPECT_EQ(capture.messages,
                verbose ? std::vector<std::string>{c.verbose_message} : std::vector<std::string>{});
    }
    EXPECT_TRUE(fs::exists(source_day_ / "M1.avi"));
    EXPECT_TRUE(created_.empty());
  }
}

TEST_F(ClipMoveTest, MissingSourceDayMovesNothingWithoutMessage) {
  settings_.db_d = 2;
  MessageCapture capture;
  MoveClipsAfterDetect(settings_, true, hooks_);
  EXPECT_TRUE(capture.messages.empty());
  EXPECT_TRUE(created_.empty());
  EXPECT_EQ(rereads_, 0);
}

TEST_F(ClipMoveTest, WithoutDateDirectoriesOnlyTopFilesMove) {
  settings_.db_ymddir = false;
  WriteText(fs::path(settings_.db_dir) / "M1.avi", "clip");
  MoveClipsAfterDetect(settings_, false, hooks_);
  EXPECT_EQ(ReadText(fs::path(settings_.db2_dir) / "M1.avi"), "clip");
  EXPECT_TRUE(fs::is_directory(source_day_));
  EXPECT_FALSE(fs::exists(fs::path(settings_.db2_dir) / "2024"));
  EXPECT_EQ(rereads_, 1);
}

TEST_F(ClipMoveTest, DestinationDateDirectoryThatCannotBeMadeIsFatal) {
  WriteText(source_day_ / "M1.avi", "clip");
  WriteText(fs::path(settings_.db2_dir) / "2024", "a file where the year directory goes");
  static AppParams ap{};
  SetField(ap.db_dir, Utf8ToUtf16(settings_.db_dir));
  SetField(ap.db2_dir, Utf8ToUtf16(settings_.db2_dir));
  ap.db_ymddir = 1, ap.db_y = 2024, ap.db_m = 1, ap.db_d = 1, ap.db_days = 1;

  std::vector<std::string> fatal;
  const MessageHandler previous_handler =
      SetMessageHandler({nullptr, [&](const std::string& text) { fatal.push_back(text); }});
  const FatalExit previous_exit = SetFatalExit([](int code) { throw code; });
  EXPECT_THROW(MoveClipsAfterDetect(ap, false, nullptr), int);
  SetFatalExit(previous_exit);
  SetMessageHandler(previous_handler);

  EXPECT_EQ(fatal, (std::vector<std::string>{"Cannot Create Date Dir " + settings_.db2_dir +
                                             "/2024/202401"}));
  EXPECT_EQ(ReadText(source_day_ / "M1.avi"), "clip");
}

TEST(MoveAllFiles, CountsDirectoryEntriesIncludingDotAndDotDot) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "dst");
  WriteText(dir / "src/a", "a");
  EXPECT_EQ(MoveAllFiles(dir / "src", dir / "dst", false), 2);
  fs::create_directories(dir / "src/sub");
  WriteText(dir / "src/sub/b", "b");
  EXPECT_EQ(MoveAllFiles(dir / "src", dir / "dst", false), 3);
  EXPECT_TRUE(fs::exists(dir / "dst/a"));
  EXPECT_TRUE(fs::exists(dir / "src/sub/b"));

  MessageCapture capture;
  EXPECT_EQ(MoveAllFiles("", dir / "dst", true), 0);
  EXPECT_EQ(MoveAllFiles(dir / "none", dir / "dst", false), 0);
  EXPECT_EQ(capture.messages, (std::vector<std::string>{"moveallfiles: source deos not exist:"}));
}

TEST(CleanClipTree, RemovesLeftoversAndEmptyDirectoriesButKeepsClipsAndTop) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const fs::path db = dir.path() / "db";
  const fs::path night = db / "2024" / "202401" / "20240101";
  fs::create_directories(night);
  fs::create_directories(db / "2024" / "202401" / "20240102");  // empty day directory
  WriteText(night / "T20240101_230000_JPTK01_C1.AVI", "");
  WriteText(night / "Thumbs.db", "");
  WriteText(night / "M20240101_221000_JPTK01_C1.avi", "clip");
  WriteText(db / "T2.avi", "");
  WriteText(db / "T2avi", "");
  WriteText(db / "t2x.avi", "");  // lower-case t: not a recording name
  fs::create_directories(db / "2023" / "202312");
  WriteText(db / "2023" / "202312" / ".keep", "");  // hidden: never touched

  EXPECT_EQ(CleanClipTree(db.string(), true), 1);
  EXPECT_FALSE(fs::exists(night / "T20240101_230000_JPTK01_C1.AVI"));
  EXPECT_FALSE(fs::exists(night / "Thumbs.db"));
  EXPECT_TRUE(fs::exists(night / "M20240101_221000_JPTK01_C1.avi"));
  EXPECT_FALSE(fs::exists(db / "2024" / "202401" / "20240102"));
  EXPECT_FALSE(fs::exists(db / "T2.avi"));
  EXPECT_TRUE(fs::exists(db / "T2avi"));
  EXPECT_TRUE(fs::exists(db / "t2x.avi"));
  EXPECT_TRUE(fs::exists(db / "2023" / "202312" / ".keep"));

  fs::remove(night / "M20240101_221000_JPTK01_C1.avi");
  fs::remove(db / "T2avi");
  fs::remove(db / "t2x.avi");
  fs::remove_all(db / "2023");
  EXPECT_EQ(CleanClipTree(db.string(), true), 0);
  EXPECT_TRUE(fs::is_directory(db));
  EXPECT_TRUE(fs::is_empty(db));
  EXPECT_EQ(CleanClipTree("", true), 0);
}

TEST(CleanReplayCache, DeletesOnlyReplayCopies) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  WriteText(dir / "M20240101_221000_JPTK01_C1.avi", "");
  WriteText(dir / "M1.avi", "");
  WriteText(dir / "notes.txt", "");
  fs::create_directories(dir / "M2dir");
  CleanReplayCache(dir.path().string());
  EXPECT_FALSE(fs::exists(dir / "M20240101_221000_JPTK01_C1.avi"));
  EXPECT_TRUE(fs::exists(dir / "M1.avi"));
  EXPECT_TRUE(fs::exists(dir / "notes.txt"));
  EXPECT_TRUE(fs::is_directory(dir / "M2dir"));
  CleanReplayCache("");
  CleanReplayCache(dir / "none");
}

TEST(WriteKeepAlive, TruncatesTheStampInTheDayDirectoryOrDbDir) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  fs::create_directories(dir / "day");
  WriteText(dir / "day/timestamp.txt", "old content");
  const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(1000);
  fs::last_write_time(dir / "day/timestamp.txt", old_time);

  EXPECT_TRUE(WriteKeepAlive(dir / "day", dir.path().string()));
  EXPECT_EQ(fs::file_size(dir / "day/timestamp.txt"), 0u);
  EXPECT_GT(fs::last_write_time(dir / "day/timestamp.txt"), old_time);

  EXPECT_TRUE(WriteKeepAlive("", dir.path().string()));
  EXPECT_TRUE(fs::exists(dir / "timestamp.txt"));
  EXPECT_FALSE(WriteKeepAlive(dir / "none", dir.path().string()));
  EXPECT_FALSE(WriteKeepAlive("", ""));
}

TEST(DiscardFile, FinalDeleteOrIntoTheTrash) {
  ScratchDir dir;
  ASSERT_TRUE(dir.ok());
  const std::string old_home = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
  ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  fs::create_directories(dir / "data");

  WriteText(dir / "M1.avi", "gone for good");
  DiscardFile(dir / "M1.avi", true);
  EXPECT_FALSE(fs::exists(dir / "M1.avi"));

  WriteText(dir / "M2.avi", "to the trash");
  {
    MessageCapture capture;
    DiscardFile(dir / "M2.avi", false);
    DiscardFile(dir / "none.avi", false);
    EXPECT_EQ(capture.messages, (std::vector<std::string>{"UM024: Cannot Delete clip"}));
  }
  EXPECT_FALSE(fs::exists(dir / "M2.avi"));
  EXPECT_EQ(ReadText(dir / "data/Trash/files/M2.avi"), "to the trash");
  EXPECT_TRUE(fs::exists(dir / "data/Trash/info/M2.avi.trashinfo"));

  // A user whose data directory does not exist yet (a fresh service account) gets one, and
  // the clip goes to its trash, not somewhere under the working directory.
  ::setenv("XDG_DATA_HOME", (dir / "fresh").c_str(), 1);
  WriteText(dir / "M3.avi", "to a new trash");
  DiscardFile(dir / "M3.avi", false);
  EXPECT_EQ(ReadText(dir / "fresh/Trash/files/M3.avi"), "to a new trash");

  if (old_home.empty()) {
    ::unsetenv("XDG_DATA_HOME");
  } else {
    ::setenv("XDG_DATA_HOME", old_home.c_str(), 1);
  }
}

}  // namespace
}  // namespace orvanta::schedule
