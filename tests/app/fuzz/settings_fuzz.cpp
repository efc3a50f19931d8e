// libFuzzer target: any bytes as a settings file image, through the whole load and a save
// into memory. Fatal errors that the file format makes fatal (an oversized value) end the
// input, never the process.
//
// Built with ORVANTA_FUZZ_STARTUP (inside the project's own build), each loaded file then
// starts the station as zavip does: the live image sized from the settings, the headless
// station with its live thread, the live graph built (host sizing, block buffers, detection
// filter, recording branch) over a short video file, and stopped as soon as the graph
// stands. The source, the clip folder and anything that would run a command or reach the
// network are pinned; every other value is the file's.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/app_params.h"
#include "app/messages.h"
#include "app/settings_file.h"

#ifdef ORVANTA_FUZZ_STARTUP
#include <gst/gst.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/text_utf.h"
#include "capture/capture_state.h"
#include "capture/live_graph.h"
#include "capture/media/cnv2yu_element.h"
#include "station/headless_station.h"
#endif

namespace {
struct FatalExitCalled {};

#ifdef ORVANTA_FUZZ_STARTUP
struct StartupWorld {
  std::string dir;
  std::string video;
  QCoreApplication* qapp = nullptr;
};

// A scratch folder with a two-second video the station reads as its file source.
StartupWorld& World() {
  static StartupWorld* world = [] {
    auto* w = new StartupWorld;
    w->dir = std::filesystem::temp_directory_path() /
             ("orvanta-startup-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(w->dir + "/clips");
    w->video = w->dir + "/sky.avi";
    gst_init(nullptr, nullptr);
    orvanta::media::RegisterCnv2yu();
    const std::string line =
        "videotestsrc num-buffers=50 pattern=black ! "
        "video/x-raw,format=YUY2,width=64,height=48,framerate=25/1 ! avimux ! filesink "
        "location=" +
        w->video;
    GstElement* pipeline = gst_parse_launch(line.c_str(), nullptr);
    if (!pipeline) std::abort();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_message_unref(gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    static int argc = 1;
    static char name[] = "settings_fuzz";
    static char* argv[] = {name, nullptr};
    w->qapp = new QCoreApplication(argc, argv);
    return w;
  }();
  return *world;
}

void StartStation(orvanta::AppContext& app) {
  using orvanta::SetField;
  const StartupWorld& world = World();
  app.state.startupDir = world.dir;
  orvanta::AppParams& ap = app.ap;
  orvanta::DetectionBlock& ib = app.ib;
  ib.filterinmode = 1;
  ib.rtspinmode = 0;
  SetField(ap.dv_v_s_filter, u"filesrc");
  SetField(ap.dv_v_s_decoder, u"--");
  SetField(ap.dv_audio_device, u"--");
  SetField(ap.infname, orvanta::Utf8ToUtf16(world.video));
  SetField(ap.inputname, orvanta::Utf8ToUtf16(world.video));
  SetField(ap.db_dir, orvanta::Utf8ToUtf16(world.dir + "/clips"));
  ap.action = 0;
  ap.beep = 0;
  ap.ftp_on = 0;
  ap.shutdown = 0;
  ap.moveclips = 0;
  ap.limit_MB = 0;

  orvanta::capture::CaptureState state;
  state.live_image.Resize(ib.cx, ib.cy);
  orvanta::station::HeadlessOptions options;
  options.save_settings = false;
  options.use_schedule = false;
  options.customize = [](orvanta::capture::CaptureHooks& hooks) {
    hooks.realtime_preview = false;
    hooks.make_preview_sink = [] {
      GstElement* sink = gst_element_factory_make("fakesink", nullptr);
      if (sink) g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
      return sink;
    };
  };
  options.graph_built = [](orvanta::capture::LiveGraph&) {
    orvanta::station::RequestHeadlessStop();
  };
  orvanta::station::RunHeadlessStation(app, state, options);
  // The run leaves behind, unprocessed, what its live thread posted to the event loop after
  // the quit; those calls refer to the ended run and must not reach the next one.
  QCoreApplication::removePostedEvents(nullptr);
}
#endif

orvanta::AppContext& Context() {
  static auto* app = [] {
    ::setenv("HOME", "/tmp/orvanta-settings-fuzz", 1);
    orvanta::SetMessageHandler({[](const std::string&) { return 1; }, [](const std::string&) {}});
    orvanta::SetFatalExit([](int) { throw FatalExitCalled{}; });
    return new orvanta::AppContext;
  }();
  return *app;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orvanta::AppContext& app = Context();
  orvanta::SetDefaults(app);
  try {
    app.uty.ReadImage(data, size);
    orvanta::ApplyLoadedImage(app);
    const auto records = orvanta::BuildSaveRecords(app);
    if (orvanta::RecordsFit(records)) {
      app.uty.Rewind();
      for (const auto& r : records) app.uty.PutValue(r.key.c_str(), r.bytes.data(), r.bytes.size());
    }
  } catch (const FatalExitCalled&) {
    return 0;
  }
#ifdef ORVANTA_FUZZ_STARTUP
  StartStation(app);
#endif
  return 0;
}
