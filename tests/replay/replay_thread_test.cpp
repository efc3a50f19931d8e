// The replay thread and `zavip-tool frame` over clips the station wrote: frames and fields
// land where the steps say, the picture is the clip's own frame, and bad clips leave the
// thread ready for the next one.
#include "replay/replay_thread.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QImage>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/messages.h"
#include "tests/replay/station_clips.h"

namespace fs = std::filesystem;

namespace orvanta::replay {
namespace {

using testing::DecodeAll;
using testing::Frames;
using testing::NearestFrame;
using testing::StationClips;
using testing::Upright;

// The window's side of event 1215: it hands the graph's events back to the replay thread.
class Window : public QObject {
 public:
  CReplayThread* thread = nullptr;
  int graph_events = 0;

 protected:
  void customEvent(QEvent* event) override {
    if (event->type() != static_cast<QEvent::Type>(kReplayGraphEvent)) return;
    ++graph_events;
    thread->HandleGraphEvents();
  }
};

// A replay thread as the replay page drives it: each command posted, then waited for.
class Replayer {
 public:
  explicit Replayer(int deinterace = 0, int bbf = 0, Window* window = nullptr)
      : app_(std::make_unique<AppContext>()) {
    SetDefaults(app_->ap, app_->ib, app_->rib);
    app_->state.startupDir = ZAVIPRF_DIR;  // the plugin file is found there
    app_->rib.deinterace = deinterace;
    app_->ap.bbf = bbf;
    ReplayHooks hooks;
    hooks.command_done = [this](int) {
      std::lock_guard lock(mu_);
      ++done_;
      cv_.notify_all();
    };
    hooks.set_play_text = [this](const char* text) {
      std::lock_guard lock(mu_);
      play_text_ = text;
      cv_.notify_all();
    };
    thread_ = std::make_unique<CReplayThread>(*app_, hooks, window);
    if (window) window->thread = thread_.get();
    thread_->Start();
  }
  ~Replayer() {
    thread_->Post(kShutdown);
    thread_->Wait();
  }

  void Open(const std::string& clip) { thread_->SetReplayFile(clip); }
  void Do(int command, int64_t value = 0) {
    std::unique_lock lock(mu_);
    const int target = done_ + 1;
    thread_->Post(command, value);
    ASSERT_TRUE(cv_.wait_for(lock, std::chrono::seconds(60), [&] { return done_ >= target; }))
        << "command " << command;
  }
  // The window's events are taken meanwhile, as the window's own loop would.
  bool WaitPlayText(const std::string& text) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::unique_lock lock(mu_);
    while (play_text_ != text && std::chrono::steady_clock::now() < limit) {
      lock.unlock();
      QCoreApplication::processEvents();
      lock.lock();
      cv_.wait_for(lock, std::chrono::milliseconds(10));
    }
    return play_text_ == text;
  }

  int state() const { return thread_->replay_state(); }
  ReplayBlock& rb() { return app_->rib; }
  // The number of the frame on show; -1 when none.
  int frame() const {
    const int64_t t = thread_->engine().shown_frame();
    return t < 0 ? -1 : static_cast<int>((t + app_->rib.frame_time / 2) / app_->rib.frame_time);
  }
  bool has_sound() { return thread_->engine().has_sound(); }
  std::vector<uint8_t> picture() {
    return Upright(app_->rib.replay_snapshot, app_->rib.clip_width, app_->rib.clip_height);
  }

 private:
  std::unique_ptr<AppContext> app_;
  std::unique_ptr<CReplayThread> thread_;
  std::mutex mu_;
  std::condition_variable cv_;
  int done_ = 0;
  std::string play_text_;
};

class ReplayThreadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    clips_ = new StationClips(testing::MakeStationClips(
        fs::temp_directory_path() / ("orvanta_replay_" + std::to_string(::getpid()))));
  }
  static void TearDownTestSuite() {
    fs::remove_all(clips_->dir);
    delete clips_;
  }
  void SetUp() override {
    ASSERT_FALSE(clips_->raw_yuy2.empty() || clips_->nv12_as_yuy2.empty()) << clips_->error;
    SetMessageHandler({[this](const std::string& text) {
                         std::lock_guard lock(mu_);
                         messages_.push_back(text);
                         return 1;
                       },
                       [](const std::string& text) { ADD_FAILURE() << "fatal: " << text; }});
  }
  std::vector<std::string> TakeMessages() {
    std::lock_guard lock(mu_);
    return std::exchange(messages_, {});
  }
  static std::vector<std::string> AllClips() {
    std::vector<std::string> all = {clips_->raw_yuy2, clips_->nv12_as_yuy2};
    if (!clips_->h264.empty()) all.push_back(clips_->h264);
    return all;
  }

  static StationClips* clips_;
  std::mutex mu_;
  std::vector<std::string> messages_;
};
StationClips* ReplayThreadTest::clips_ = nullptr;

TEST_F(ReplayThreadTest, FrameStepsAndSeeksLandOnTheClipsOwnFrames) {
  if (clips_->h264.empty()) ADD_FAILURE() << "no H.264 clip: " << clips_->error;
  for (const std::string& clip : AllClips()) {
    SCOPED_TRACE(clip);
    Replayer r;
    r.Open(clip);
    r.Do(kReplaySeek, 0);
    ASSERT_EQ(r.state(), kPausedAtChosen);
    EXPECT_FALSE(r.has_sound());
    const Frames decoded = DecodeAll(clip, r.rb().bit_count == 12);
    ASSERT_GE(decoded.frames.size(), 10u);
    EXPECT_EQ(r.rb().frame_time, 400000);
    EXPECT_EQ(r.frame(), 0);
    struct Step {
      int command;
      int64_t value;
      int frame;
    };
    const Step steps[] = {
        {kReplayStepForward, 0, 1}, {kReplayStepForward, 0, 2}, {kReplayStepForward, 0, 3},
        {kReplayStepBack, 0, 2},    {kReplaySeek, 280, 7},      {kReplayStepBack, 0, 6},
        {kReplayStepForward, 0, 7}, {kReplaySeek, 0, 0},        {kReplayStepBack, 0, 0}};
    for (const Step& s : steps) {
      r.Do(s.command, s.value);
      ASSERT_EQ(r.state(), kPausedAtChosen);
      EXPECT_EQ(r.frame(), s.frame) << "command " << s.command << " " << s.value;
      // What the picture got is the decoded frame itself.
      EXPECT_EQ(NearestFrame(decoded, r.picture()), s.frame);
    }
  }
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(ReplayThreadTest, FieldStepsShowTheTwoFieldsInTurn) {
  const Frames decoded = DecodeAll(clips_->raw_yuy2);
  Replayer r(/*deinterace=*/1, /*bbf=*/0);
  r.Open(clips_->raw_yuy2);
  r.Do(kReplaySeek, 0);
  ASSERT_EQ(r.state(), kPausedAtChosen);
  EXPECT_EQ(r.rb().field_step, 1);
  EXPECT_EQ(r.rb().field_odd, 0);
  const int w = r.rb().clip_width, h = r.rb().clip_height;
  const size_t row = static_cast<size_t>(w) * 3;
  const int frames[] = {0, 1, 1, 2, 2};
  for (int step = 0; step < 5; ++step) {
    SCOPED_TRACE(step);
    r.Do(kReplayStepForward);
    const int field = r.rb().field_odd;
    EXPECT_EQ(field, step % 2 == 0 ? 1 : 0);
    ASSERT_EQ(r.frame(), frames[step]);
    // The shown field's rows are the frame's own; the others, counted from the bottom line
    // (even from row 2 for field 0, odd from row 3 below the top two for field 1), are the
    // averages of their neighbours.
    const std::vector<uint8_t> shown = r.picture();
    const std::vector<uint8_t>& own = decoded.frames[frames[step]];
    for (int y = 1; y + 1 < h; ++y) {
      const int up = h - 1 - y;
      const bool averaged =
          field == 0 ? (up % 2 == 0 && up >= 2) : (up % 2 == 1 && up >= 3 && up < h - 2);
      for (size_t i = 0; i < row; ++i) {
        const size_t at = row * y + i;
        const int want = averaged ? (own[at - row] + own[at + row]) / 2 : own[at];
        ASSERT_EQ(shown[at], want) << "row from bottom " << up;
      }
    }
  }
}

TEST_F(ReplayThreadTest, PlayRunsToTheEndThenPlaysAgainFromTheStart) {
  Window window;
  Replayer r(0, 0, &window);
  r.Open(clips_->raw_yuy2);
  r.Do(kReplayPause);  // not running: runs
  EXPECT_EQ(r.state(), kRunning);
  r.Do(kReplayPause);
  EXPECT_EQ(r.state(), kPaused);
  r.Do(kReplayPause);
  EXPECT_EQ(r.state(), kRunning);
  ASSERT_TRUE(r.WaitPlayText(">"));
  EXPECT_EQ(r.state(), kStopped);
  EXPECT_GE(window.graph_events, 1);
  // A step from the end starts over at the clip's first frame.
  r.Do(kReplayStepForward);
  EXPECT_EQ(r.frame(), 1);
  r.Do(kReplayPlay);
  EXPECT_EQ(r.state(), kRunning);
  r.Do(kReplayClose);
  EXPECT_EQ(r.state(), kNoGraph);
  EXPECT_EQ(r.rb().replay_snapshot, nullptr);
  EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(ReplayThreadTest, BadClipsGiveAMessageAndLeaveTheThreadReady) {
  const fs::path dir = clips_->dir;
  // Cut short: the header promises frames the file no longer holds.
  const fs::path cut = dir / "cut.avi";
  fs::copy_file(clips_->raw_yuy2, cut, fs::copy_options::overwrite_existing);
  fs::resize_file(cut, fs::file_size(cut) * 6 / 10);
  const fs::path junk = dir / "junk.avi";
  {
    std::ofstream out(junk, std::ios::binary);
    for (int i = 0; i < 100000; ++i) out.put(static_cast<char>(i * 7919 % 251));
  }
  const fs::path text = dir / "notes.avi";
  std::ofstream(text) << "not a clip\n";

  Replayer r;
  // A clip that is gone: no graph and no message.
  r.Open((dir / "gone.avi").string());
  r.Do(kReplayStepForward);
  EXPECT_EQ(r.state(), kNoGraph);
  EXPECT_TRUE(TakeMessages().empty());

  for (const fs::path& bad : {junk, text}) {
    SCOPED_TRACE(bad);
    r.Open(bad.string());
    r.Do(kReplaySeek, 0);
    EXPECT_EQ(r.state(), kNoGraph);
    const std::vector<std::string> messages = TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("UE059: Failed to connect " + bad.string()), std::string::npos)
        << messages[0];
  }

  // The cut clip plays up to its last whole frame; steps past it stay there.
  r.Open(cut.string());
  r.Do(kReplaySeek, 0);
  ASSERT_EQ(r.state(), kPausedAtChosen);
  int last = -1;
  for (int i = 0; i < 200 && r.frame() != last; ++i) {
    last = r.frame();
    r.Do(kReplayStepForward);
  }
  EXPECT_GT(last, 3);
  EXPECT_EQ(r.frame(), last);
  r.Do(kReplayStepBack);
  EXPECT_EQ(r.frame(), last - 1);
  r.Do(kReplayClose);

  // And the next clip plays.
  r.Open(clips_->raw_yuy2);
  r.Do(kReplaySeek, 120);
  EXPECT_EQ(r.state(), kPausedAtChosen);
  EXPECT_EQ(r.frame(), 3);
  TakeMessages();
}

// A clip with sound, as a station with an audio input records it: steps and seeks keep the
// picture on the right frame, and the clip plays to its end.
TEST_F(ReplayThreadTest, AClipWithSoundStepsAndPlays) {
  const fs::path clip = clips_->dir / "sound.avi";
  gchar* desc = g_strdup_printf(
      "avimux name=m ! filesink location=\"%s\"  videotestsrc num-buffers=40 pattern=ball ! "
      "video/x-raw,format=YUY2,width=320,height=240,framerate=25/1 ! m.  audiotestsrc "
      "num-buffers=80 samplesperbuffer=960 ! audio/x-raw,format=S16LE,rate=48000,channels=2 ! m.",
      clip.c_str());
  GstElement* writer = gst_parse_launch(desc, nullptr);
  g_free(desc);
  ASSERT_NE(writer, nullptr);
  gst_element_set_state(writer, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(writer);
  GstMessage* end = gst_bus_timed_pop_filtered(
      bus, 30 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  ASSERT_TRUE(end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS);
  gst_message_unref(end);
  gst_object_unref(bus);
  gst_element_set_state(writer, GST_STATE_NULL);
  gst_object_unref(writer);

  const Frames decoded = DecodeAll(clip.string());
  Replayer r;
  r.Open(clip.string());
  r.Do(kReplaySeek, 400);
  ASSERT_EQ(r.state(), kPausedAtChosen);
  EXPECT_EQ(r.frame(), 10);
  EXPECT_TRUE(r.has_sound());
  for (int step : {kReplayStepForward, kReplayStepForward, kReplayStepBack}) r.Do(step);
  EXPECT_EQ(r.frame(), 11);
  EXPECT_EQ(NearestFrame(decoded, r.picture()), 11);
  r.Do(kReplayPlay);
  EXPECT_EQ(r.state(), kRunning);
  EXPECT_TRUE(r.WaitPlayText(">"));
  EXPECT_TRUE(TakeMessages().empty());
}

// zavip-tool frame writes the frame the engine shows.
TEST_F(ReplayThreadTest, FrameToolWritesTheFrameAndItsFields) {
  const fs::path dir = clips_->dir;
  for (const std::string& clip : AllClips()) {
    SCOPED_TRACE(clip);
    // The encoded clip decodes to 4:2:0, which the replay keeps as NV12.
    const Frames decoded = DecodeAll(clip, clip == clips_->h264);
    const fs::path png = dir / "frame.png";
    std::string out;
    ASSERT_EQ(
        testing::RunTool(dir, {"frame", "--clip", clip, "--at", "6", "--out", png.string()}, &out),
        0)
        << out;
    QImage image(QString::fromStdString(png.string()));
    ASSERT_EQ(image.width(), decoded.width);
    ASSERT_EQ(image.height(), decoded.height);
    image = image.convertToFormat(QImage::Format_BGR888);
    std::vector<uint8_t> picture;
    for (int y = 0; y < image.height(); ++y)
      picture.insert(picture.end(), image.constScanLine(y),
                     image.constScanLine(y) + image.width() * 3);
    EXPECT_EQ(NearestFrame(decoded, picture), 6);
  }
  // The two fields of one frame differ, and each keeps its own rows.
  const Frames decoded = DecodeAll(clips_->raw_yuy2);
  std::vector<QImage> fields;
  for (const char* field : {"even", "odd"}) {
    const fs::path png = dir / (std::string(field) + ".png");
    std::string out;
    ASSERT_EQ(testing::RunTool(dir,
                               {"frame", "--clip", clips_->raw_yuy2, "--at", "6", "--field", field,
                                "--out", png.string()},
                               &out),
              0)
        << out;
    fields.emplace_back(QString::fromStdString(png.string()));
    fields.back() = fields.back().convertToFormat(QImage::Format_BGR888);
  }
  const int h = decoded.height;
  const size_t row = static_cast<size_t>(decoded.width) * 3;
  for (int y = 0; y < h; ++y) {
    const int up = h - 1 - y;
    const QImage& keeps = fields[up % 2 == 0 ? 1 : 0];  // odd keeps even rows and the reverse
    if (up < 2 || y < 2) continue;
    ASSERT_TRUE(std::equal(keeps.constScanLine(y), keeps.constScanLine(y) + row,
                           decoded.frames[6].begin() + row * y))
        << "row from bottom " << up;
  }
  EXPECT_NE(fields[0], fields[1]);
}

TEST_F(ReplayThreadTest, FrameToolRefusesWhatItCannotShow) {
  const fs::path dir = clips_->dir;
  const fs::path junk = dir / "junk2.avi";
  std::ofstream(junk) << "RIFF....AVI nothing";
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{"--clip", clips_->raw_yuy2, "--at", "100000"}, "frame 100000 is past the end of"},
      {{"--clip", junk.string(), "--at", "0"}, "UE059: Failed to connect"},
      {{"--clip", (dir / "gone.avi").string(), "--at", "0"}, "cannot read the clip"},
      {{"--clip", clips_->raw_yuy2, "--at", "-1"}, "--at: not a frame number"},
      {{"--clip", clips_->raw_yuy2, "--at", "0", "--field", "top"}, "--field: even or odd"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"frame"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"--out", (dir / "x.png").string()});
    std::string out;
    EXPECT_EQ(testing::RunTool(dir, args, &out), 1) << out;
    EXPECT_NE(out.find(c.message), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace orvanta::replay

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  gst_init(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
