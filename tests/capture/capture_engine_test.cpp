// The whole capture engine end to end, as the station and the batch tool run it: real
// video files and a real RTSP camera through the live graph and the detection filter
// plugin, clips checked on disk (AVI headers, XML records, still images, error logs).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/clip_files.h"
#include "tests/support/small_disk.h"

#ifdef ORVANTA_HAVE_RTSP_SERVER
#include <gst/gst.h>

#include "tests/capture/rtsp_test_server.h"
#endif

namespace orvanta {
namespace {

namespace fs = std::filesystem;
using testing::AviFacts;
using testing::FirstAviFrame;
using testing::ReadAvi;
using testing::XmlFrames;

const std::string kTool = ORVANTA_TOOL_PATH;
const std::string kStation = ORVANTA_STATION_PATH;
const std::string kMeteorMovie = std::string(ORVANTA_TESTDATA_DIR) + "/meteor1.avi";

std::string ReadFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Starts a program in `dir` with stdout and stderr going to files there.
pid_t Start(const fs::path& dir, const std::vector<std::string>& argv) {
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    int out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

Outcome Finish(const fs::path& dir, pid_t pid) {
  Outcome run;
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(dir / "stdout.txt");
  run.err = ReadFile(dir / "stderr.txt");
  return run;
}

Outcome RunIn(const fs::path& dir, const std::vector<std::string>& argv) {
  return Finish(dir, Start(dir, argv));
}

struct Clip {
  std::string path;
  int trig = 0;
  int frames = 0;
  int first = 0;
  int last = 0;
};

std::vector<Clip> ClipLines(const std::string& out) {
  std::vector<Clip> clips;
  std::regex line("clip (\\S+) trig=(\\d+) frames=(\\d+) first=(-?\\d+) last=(-?\\d+)");
  for (auto it = std::sregex_iterator(out.begin(), out.end(), line); it != std::sregex_iterator();
       ++it)
    clips.push_back({(*it)[1], std::stoi((*it)[2]), std::stoi((*it)[3]), std::stoi((*it)[4]),
                     std::stoi((*it)[5])});
  return clips;
}

struct Meteor {
  int first = 0;
  int last = 0;
  double peak = 0;
};

std::vector<Meteor> TruthMeteors(const fs::path& json) {
  std::vector<Meteor> meteors;
  const std::string text = ReadFile(json);
  std::regex event(
      "\"kind\": \"meteor\", \"first_frame\": (\\d+), \"last_frame\": (\\d+)[^}]*\"peak\": "
      "([0-9.]+)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), event);
       it != std::sregex_iterator(); ++it)
    meteors.push_back({std::stoi((*it)[1]), std::stoi((*it)[2]), std::stod((*it)[3])});
  return meteors;
}

std::vector<fs::path> FilesNamed(const fs::path& dir, const std::regex& name) {
  std::vector<fs::path> found;
  if (!fs::exists(dir)) return found;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file() && std::regex_match(e.path().filename().string(), name))
      found.push_back(e.path());
  return found;
}

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("orvanta_engine_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (HasFailure()) {
      std::fprintf(stderr, "-- stderr:\n%s-- error log:\n%s", ReadFile(dir_ / "stderr.txt").c_str(),
                   ReadFile(dir_ / "DxErrLog.txt").c_str());
    }
    fs::remove_all(dir_);
  }

  // A settings file with the defaults and the given keys.
  fs::path Settings(const std::vector<std::string>& keys) {
    const fs::path file = dir_ / "test.zvi";
    EXPECT_EQ(RunIn(dir_, {kTool, "settings", "defaults", file.string()}).status, 0);
    std::vector<std::string> set = {kTool, "settings", "set", file.string()};
    set.insert(set.end(), keys.begin(), keys.end());
    Outcome r = RunIn(dir_, set);
    EXPECT_EQ(r.status, 0) << r.err;
    return file;
  }

  // A headless station playing `video` (480 x 270, 25 fps) at its own pace into `clips`.
  fs::path FileStationSettings(const fs::path& video, const fs::path& clips) {
    return Settings({"IF.cx=480", "IF.cy=270", "IF.fps=25", "IF.sm_on=0", "IF.filterinmode=1",
                     "IF.rtspinmode=0", "AP.dv_v_s_filter=filesrc", "AP.infname=" + video.string(),
                     "AP.db_dir=" + clips.string(), "AP.db_ymddir=0", "AP.limit_MB=10"});
  }

  // The recording in `clips` once it holds more than `bytes`; empty when none did in 20 s.
  static fs::path WaitForRecording(const fs::path& clips, uintmax_t bytes) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
      for (const fs::path& t : FilesNamed(clips, std::regex("T.*\\.avi")))
        if (fs::file_size(t) > bytes) return t;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
  }

  fs::path Simulate(int width, int height, double seconds, int seed, const char* format = "YUY2") {
    const fs::path video = dir_ / "sky.avi";
    Outcome r =
        RunIn(dir_, {kTool, "simulate", "--out", video.string(), "--truth",
                     (dir_ / "sky.json").string(), "--width", std::to_string(width), "--height",
                     std::to_string(height), "--fps", "25", "--seconds", std::to_string(seconds),
                     "--seed", std::to_string(seed), "--format", format});
    EXPECT_EQ(r.status, 0) << r.err;
    return video;
  }

  Outcome Detect(const fs::path& video, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> argv = {kTool,      "detect",
                                     "--source", video.string(),
                                     "--out",    (dir_ / "clips").string(),
                                     "--start",  "2024-01-02T02:10:00"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return RunIn(dir_, argv);
  }

  fs::path dir_;
};

TEST_F(Engine, SimulatedSkyGivesOneFinishedClipPerMeteor) {
  const fs::path video = Simulate(640, 360, 30, 3);
  const fs::path settings =
      Settings({"IF.cx=640", "IF.cy=360", "AP.limit_MB=10", "AP.thumbnail=1", "AP.bmp=1"});
  Outcome r = Detect(video, {"--settings", settings.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<Clip> clips = ClipLines(r.out);
  std::vector<Meteor> bright;
  for (const Meteor& m : TruthMeteors(dir_ / "sky.json"))
    if (m.peak >= 60) bright.push_back(m);
  ASSERT_GE(bright.size(), 3u);
  ASSERT_EQ(clips.size(), bright.size()) << r.out;
  for (size_t i = 0; i < clips.size(); ++i) {
    const Clip& c = clips[i];
    SCOPED_TRACE(c.path);
    EXPECT_LE(c.first, bright[i].first);
    EXPECT_GE(c.last, bright[i].last);
    EXPECT_EQ(c.trig, 1);
    EXPECT_EQ(c.last - c.first + 1, c.frames);
    // A finished AVI with as many frames as the clip record.
    AviFacts avi = ReadAvi(c.path);
    EXPECT_TRUE(avi.has_index);
    EXPECT_EQ(avi.total_frames, static_cast<uint32_t>(c.frames));
    const std::string base = c.path.substr(0, c.path.size() - 4);
    EXPECT_EQ(XmlFrames(base + ".xml"), c.frames);
    // Each frame carries its time: the text's glyph bodies (255) fill the rows above the
    // baseline one row up from the bottom, where the sky alone has next to none.
    const std::string frame = FirstAviFrame(c.path);
    ASSERT_EQ(avi.compression, "YUY2");
    ASSERT_EQ(frame.size(), size_t{640 * 360 * 2});
    auto bodies = [&](int first_row) {
      int n = 0;
      for (int r = first_row; r < first_row + 24; ++r)
        for (int x = 0; x < 400; ++x) n += static_cast<uint8_t>(frame[(r * 640 + x) * 2]) == 255;
      return n;
    };
    EXPECT_GT(bodies(360 - 2 - 23), 300);
    EXPECT_LT(bodies(200), 30);
    for (const char* product : {"M.bmp", "P.bmp", "P.jpg", "T.jpg"})
      EXPECT_TRUE(fs::exists(base + product)) << product;
    EXPECT_FALSE(fs::exists(base + "S.bmp"));
  }
  // Names carry the stream time from --start, filed in the evening's day directory.
  EXPECT_NE(clips[0].path.find("/2024/202401/20240101/M20240102_0210"), std::string::npos);
  EXPECT_TRUE(FilesNamed(dir_ / "clips", std::regex("T.*\\.avi")).empty());
}

// The ends of a file: a meteor in its first seconds (inside the station's warm-up) is found,
// as the run primes the filter first; one in its last frames gets a finished clip up to the
// file's last frame instead of being thrown away. The simulated sky of seed 7 has a meteor
// in frames 81-84 (peak 246 DN); the warm-up at 25 frames per second is 100 frames.
TEST_F(Engine, MeteorsAtTheEndsOfAFileAreKept) {
  struct Case {
    const char* name;
    double seconds;
    int last_frame;
  } cases[] = {{"file ends during the meteor", 3.4, 84}, {"meteor in the first 4 s", 5, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_ / "clips");
    const fs::path video = Simulate(960, 540, c.seconds, 7, "I420");
    Outcome r = Detect(video);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<Clip> clips = ClipLines(r.out);
    ASSERT_EQ(clips.size(), 1u) << r.out;
    EXPECT_LE(clips[0].first, 81);
    EXPECT_GE(clips[0].last, 84);
    if (c.last_frame >= 0) {
      EXPECT_EQ(clips[0].last, c.last_frame);
    }
    AviFacts avi = ReadAvi(clips[0].path);
    EXPECT_TRUE(avi.has_index);
    EXPECT_EQ(avi.total_frames, static_cast<uint32_t>(clips[0].frames));
    const std::string base = clips[0].path.substr(0, clips[0].path.size() - 4);
    EXPECT_EQ(XmlFrames(base + ".xml"), clips[0].frames);
    EXPECT_TRUE(FilesNamed(dir_ / "clips", std::regex("T.*\\.avi")).empty());
  }
}

// The same file and settings give the same clips, byte for byte, however busy the machine:
// no frame passes unexamined while detection is armed or between clips.
TEST_F(Engine, RealMeteorMovieGivesTheSameClipsOnEveryRunUnderLoad) {
  if (!fs::exists(kMeteorMovie)) GTEST_SKIP() << "no test movie";
  std::atomic<bool> busy{true};
  std::vector<std::thread> load;
  for (int i = 0; i < 2; ++i)
    load.emplace_back([&busy] {
      volatile uint64_t x = 0;
      while (busy.load(std::memory_order_relaxed)) x = x * 6364136223846793005u + 1;
    });
  std::vector<std::string> lists;
  std::vector<std::string> records;
  for (int run = 0; run < 3; ++run) {
    fs::remove_all(dir_ / "clips");
    Outcome r = Detect(kMeteorMovie);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string list, record;
    for (const Clip& c : ClipLines(r.out)) {
      list += c.path + " " + std::to_string(c.first) + "-" + std::to_string(c.last) + "\n";
      record += ReadFile(c.path.substr(0, c.path.size() - 4) + ".xml");
    }
    lists.push_back(list);
    records.push_back(record);
  }
  busy = false;
  for (auto& t : load) t.join();
  // The flash of frames 13-28 has its clip.
  EXPECT_NE(lists[0].find("M20240102_021000"), std::string::npos) << lists[0];
  for (int run = 1; run < 3; ++run) {
    EXPECT_EQ(lists[run], lists[0]);
    EXPECT_TRUE(records[run] == records[0]) << "clip records differ in run " << run;
  }
}

TEST_F(Engine, RealMeteorMovieGivesAClipHoldingTheFireball) {
  if (!fs::exists(kMeteorMovie)) GTEST_SKIP() << "no test movie";
  // A short movie: the fireball (frames 13 to 28) comes before the usual warm-up ends, so
  // the rate setting keeps the warm-up to one frame and the head short.
  // The decoder is named, as a station names one behind its source filter.
  const fs::path settings =
      Settings({"IF.cx=640", "IF.cy=480", "IF.fps=1", "IF.sm_on=0", "IF.so_on=0", "IF.fs_head=5",
                "AP.limit_MB=10", "AP.dv_v_s_decoder=avdec_mpeg4"});
  Outcome r = Detect(kMeteorMovie, {"--settings", settings.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  bool held = false;
  for (const Clip& c : ClipLines(r.out)) {
    EXPECT_EQ(ReadAvi(c.path).total_frames, static_cast<uint32_t>(c.frames));
    // The record names the encoded format the decoder took in.
    EXPECT_NE(
        ReadFile(c.path.substr(0, c.path.size() - 4) + ".xml").find("fourcc_original=\"MP4V\""),
        std::string::npos);
    held = held || (c.first <= 13 && c.last >= 28);
  }
  EXPECT_TRUE(held) << r.out;
}

TEST_F(Engine, SlowFireballOfASmallCompressedMovieIsFoundWithTheDefaults) {
  const std::string movie = std::string(ORVANTA_TESTDATA_DIR) + "/meteor4.flv";
  if (!fs::exists(movie)) GTEST_SKIP() << "no test movie";
  // 320x240 Sorenson video: a slow fireball along the right edge (frames 8 to 272) under a
  // burnt-in date text that changes every second. The noise level must start from the
  // noise, not from one frame whose text changed.
  Outcome r = Detect(movie);
  ASSERT_EQ(r.status, 0) << r.err;
  bool held = false;
  for (const Clip& c : ClipLines(r.out)) held = held || (c.first <= 60 && c.last >= 120);
  EXPECT_TRUE(held) << r.out;
}

TEST_F(Engine, Nv12SourceIsRecordedAsYuy2) {
  const fs::path video = Simulate(480, 270, 8, 5);
  const fs::path settings = Settings({"IF.cx=480", "IF.cy=270", "AP.forcc=NV12", "AP.limit_MB=10"});
  Outcome r = Detect(video, {"--settings", settings.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<Clip> clips = ClipLines(r.out);
  ASSERT_FALSE(clips.empty()) << r.out;
  EXPECT_EQ(ReadAvi(clips[0].path).compression, "YUY2");
  const std::string xml = ReadFile(clips[0].path.substr(0, clips[0].path.size() - 4) + ".xml");
  EXPECT_NE(xml.find("fourcc=\"NV12\""), std::string::npos);
}

TEST_F(Engine, ClipThroughAnEncoderThatHoldsItsFramesIsWrittenWhole) {
  if (GstElementFactory* f = gst_element_factory_find("x264enc")) {
    gst_object_unref(f);
  } else {
    GTEST_SKIP() << "no x264enc";
  }
  // x264enc passes nothing on before its look-ahead is full: a short clip reaches the file
  // only with the end of stream.
  const fs::path video = Simulate(480, 270, 8, 5);
  const fs::path settings =
      Settings({"IF.cx=480", "IF.cy=270", "AP.dv_out_codec=90:x264enc", "AP.limit_MB=10"});
  Outcome r = Detect(video, {"--settings", settings.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<Clip> clips = ClipLines(r.out);
  ASSERT_FALSE(clips.empty()) << r.out;
  for (const Clip& c : clips)
    EXPECT_EQ(ReadAvi(c.path).total_frames, static_cast<uint32_t>(c.frames));
}

TEST_F(Engine, TooLittleDiskSpaceStopsWithCode500) {
  const fs::path video = Simulate(320, 180, 2, 5);
  const fs::path settings =
      Settings({"IF.cx=320", "IF.cy=180", "AP.limit_MB=2000000000", "AP.limit_stop=1"});
  Outcome r = Detect(video, {"--settings", settings.string()});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("UM003: HDD Space limit. Please Stop and delete old files"),
            std::string::npos)
      << r.err;
  EXPECT_NE(ReadFile(dir_ / "DxErrLog.txt").find("error at 500 "), std::string::npos);
  EXPECT_TRUE(FilesNamed(dir_ / "clips", std::regex(".*\\.avi")).empty());
}

TEST_F(Engine, SourceOfAnotherSizeIsAFormatError) {
  const fs::path video = Simulate(640, 480, 2, 5);
  const fs::path clips = dir_ / "clips";
  fs::create_directories(clips);
  const fs::path settings = Settings(
      {"IF.cx=720", "IF.cy=480", "IF.filterinmode=1", "IF.rtspinmode=0", "AP.dv_v_s_filter=filesrc",
       "AP.infname=" + video.string(), "AP.db_dir=" + clips.string(), "AP.limit_MB=10"});
  Outcome r = Finish(dir_, Start(dir_, {kStation, "--headless", settings.string()}));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Format error: "), std::string::npos) << r.err;
  const std::string log = ReadFile(dir_ / "DxErrLog.txt");
  EXPECT_NE(log.find("cx 720 cy 480"), std::string::npos) << log;
  EXPECT_NE(log.find("error str:"), std::string::npos) << log;
}

// A settings file made for a camera of another size still serves a batch run: the file's
// own frame size and rate win, the settings give everything else.
TEST_F(Engine, DetectTakesTheFilesSizeOverTheSettings) {
  const fs::path video = Simulate(640, 480, 2, 5);
  const fs::path settings = Settings({"IF.cx=720", "IF.cy=576", "IF.fps=50", "AP.limit_MB=10"});
  Outcome r = Detect(video, {"--settings", settings.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("Format error"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("detect: "), std::string::npos) << r.out;
}

// A service manager stopping the station at dawn must not cost the meteor being recorded:
// the clip is cut short and finished (AVI complete, record written) before the exit.
TEST_F(Engine, SigtermDuringAClipKeepsTheClip) {
  const fs::path video = Simulate(480, 270, 12, 5);
  const fs::path clips = dir_ / "clips";
  fs::create_directories(clips);
  const fs::path settings = FileStationSettings(video, clips);
  pid_t pid = Start(dir_, {kStation, "--headless", settings.string()});
  // The station plays the file at its own pace; stop it while a clip is being recorded.
  const bool recording = !WaitForRecording(clips, 200000).empty();
  ASSERT_TRUE(FilesNamed(clips, std::regex("M.*\\.avi")).empty()) << "the clip ended by itself";
  ::kill(pid, SIGTERM);
  Outcome r = Finish(dir_, pid);
  ASSERT_TRUE(recording) << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(FilesNamed(clips, std::regex("T.*\\.avi")).empty());
  const std::vector<fs::path> kept = FilesNamed(clips, std::regex("M.*\\.avi"));
  ASSERT_EQ(kept.size(), 1u) << r.err;
  fs::path xml = kept[0];
  xml.replace_extension(".xml");
  ASSERT_TRUE(fs::exists(xml));
  const AviFacts avi = ReadAvi(kept[0]);
  EXPECT_TRUE(avi.has_index);
  EXPECT_GT(avi.total_frames, 0u);
  EXPECT_EQ(static_cast<int>(avi.total_frames), XmlFrames(xml));
  // The settings were saved at the end.
  EXPECT_NE(ReadFile(settings).find("AP.db_dir"), std::string::npos);
}

// A recording cut off by a kill (or a power cut) is found at the next start and mended into
// a clip: index and header sizes written, its record beside it.
TEST_F(Engine, RecordingLeftByAKillIsMendedAtTheNextStart) {
  const fs::path video = Simulate(480, 270, 12, 5);
  const fs::path clips = dir_ / "clips";
  fs::create_directories(clips);
  const fs::path settings = FileStationSettings(video, clips);
  pid_t pid = Start(dir_, {kStation, "--headless", settings.string()});
  const fs::path left = WaitForRecording(clips, 2000000);
  ::kill(pid, SIGKILL);
  Finish(dir_, pid);
  ASSERT_FALSE(left.empty());
  ASSERT_TRUE(fs::exists(left));
  EXPECT_FALSE(ReadAvi(left).has_index);

  // The next start: the station is stopped as soon as it runs.
  pid = Start(dir_, {kStation, "--headless", settings.string()});
  fs::path mended = left.parent_path() / ("M" + left.filename().string().substr(1));
  const auto again = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(mended) && std::chrono::steady_clock::now() < again)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ::kill(pid, SIGTERM);
  Outcome r = Finish(dir_, pid);
  EXPECT_FALSE(fs::exists(left));
  ASSERT_TRUE(fs::exists(mended)) << r.err;
  const AviFacts avi = ReadAvi(mended);
  EXPECT_TRUE(avi.has_index);
  EXPECT_GE(avi.total_frames, 7u);  // 2 MB of 480 x 270 frames
  fs::path xml = mended;
  xml.replace_extension(".xml");
  EXPECT_EQ(XmlFrames(xml), static_cast<int>(avi.total_frames));
  EXPECT_NE(r.err.find("was mended into the clip " + mended.string()), std::string::npos) << r.err;
  // The mended file plays to its end.
  Outcome play = RunIn(dir_, {"/usr/bin/gst-launch-1.0", "-q", "filesrc",
                              "location=" + mended.string(), "!", "avidemux", "!", "fakesink"});
  EXPECT_EQ(play.status, 0) << play.err;
}

// A disk that fills up during a clip: the clip keeps what was written, the message says the
// disk is full, and no broken recording is left.
TEST_F(Engine, DiskFullDuringAClipKeepsWhatWasWritten) {
  const fs::path video = Simulate(480, 270, 12, 5);
  test::SmallDisk disk(dir_ / "disk", 4096);
  if (!disk.valid()) GTEST_SKIP() << "cannot mount a small file system here";
  const fs::path clips = disk.path();
  const fs::path settings = Settings({"AP.limit_MB=0", "AP.limit_stop=0"});
  const auto t0 = std::chrono::steady_clock::now();
  Outcome r = RunIn(dir_, {kTool, "detect", "--source", video.string(), "--out", clips.string(),
                           "--start", "2024-01-02T02:10:00", "--settings", settings.string()});
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(8)) << "a stall";
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("is full"), std::string::npos) << r.err;
  EXPECT_TRUE(FilesNamed(clips, std::regex("T.*")).empty());
  EXPECT_TRUE(FilesNamed(clips, std::regex(".*\\.part")).empty());
  const std::vector<fs::path> kept = FilesNamed(clips, std::regex("M.*\\.avi"));
  ASSERT_EQ(kept.size(), 1u) << r.err;
  const AviFacts avi = ReadAvi(kept[0]);
  EXPECT_TRUE(avi.has_index);
  EXPECT_GT(avi.total_frames, 5u);
  fs::path xml = kept[0];
  xml.replace_extension(".xml");
  if (fs::exists(xml)) {
    EXPECT_EQ(XmlFrames(xml), static_cast<int>(avi.total_frames));
  }
  for (const fs::path& product : FilesNamed(clips, std::regex(".*")))
    EXPECT_GT(fs::file_size(product), 0u) << product;
}

// A batch run ended by a signal says so in its exit status, after a clean end.
TEST_F(Engine, InterruptedDetectExitsWithTheSignal) {
  const fs::path video = Simulate(960, 540, 60, 5);
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    fs::remove_all(dir_ / "clips");
    fs::remove(dir_ / "stdout.txt");
    pid_t pid = Start(dir_, {kTool, "detect", "--source", video.string(), "--out",
                             (dir_ / "clips").string(), "--start", "2024-01-02T02:10:00"});
    // Stopped once its first clip is out, well before the file's end.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadFile(dir_ / "stdout.txt").find("clip ") == std::string::npos &&
           std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ::kill(pid, signal);
    Outcome r = Finish(dir_, pid);
    EXPECT_EQ(r.status, 128 + signal) << r.err;
    for (const fs::path& t : FilesNamed(dir_ / "clips", std::regex("T.*\\.avi")))
      ADD_FAILURE() << t << " " << fs::file_size(t) << "\n" << r.out << r.err;
    for (const Clip& c : ClipLines(r.out))
      EXPECT_EQ(ReadAvi(c.path).total_frames, static_cast<uint32_t>(c.frames)) << c.path;
  }
}

// A source that blocks in opening (here a FIFO nobody writes to) cannot hold the station
// past a stop.
TEST_F(Engine, SourceThatNeverOpensDoesNotHoldOffSigterm) {
  const fs::path fifo = dir_ / "camera.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path clips = dir_ / "clips";
  fs::create_directories(clips);
  const fs::path settings =
      Settings({"IF.cx=480", "IF.cy=270", "IF.fps=25", "IF.filterinmode=1", "IF.rtspinmode=0",
                "AP.dv_v_s_filter=filesrc", "AP.infname=" + fifo.string(),
                "AP.db_dir=" + clips.string(), "AP.db_ymddir=0", "AP.limit_MB=10"});
  pid_t pid = Start(dir_, {kStation, "--headless", settings.string()});
  std::this_thread::sleep_for(std::chrono::seconds(2));
  ASSERT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "the station ended by itself";
  const auto signalled = std::chrono::steady_clock::now();
  ::kill(pid, SIGTERM);
  int status = 0;
  pid_t ended = 0;
  while ((ended = ::waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() - signalled < std::chrono::seconds(15))
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto took = std::chrono::steady_clock::now() - signalled;
  if (ended == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    FAIL() << "still running 15 s after SIGTERM";
  }
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_NE(ReadFile(dir_ / "stderr.txt").find("does not answer"), std::string::npos);
}

// "HH" and "MM" of local time shifted by `minutes`.
std::pair<std::string, std::string> LocalHourMinute(int minutes) {
  std::time_t t = std::time(nullptr) + minutes * 60;
  std::tm local{};
  localtime_r(&t, &local);
  return {std::to_string(local.tm_hour), std::to_string(local.tm_min)};
}

TEST_F(Engine, DetectionWindowOpenAtStartStartsDetection) {
  const fs::path video = Simulate(480, 270, 8, 5);
  const fs::path clips = dir_ / "clips";
  fs::create_directories(clips);
  auto [h1, m1] = LocalHourMinute(-3);
  auto [h2, m2] = LocalHourMinute(30);
  const fs::path settings = Settings(
      {"IF.cx=480", "IF.cy=270", "IF.fps=25", "IF.sm_on=0", "IF.filterinmode=1", "IF.rtspinmode=0",
       "AP.dv_v_s_filter=filesrc", "AP.infname=" + video.string(), "AP.db_dir=" + clips.string(),
       "AP.db_ymddir=0", "AP.limit_MB=10", "AP.md_autorun=1", "AP.sunset=0", "AP.sd[0].on=1",
       "AP.sd[0].h1=" + h1, "AP.sd[0].m1=" + m1, "AP.sd[0].h2=" + h2, "AP.sd[0].m2=" + m2});
  pid_t pid = Start(dir_, {kStation, "--headless", settings.string()});
  bool recorded = false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!recorded && std::chrono::steady_clock::now() < until) {
    recorded = !FilesNamed(clips, std::regex("M.*\\.xml")).empty();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // Under the schedule the station keeps running after the file has ended.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0);
  ::kill(pid, SIGTERM);
  Outcome r = Finish(dir_, pid);
  EXPECT_TRUE(recorded) << r.err;
  EXPECT_EQ(r.status, 0);
}

#ifdef ORVANTA_HAVE_RTSP_SERVER
class RtspEngine : public Engine {
 protected:
  // The camera sends a simulated sky with a meteor five seconds in.
  std::string SkySource() {
    const fs::path video = Simulate(480, 270, 12, 5);
    return "filesrc location=" + video.string() + " ! avidemux";
  }
  fs::path CameraSettings(const std::string& address, const std::string& user,
                          const std::string& password, bool continuous) {
    fs::create_directories(dir_ / "clips");
    return Settings({"IF.cx=480", "IF.cy=270", "IF.fps=25", "IF.sm_on=0", "IF.filterinmode=1",
                     "IF.rtspinmode=1",
                     continuous ? "IF.continuousdetection=1" : "IF.continuousdetection=0",
                     "AP.dv_v_s_filter=rtspsrc", "AP.rtsp_ip=" + address, "AP.rtsp_uname=" + user,
                     "AP.rtsp_pword=" + password, "AP.db_dir=" + (dir_ / "clips").string(),
                     "AP.db_ymddir=0", "AP.limit_MB=10"});
  }
  // Runs the station on the camera until the meteor's clip record appears.
  bool StationRecordsAClip(const fs::path& settings, Outcome* run) {
    pid_t pid = Start(dir_, {kStation, "--headless", settings.string()});
    bool seen = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!seen && std::chrono::steady_clock::now() < until) {
      seen = !FilesNamed(dir_ / "clips", std::regex("M.*\\.xml")).empty();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // The station goes on after the clip (a camera without continuous detection is
    // reopened after every clip, which must not end the run).
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0);
    ::kill(pid, SIGTERM);
    *run = Finish(dir_, pid);
    for (const fs::path& m : FilesNamed(dir_ / "clips", std::regex("M.*\\.avi"))) {
      fs::path xml = m;
      xml.replace_extension(".xml");
      EXPECT_EQ(static_cast<int>(ReadAvi(m).total_frames), XmlFrames(xml));
    }
    return seen;
  }
};

TEST_F(RtspEngine, CameraWithoutPasswordReopenedAfterEachClip) {
  test::RtspTestServer camera("", "", SkySource(), 480, 270);
  Outcome r;
  EXPECT_TRUE(StationRecordsAClip(CameraSettings(camera.address(), "", "", false), &r));
  EXPECT_EQ(r.status, 0);
}

TEST_F(RtspEngine, CameraWithPasswordRunningContinuously) {
  test::RtspTestServer camera("watcher", "s3cret@cam", SkySource(), 480, 270);
  Outcome r;
  EXPECT_TRUE(
      StationRecordsAClip(CameraSettings(camera.address(), "watcher", "s3cret@cam", true), &r));
  EXPECT_EQ(r.status, 0);
}

// A camera that loses power for 20 s in the night: the station notices, reports it once,
// keeps trying, and records the next meteor once the camera is back, without a person.
TEST_F(RtspEngine, CameraKilledAndRestartedIsResumed) {
  const fs::path video = Simulate(480, 270, 60, 5);
  const std::string source = "filesrc location=" + video.string() + " ! avidemux";
  const int port = 20000 + ::getpid() % 20000;
  auto start_camera = [&] {
    return Start(dir_ / "cam",
                 {ORVANTA_RTSP_CAMERA_PATH, std::to_string(port), "480", "270", source});
  };
  fs::create_directories(dir_ / "cam");
  pid_t camera = start_camera();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const fs::path settings =
      CameraSettings("127.0.0.1:" + std::to_string(port) + "/cam", "", "", true);
  const fs::path clips = dir_ / "clips";
  pid_t station = 0;
  auto wait_for_clips = [&](size_t count, int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (FilesNamed(clips, std::regex("M.*\\.xml")).size() < count &&
           std::chrono::steady_clock::now() < until && ::waitpid(station, nullptr, WNOHANG) == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return FilesNamed(clips, std::regex("M.*\\.xml")).size();
  };
  // On a busy machine the test camera may still be preparing its stream and refuse the
  // first connection, which ends a station that never had a picture: it is started again.
  size_t before = 0;
  for (int attempt = 0; attempt < 3 && before == 0; ++attempt) {
    station = Start(dir_, {kStation, "--headless", settings.string()});
    before = wait_for_clips(1, 30);
  }
  ASSERT_GE(before, 1u) << ReadFile(dir_ / "stderr.txt");
  ::kill(camera, SIGKILL);
  ::waitpid(camera, nullptr, 0);
  std::this_thread::sleep_for(std::chrono::seconds(20));
  EXPECT_EQ(::waitpid(station, nullptr, WNOHANG), 0) << "the station gave up";
  const size_t during = FilesNamed(clips, std::regex("M.*\\.xml")).size();
  camera = start_camera();
  // The camera starts its sky again: a meteor comes 5 s in.
  const size_t after = wait_for_clips(during + 1, 60);
  ::kill(station, SIGTERM);
  Outcome r = Finish(dir_, station);
  ::kill(camera, SIGKILL);
  ::waitpid(camera, nullptr, 0);
  EXPECT_GT(after, during) << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  auto count = [&](const std::string& text) {
    size_t n = 0;
    for (size_t at = r.err.find(text); at != std::string::npos; at = r.err.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("has stopped sending pictures"), 1u) << r.err;
  EXPECT_EQ(count("sends pictures again"), 1u) << r.err;
  EXPECT_TRUE(FilesNamed(clips, std::regex("T.*")).empty());
  for (const fs::path& m : FilesNamed(clips, std::regex("M.*\\.avi"))) {
    fs::path xml = m;
    xml.replace_extension(".xml");
    EXPECT_TRUE(ReadAvi(m).has_index) << m;
    EXPECT_EQ(static_cast<int>(ReadAvi(m).total_frames), XmlFrames(xml)) << m;
  }
}

TEST_F(RtspEngine, WrongPasswordIsReportedWithoutThePassword) {
  test::RtspTestServer camera("watcher", "s3cret@cam");
  const fs::path settings = CameraSettings(camera.address(), "watcher", "guessed-pw", true);
  pid_t pid = Start(dir_, {kStation, "--headless", settings.string()});
  Outcome r = Finish(dir_, pid);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Could not Load " + camera.address() + " (Check name,ip,id, PW...)"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("guessed-pw"), std::string::npos);
  EXPECT_NE(ReadFile(dir_ / "DxErrLog.txt").find("error at 1004 "), std::string::npos);
}
#endif

}  // namespace
}  // namespace orvanta

#ifdef ORVANTA_HAVE_RTSP_SERVER
int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
#endif
