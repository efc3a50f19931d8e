// The live thread in-process over a real file source and the detection filter plugin:
// commands that arrive out of turn (a second start, an end of clip after the stop) change
// nothing.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <regex>
#include <thread>
#include <vector>

#include "app/app_params.h"
#include "app/clip_kinds.h"
#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/device_catalogue.h"
#include "capture/live_commands.h"
#include "capture/live_controller.h"
#include "capture/live_thread.h"
#include "tests/capture/fake_camera.h"

namespace orvanta::capture {
namespace {

namespace fs = std::filesystem;

int CountFiles(const fs::path& dir, const std::regex& name) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir))
    if (std::regex_match(e.path().filename().string(), name)) ++n;
  return n;
}

template <typename Pred>
bool WaitFor(Pred pred, int ms = 5000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class LiveThreadTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvanta_live_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "clips");
    video_ = dir_ / "ball.avi";
    const std::string launch =
        "videotestsrc num-buffers=250 pattern=ball ! video/x-raw,format=YUY2,width=160,"
        "height=120,framerate=25/1 ! avimux ! filesink location=" +
        video_.string();
    GstElement* p = gst_parse_launch(launch.c_str(), nullptr);
    ASSERT_TRUE(p);
    gst_element_set_state(p, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(p);
    gst_message_unref(gst_bus_timed_pop_filtered(
        bus, 10 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_object_unref(bus);
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);

    SetDefaults(app_);
    app_.state.startupDir = dir_.string();
    app_.ib.cx = 160;
    app_.ib.cy = 120;
    app_.ib.fps = 25;
    app_.ib.filterinmode = 1;
    app_.ib.rtspinmode = 0;
    SetField(app_.ap.dv_v_s_filter, u"filesrc");
    SetField(app_.ap.dv_audio_device, u"--");
    SetField(app_.ap.infname, Utf8ToUtf16(video_.string()));
    SetField(app_.ap.db_dir, Utf8ToUtf16((dir_ / "clips").string()));
    app_.ap.db_ymddir = 0;
    app_.ap.limit_MB = 10;
    previous_ = SetMessageHandler({[this](const std::string& text) {
                                     std::lock_guard lock(mu_);
                                     messages_.push_back(text);
                                     return 1;
                                   },
                                   [](const std::string&) {}});
  }
  void TearDown() override {
    SetMessageHandler(previous_);
    fs::remove_all(dir_);
  }

  AppContext app_;
  fs::path dir_;
  fs::path video_;
  MessageHandler previous_;
  std::mutex mu_;
  std::vector<std::string> messages_;
};

TEST_F(LiveThreadTest, SecondStartAndLateClipEndChangeNothing) {
  CaptureState state;
  CaptureHooks hooks;
  CLiveThread* live = nullptr;
  LivePageHooks page_hooks;
  page_hooks.post = [&live](int command) { live->Post(command); };
  LiveController page(app_.ib, page_hooks);
  CLiveThread thread(app_, state, hooks, page);
  live = &thread;
  thread.Start();
  const fs::path clips = dir_ / "clips";
  const std::regex temp("T.*\\.avi");

  page.Detect();
  ASSERT_TRUE(WaitFor([&] { return CountFiles(clips, temp) == 1; }));
  // A second start finds the graph and does nothing: no second recording file.
  thread.Post(kStartGraph);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(CountFiles(clips, temp), 1);

  // Stop without a clip: the empty recording file goes.
  page.Stop();
  ASSERT_TRUE(WaitFor([&] { return CountFiles(clips, temp) == 0; }));
  // An end of clip that arrives after the stop finds no graph and makes nothing.
  app_.ib.end_status = kClipFinished;
  app_.ib.trig_kind = kTriggerVideo;
  app_.ib.trig_sec = 1704161410;
  thread.PostClipEnd(FinishedClipFrom(nullptr, app_.ib));
  thread.Post(kShutdown);
  thread.Wait();
  EXPECT_TRUE(fs::is_empty(clips));
  EXPECT_TRUE(state.rec_file.empty());
  EXPECT_EQ(state.live_done, 1);
  std::lock_guard lock(mu_);
  EXPECT_TRUE(messages_.empty()) << messages_.front();
}

// A clip that ended just before a stop: the stop finished its file and kept it, and the
// ClipEnd that comes after still turns it into the clip's video and record.
TEST_F(LiveThreadTest, ClipEndAfterAStopStillFinishesTheClipsFile) {
  const fs::path clips = dir_ / "clips";
  fs::create_directories(clips);
  CaptureState state;
  state.rec_file = (clips / "T20240102_021009_.avi").string();
  std::ofstream(state.rec_file) << "a finished clip";
  CaptureHooks hooks;
  LivePageHooks page_hooks;
  LiveController page(app_.ib, page_hooks);
  CLiveThread thread(app_, state, hooks, page);
  thread.Start();
  app_.ib.end_status = 1;
  app_.ib.trig_kind = 1;
  app_.ib.trig_sec = 1704161410;
  app_.ib.im_map = app_.ib.im_peak = app_.ib.im_snap = 0;
  thread.PostClipEnd(FinishedClipFrom(nullptr, app_.ib));
  thread.Post(kShutdown);
  thread.Wait();
  EXPECT_EQ(CountFiles(clips, std::regex("T.*")), 0);
  EXPECT_EQ(CountFiles(clips, std::regex("M.*\\.avi")), 1);
  EXPECT_EQ(CountFiles(clips, std::regex("M.*\\.xml")), 1);
  EXPECT_TRUE(state.rec_file.empty());
}

std::string ReadAll(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

TEST_F(LiveThreadTest, CameraWithMicrophoneRecordsAForcedClip) {
  test::RegisterFakeCameras();
  std::vector<std::string> microphones;
  std::string wanted = "-";
  int counter = 1;
  FindFilterByName(DeviceCategory::AudioInput, &microphones, &wanted, nullptr, &counter);
  std::string microphone;
  for (const auto& m : microphones)
    if (m.ends_with(test::kFakeMicrophoneName)) microphone = m;
  ASSERT_FALSE(microphone.empty());
  app_.ib.filterinmode = 0;
  app_.ib.cx = 320;
  app_.ib.cy = 240;
  app_.ib.sm_on = 0;  // a warm-up of one second
  app_.ib.so_on = 0;  // the test picture's noise must not end the clip as a slow object
  SetField(app_.ap.dv_video_device, u"");  // the first camera
  SetField(app_.ap.dv_audio_device, Utf8ToUtf16(microphone));

  CaptureState state;
  CaptureHooks hooks;
  CLiveThread* live = nullptr;
  LivePageHooks page_hooks;
  page_hooks.post = [&live](int command) { live->Post(command); };
  LiveController page(app_.ib, page_hooks);
  CLiveThread thread(app_, state, hooks, page);
  live = &thread;
  thread.Start();
  const fs::path clips = dir_ / "clips";

  page.Preview();
  ASSERT_TRUE(WaitFor([&] { return CountFiles(clips, std::regex("T.*\\.avi")) == 1; }));
  // Once the ring holds the head frames, recording by hand for a second, then the tail.
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  page.ToggleRec();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  page.ToggleRec();
  const std::regex record("M.*\\+\\.xml");  // '+': recorded by hand
  EXPECT_TRUE(WaitFor([&] { return CountFiles(clips, record) == 1; }, 10000)) << [&] {
    std::string names;
    for (const auto& e : fs::directory_iterator(clips)) names += e.path().filename().string() + " ";
    return names;
  }();
  page.Stop();
  thread.Post(kShutdown);
  thread.Wait();
  EXPECT_EQ(FieldText(app_.ap.dv_video_device), u"1:" + Utf8ToUtf16(test::kFakeCameraName));
  for (const auto& e : fs::directory_iterator(clips)) {
    const std::string name = e.path().filename().string();
    if (!name.ends_with(".avi")) continue;
    const std::string avi = ReadAll(e.path());
    uint32_t frames = 0;
    std::memcpy(&frames, avi.data() + 48, 4);
    EXPECT_GT(frames, 20u);
    EXPECT_NE(avi.find("auds"), std::string::npos) << "no sound stream in " << name;
    const std::string xml =
        ReadAll(e.path().string().substr(0, e.path().string().size() - 4) + ".xml");
    EXPECT_NE(xml.find("frames=\"" + std::to_string(frames) + "\""), std::string::npos);
    EXPECT_NE(xml.find("trig=\"4\""), std::string::npos) << xml.substr(0, 400);
  }
  std::lock_guard lock(mu_);
  for (const auto& m : messages_) ADD_FAILURE() << m;
}

TEST_F(LiveThreadTest, FileSoundTakenFromTheVideoSourceIsRecorded) {
  const fs::path movie = dir_ / "with_sound.avi";
  const std::string launch =
      "videotestsrc num-buffers=375 pattern=ball ! video/x-raw,format=YUY2,width=160,height=120,"
      "framerate=25/1 ! mux. audiotestsrc num-buffers=375 samplesperbuffer=1920 ! "
      "audio/x-raw,format=S16LE,rate=48000,channels=1 ! mux. avimux name=mux ! filesink "
      "location=" +
      movie.string();
  GstElement* p = gst_parse_launch(launch.c_str(), nullptr);
  ASSERT_TRUE(p);
  gst_element_set_state(p, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(p);
  gst_message_unref(gst_bus_timed_pop_filtered(
      bus, 10 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
  gst_object_unref(bus);
  gst_element_set_state(p, GST_STATE_NULL);
  gst_object_unref(p);
  SetField(app_.ap.infname, Utf8ToUtf16(movie.string()));
  SetField(app_.ap.dv_audio_device, u"= Video_source");
  app_.ib.sm_on = 0;
  app_.ib.so_on = 0;

  CaptureState state;
  CaptureHooks hooks;
  CLiveThread* live = nullptr;
  LivePageHooks page_hooks;
  page_hooks.post = [&live](int command) { live->Post(command); };
  LiveController page(app_.ib, page_hooks);
  CLiveThread thread(app_, state, hooks, page);
  live = &thread;
  thread.Start();
  const fs::path clips = dir_ / "clips";
  page.Preview();
  ASSERT_TRUE(WaitFor([&] { return CountFiles(clips, std::regex("T.*\\.avi")) == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  // Two clips: the recording branch, sound included, is rebuilt between them.
  for (int clip = 1; clip <= 2; ++clip) {
    page.ToggleRec();
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    page.ToggleRec();
    EXPECT_TRUE(
        WaitFor([&] { return CountFiles(clips, std::regex("M.*\\+\\.xml")) == clip; }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  }
  page.Stop();
  thread.Post(kShutdown);
  thread.Wait();
  int videos = 0;
  for (const auto& e : fs::directory_iterator(clips)) {
    if (e.path().extension() != ".avi") continue;
    ++videos;
    EXPECT_NE(ReadAll(e.path()).find("auds"), std::string::npos);
  }
  EXPECT_EQ(videos, 2);
  std::lock_guard lock(mu_);
  for (const auto& m : messages_) ADD_FAILURE() << m;
}

TEST_F(LiveThreadTest, FileEndingWhileAClipIsFinishedStillEndsTheGraph) {
  app_.ib.sm_on = 0;
  app_.ib.so_on = 0;
  CaptureState state;
  CaptureHooks hooks;
  std::atomic<bool> ended{false};
  // The end-of-clip sequence outlasts the file: its end passes while no branch is there.
  hooks.clip_finished = [](const std::string&, const FinishedClip&) {
    std::this_thread::sleep_for(std::chrono::seconds(9));
  };
  hooks.graph_notify = [&ended] { ended = true; };
  CLiveThread* live = nullptr;
  LivePageHooks page_hooks;
  page_hooks.post = [&live](int command) { live->Post(command); };
  LiveController page(app_.ib, page_hooks);
  CLiveThread thread(app_, state, hooks, page);
  live = &thread;
  thread.Start();
  const fs::path clips = dir_ / "clips";
  page.Preview();
  ASSERT_TRUE(WaitFor([&] { return CountFiles(clips, std::regex("T.*\\.avi")) == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  page.ToggleRec();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  page.ToggleRec();
  // The ten-second file ends during the pause; the graph must still report its end (not
  // an error): the Stop action follows and no message is shown.
  EXPECT_TRUE(WaitFor([&] { return ended.load(); }, 15000));
  thread.HandleGraphEvents();
  EXPECT_EQ(page.live_state(), kIdle);
  {
    std::lock_guard lock(mu_);
    for (const auto& m : messages_) ADD_FAILURE() << m;
  }
  thread.Post(kShutdown);
  thread.Wait();
  EXPECT_EQ(CountFiles(clips, std::regex("T.*\\.avi")), 0);
}

TEST_F(LiveThreadTest, CompressorRecordsThroughTheChosenEncoder) {
  CodecList codecs = FillCodecList(kUncompressedEntry);
  std::string x264;
  for (const auto& entry : codecs.entries)
    if (entry.ends_with(":x264enc")) x264 = entry;
  if (x264.empty()) GTEST_SKIP() << "no H.264 encoder";
  SetField(app_.ap.dv_out_codec, Utf8ToUtf16(x264));
  app_.ib.sm_on = 0;
  app_.ib.so_on = 0;

  CaptureState state;
  CaptureHooks hooks;
  CLiveThread* live = nullptr;
  LivePageHooks page_hooks;
  page_hooks.post = [&live](int command) { live->Post(command); };
  LiveController page(app_.ib, page_hooks);
  CLiveThread thread(app_, state, hooks, page);
  live = &thread;
  thread.Start();
  const fs::path clips = dir_ / "clips";
  page.Preview();
  ASSERT_TRUE(WaitFor([&] { return CountFiles(clips, std::regex("T.*\\.avi")) == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  page.ToggleRec();
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  page.ToggleRec();
  EXPECT_TRUE(WaitFor([&] { return CountFiles(clips, std::regex("M.*\\+\\.xml")) == 1; }, 10000));
  EXPECT_EQ(state.rec_mode, 3);
  page.Stop();
  thread.Post(kShutdown);
  thread.Wait();
  for (const auto& e : fs::directory_iterator(clips)) {
    if (e.path().extension() != ".avi") continue;
    const std::string avi = ReadAll(e.path());
    const size_t strf = avi.find("strf");
    ASSERT_NE(strf, std::string::npos);
    EXPECT_EQ(avi.substr(strf + 24, 4), "H264");
    uint32_t frames = 0;
    std::memcpy(&frames, avi.data() + 48, 4);
    EXPECT_GT(frames, 20u);
  }
}

}  // namespace
}  // namespace orvanta::capture

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
