// The live thread in-process over a real file source and the detection filter plugin:
// commands that arrive out of turn (a second start, an end of clip after the stop) change
// nothing.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <regex>
#include <thread>
#include <vector>

#include "app/app_params.h"
#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/live_commands.h"
#include "capture/live_controller.h"
#include "capture/live_thread.h"

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
  app_.ib.end_status = 1;
  app_.ib.trig_kind = 1;
  app_.ib.trig_sec = 1704161410;
  thread.PostClipEnd();
  thread.Post(kShutdown);
  thread.Wait();
  EXPECT_TRUE(fs::is_empty(clips));
  EXPECT_TRUE(state.rec_file.empty());
  EXPECT_EQ(state.live_done, 1);
  std::lock_guard lock(mu_);
  EXPECT_TRUE(messages_.empty()) << messages_.front();
}

}  // namespace
}  // namespace orvanta::capture

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
