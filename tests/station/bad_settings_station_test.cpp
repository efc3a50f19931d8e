// The station and the batch tool as programs, given what a hostile or careless user gives
// them: settings files edited by hand to values out of range, sources of sizes the station
// cannot record, start times that are no dates. Each ends with a plain message and an exit
// status, never with an abort.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orvanta {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  bool exited = false;  // false: ended by a signal (an abort)
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

Outcome RunIn(const fs::path& dir, const std::vector<std::string>& argv) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    ::dup2(::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  Outcome run;
  run.exited = WIFEXITED(status);
  run.status = run.exited ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(dir / "stdout.txt");
  run.err = ReadFile(dir / "stderr.txt");
  return run;
}

// Overwrites the stored value of an integer key, as a hand edit would.
void PatchInt(const fs::path& file, const std::string& key, int32_t value) {
  std::string bytes = ReadFile(file);
  bool found = false;
  for (size_t at = 0; at + 20 <= bytes.size();) {
    int32_t length = 0;
    std::memcpy(&length, bytes.data() + at + 16, 4);
    if (std::string(bytes.data() + at, strnlen(bytes.data() + at, 16)) == key.substr(0, 15)) {
      std::memcpy(bytes.data() + at + 20, &value, 4);
      found = true;
    }
    at += 20 + static_cast<size_t>(length);
  }
  ASSERT_TRUE(found) << key;
  std::ofstream(file, std::ios::binary) << bytes;
}

class BadInput : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvanta_bad_input_" +
            std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
            std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "clips");
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Simulate() {
    const fs::path video = dir_ / "sky.avi";
    const Outcome r =
        RunIn(dir_, {ORVANTA_TOOL_PATH, "simulate", "--out", video.string(), "--width", "160",
                     "--height", "120", "--fps", "25", "--seconds", "1", "--seed", "3"});
    EXPECT_EQ(r.status, 0) << r.err;
    return video;
  }

  // A raw I420 video of any size, in a container that holds every size.
  fs::path RawVideo(int width, int height) {
    const fs::path video = dir_ / ("raw" + std::to_string(width) + ".mkv");
    const Outcome r =
        RunIn(dir_, {"gst-launch-1.0", "-q", "videotestsrc", "num-buffers=3", "!",
                     "video/x-raw,format=I420,width=" + std::to_string(width) +
                         ",height=" + std::to_string(height) + ",framerate=25/1",
                     "!", "matroskamux", "!", "filesink", "location=" + video.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    return video;
  }

  fs::path dir_;
};

TEST_F(BadInput, StationStartsOnSettingsOutOfRangeWithTheirDefaults) {
  const fs::path video = Simulate();
  const fs::path good = dir_ / "good.zvi";
  const Outcome made =
      RunIn(dir_, {ORVANTA_TOOL_PATH, "settings", "set", good.string(), "IF.cx=160", "IF.cy=120",
                   "IF.filterinmode=1", "IF.rtspinmode=0", "AP.dv_v_s_filter=filesrc",
                   "AP.infname=" + video.string(), "AP.db_dir=" + (dir_ / "clips").string(),
                   "AP.limit_MB=10"});
  ASSERT_EQ(made.status, 0) << made.err;
  struct Case {
    const char* key;
    int32_t value;
    int status;  // a default frame size does not match the file: a format error
  } cases[] = {
      {"IF.cx", -2, 1},      {"IF.cy", 935059926, 1},    {"IF.cx", 40000, 1},
      {"IF.fs_head", -5, 0}, {"IF.fs_head", INT_MAX, 0}, {"IF.dsize", 0, 0},
      {"IF.fs_diff", -1, 0}, {"IF.dmin", INT_MAX, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + std::to_string(c.value));
    const fs::path settings = dir_ / "test.zvi";
    fs::copy_file(good, settings, fs::copy_options::overwrite_existing);
    PatchInt(settings, c.key, c.value);
    const Outcome r = RunIn(dir_, {ORVANTA_STATION_PATH, "--headless", settings.string()});
    ASSERT_TRUE(r.exited) << r.err;
    EXPECT_EQ(r.status, c.status) << r.err;
    const std::string said =
        std::string("test.zvi holds values out of range: ") + c.key + "=" + std::to_string(c.value);
    EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
  }
}

TEST_F(BadInput, DetectRefusesFrameSizesAndStartTimesInPlainWords) {
  for (auto [w, h] : {std::pair{1, 1}, {15, 15}, {4112, 16}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const fs::path video = RawVideo(w, h);
    const Outcome r = RunIn(dir_, {ORVANTA_TOOL_PATH, "detect", "--source", video.string(), "--out",
                                   (dir_ / "clips").string()});
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.status, 1);
    const std::string said = "the frame size " + std::to_string(w) + " x " + std::to_string(h) +
                             " is not taken: width and height must each be 16 to 4096 pixels";
    EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
  }
  const fs::path video = Simulate();
  for (const char* start : {"2024-99-99T99:99:99", "-5000-01-01T00:00:00", "1969-12-31T23:59:59"}) {
    SCOPED_TRACE(start);
    const Outcome r = RunIn(dir_, {ORVANTA_TOOL_PATH, "detect", "--source", video.string(), "--out",
                                   (dir_ / "clips").string(), "--start", start});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(std::string("--start ") + start +
                         " is not a real date and time from 1970-01-01 00:00:00 to 9999-12-31"),
              std::string::npos)
        << r.err;
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "clips"));
}

}  // namespace
}  // namespace orvanta
