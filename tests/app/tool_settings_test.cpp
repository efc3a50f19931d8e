// zavip-tool settings / scramble / unscramble, run as a user would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/app/test_support.h"

extern char** environ;

namespace orvanta::testing {
namespace {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("orvanta-tool-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
            std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the tool in dir_ with HOME=dir_, capturing both streams.
  ToolRun Tool(const std::vector<std::string>& args) {
    const std::string out_path = (dir_ / ".stdout").string();
    const std::string err_path = (dir_ / ".stderr").string();
    std::vector<std::string> argv_s{ZAVIP_TOOL};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_s{"HOME=" + dir_.string(), "PATH=/usr/bin:/bin", "TZ=UTC"};
    std::vector<char*> env;
    for (auto& e : env_s) env.push_back(e.data());
    env.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid;
    ToolRun run{-1, "", ""};
    if (posix_spawn(&pid, ZAVIP_TOOL, &actions, nullptr, argv.data(), env.data()) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = ReadBytes(out_path);
    run.err = ReadBytes(err_path);
    return run;
  }

  std::filesystem::path dir_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(ToolTest, DefaultsThenDumpShowsAFirstStart) {
  ASSERT_EQ(Tool({"settings", "defaults", "F.zvi"}).status, 0);
  const std::string file = ReadBytes(dir_ / "F.zvi");
  EXPECT_EQ(file.substr(0, 24), Record("VERSION", IntValue(501)));

  const ToolRun dump = Tool({"settings", "dump", "F.zvi"});
  ASSERT_EQ(dump.status, 0) << dump.err;
  const auto lines = Lines(dump.out);
  ASSERT_EQ(lines.size(), 160u);  // "VERSION" and every key
  EXPECT_EQ(lines.front(), "VERSION=501");
  EXPECT_EQ(lines[1], "IF.cy=1440");
  EXPECT_EQ(lines[3], "IF.fps=0");
  EXPECT_EQ(lines.back(), "AP.rtsp_pword=");
  for (const char* expected :
       {"IF.continuousdetection=0", "AP.lng=139", "AP.lat=35", "AP.dv_audio_device=--",
        "IF.si_format=%T%M %pfps %y-%Y %F %L %c %I OrvantaIP"}) {
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
  }
  const std::string db_dir = "AP.db_dir=" + (dir_ / "Documents").string();
  EXPECT_NE(std::find(lines.begin(), lines.end(), db_dir), lines.end());
}

TEST_F(ToolTest, SetAndGetRoundTrip) {
  const ToolRun set = Tool({"settings", "set", "S.zvi", "IF.continuousdetection=1", "AP.lng=-70.25",
                            "AP.oname=Ōta", "AP.rtsp_pword=se cr=et", "AP.ftp_pw=ftp-pw"});
  ASSERT_EQ(set.status, 0) << set.err;
  struct Case {
    const char* key;
    const char* value;
  };
  for (const Case& c :
       {Case{"IF.continuousdetection", "1"}, Case{"IF.continuousde", "1"}, Case{"AP.lng", "-70.25"},
        Case{"AP.oname", "Ōta"}, Case{"AP.rtsp_pword", "se cr=et"}, Case{"AP.ftp_pw", "ftp-pw"},
        Case{"IF.dlev", "50"}, Case{"VERSION", "501"}}) {
    SCOPED_TRACE(c.key);
    const ToolRun get = Tool({"settings", "get", "S.zvi", c.key});
    EXPECT_EQ(get.status, 0) << get.err;
    EXPECT_EQ(get.out, std::string(c.value) + "\n");
  }
  // The password is stored as the symbols of its text under installdate.
  const std::string install = Tool({"settings", "get", "S.zvi", "AP.installdate"}).out;
  const std::string symbols =
      Tool({"scramble", install.substr(0, install.size() - 1), "se cr=et"}).out;
  const std::string file = ReadBytes(dir_ / "S.zvi");
  EXPECT_NE(file.find(symbols.substr(0, symbols.size() - 1)), std::string::npos);
  EXPECT_EQ(file.find("se cr=et"), std::string::npos);

  // A load and a save give the same bytes.
  ASSERT_EQ(Tool({"settings", "set", "S.zvi", "IF.dlev=50"}).status, 0);
  EXPECT_EQ(ReadBytes(dir_ / "S.zvi"), file);
}

TEST_F(ToolTest, UsageAndFileErrors) {
  ASSERT_EQ(Tool({"settings", "defaults", "F.zvi"}).status, 0);
  const std::string before = ReadBytes(dir_ / "F.zvi");
  const std::vector<std::vector<std::string>> failing = {
      {"settings"},
      {"settings", "dump", "missing.zvi"},
      {"settings", "get", "F.zvi", "IF.nosuchkey"},
      {"settings", "set", "F.zvi", "IF.dlev"},
      {"settings", "set", "F.zvi", "IF.dlev=5x"},
      {"settings", "set", "F.zvi", "IF.dlev=99999999999"},
      {"settings", "set", "F.zvi", "AP.lng=nan"},
      {"settings", "set", "F.zvi", "IF.cid=ABCD"},
      {"settings", "set", "F.zvi", "AP.snd=" + std::string(1024, 's')},
      {"settings", "defaults", "no/such/dir.zvi"},
      {"scramble", "onlykey"},
  };
  for (const auto& args : failing) {
    SCOPED_TRACE(args.back());
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(run.err.empty());
  }
  EXPECT_EQ(ReadBytes(dir_ / "F.zvi"), before);
  // Five long paths do not fit one settings image: refused, nothing written.
  std::vector<std::string> args{"settings", "set", "F.zvi"};
  for (const char* key : {"AP.snd=", "AP.bat=", "AP.infname=", "AP.inputname=", "AP.db2_dir="}) {
    args.push_back(key + std::string(1000, 'p'));
  }
  EXPECT_EQ(Tool(args).status, 1);
  EXPECT_EQ(ReadBytes(dir_ / "F.zvi"), before);
}

TEST_F(ToolTest, SetRefusesValuesOutsideTheKeysRange) {
  ASSERT_EQ(Tool({"settings", "defaults", "F.zvi"}).status, 0);
  const std::string before = ReadBytes(dir_ / "F.zvi");
  struct Case {
    const char* assignment;
    const char* message;  // empty: taken
  };
  for (const Case& c : {
           Case{"IF.cx=-2", "IF.cx must be 16 to 4096, not -2"},
           Case{"IF.cy=935059926", "IF.cy must be 16 to 4096, not 935059926"},
           Case{"IF.cx=40000", "IF.cx must be 16 to 4096, not 40000"},
           Case{"IF.fs_head=-5", "IF.fs_head must be 0 to 480, not -5"},
           Case{"IF.fs_head=2147483647", "IF.fs_head must be 0 to 480, not 2147483647"},
           Case{"IF.dsize=0", "IF.dsize must be 1 to 1310720, not 0"},
           Case{"IF.fs_diff=-1", "IF.fs_diff must be 1 to 480, not -1"},
           Case{"IF.dmin=2147483647", "IF.dmin must be 1 to 480, not 2147483647"},
           Case{"AP.lat=90.5", "AP.lat must be -90 to 90, not 90.5"},
           Case{"IF.fps=-25", "IF.fps must be 0 to 1000, not -25"},
       }) {
    SCOPED_TRACE(c.assignment);
    const ToolRun run = Tool({"settings", "set", "F.zvi", "IF.dlev=60", c.assignment});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string("zavip-tool: ") + c.message + "\n");
    EXPECT_EQ(ReadBytes(dir_ / "F.zvi"), before);
  }
  // The limits themselves are taken.
  ASSERT_EQ(Tool({"settings", "set", "F.zvi", "IF.cx=4096", "IF.cy=16", "IF.fs_head=0",
                  "IF.dmin=480", "AP.lat=-90"})
                .status,
            0);
  EXPECT_EQ(Tool({"settings", "get", "F.zvi", "IF.cx"}).out, "4096\n");
  EXPECT_EQ(Tool({"settings", "get", "F.zvi", "IF.dmin"}).out, "480\n");
}

TEST_F(ToolTest, FatalLoadErrorsEndLikeTheProgram) {
  const std::string file =
      Record("VERSION", IntValue(501)) + Record("IF.cid", Utf16Value(u"ABCDEF"));  // L = 16 > 8
  WriteBytes(dir_ / "bad.zvi", file);
  const ToolRun run = Tool({"settings", "dump", "bad.zvi"});
  EXPECT_EQ(run.status, 247);  // exit code -9
  EXPECT_NE(run.err.find("UE0105: invalid length"), std::string::npos);
  EXPECT_NE(ReadBytes(dir_ / "zavip.log").find("UE0105: invalid length"), std::string::npos);
}

TEST_F(ToolTest, ScrambleAndUnscramble) {
  const ToolRun symbols = Tool({"scramble", " 20240101_000000", "pässword"});
  ASSERT_EQ(symbols.status, 0);
  EXPECT_EQ(symbols.out.size(), 29u + 1);  // 8 characters: 18 bytes, 144 bits
  const ToolRun text = Tool({"unscramble", " 20240101_000000", Lines(symbols.out)[0]});
  EXPECT_EQ(text.out, "pässword\n");
  EXPECT_EQ(Tool({"scramble", "", ""}).out.size(), 4u + 1);
  const ToolRun bad = Tool({"unscramble", "k", "K7Q2!"});
  EXPECT_EQ(bad.status, 0);
  EXPECT_EQ(bad.out, "\n");
}

}  // namespace
}  // namespace orvanta::testing
