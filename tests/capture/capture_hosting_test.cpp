// Hosting a detection filter of another version: the block is handed over first, then the
// version is checked and the filter refused; the failed build releases everything.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/live_graph.h"
#include "tests/capture/fake_camera.h"

namespace {

// An element answering the attach call like a filter of an older build.
struct OldFilter {
  GstElement parent;
};
struct OldFilterClass {
  GstElementClass parent_class;
};
GType old_filter_get_type();
G_DEFINE_TYPE(OldFilter, old_filter, GST_TYPE_ELEMENT)

gpointer attached_block = nullptr;

gint old_filter_attach(OldFilter*, gpointer block, gpointer version, gpointer reserved) {
  attached_block = block;
  *static_cast<gint*>(version) = 472;
  *static_cast<gint*>(reserved) = 0;
  return 0;
}

void old_filter_class_init(OldFilterClass* klass) {
  gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "Old detector", "Filter/Video",
                                        "A detection filter of another version", "test");
  g_signal_new_class_handler("attach-block", G_TYPE_FROM_CLASS(klass),
                             static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION),
                             G_CALLBACK(old_filter_attach), nullptr, nullptr, nullptr, G_TYPE_INT,
                             3, G_TYPE_POINTER, G_TYPE_POINTER, G_TYPE_POINTER);
}
void old_filter_init(OldFilter*) {}

TEST(Hosting, FilterOfAnotherVersionIsAttachedThenRefused) {
  ASSERT_TRUE(gst_element_register(nullptr, "orvantadetect", GST_RANK_NONE, old_filter_get_type()));
  orvanta::test::RegisterFakeCameras();
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("orvanta_hosting_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::vector<std::string> messages;
  orvanta::MessageHandler previous = orvanta::SetMessageHandler({[&](const std::string& text) {
                                                                   messages.push_back(text);
                                                                   return 1;
                                                                 },
                                                                 [](const std::string&) {}});

  orvanta::AppContext app;
  orvanta::SetDefaults(app);
  app.state.startupDir = dir.string();
  app.ib.cx = 320;
  app.ib.cy = 240;
  app.ib.fps = 25;
  app.ib.filterinmode = 0;
  orvanta::SetField(app.ap.dv_video_device, u"");
  orvanta::SetField(app.ap.dv_audio_device, u"--");
  orvanta::SetField(app.ap.db_dir, orvanta::Utf8ToUtf16(dir.string()));
  orvanta::capture::CaptureState state;
  orvanta::capture::CaptureHooks hooks;
  int stops = 0;
  hooks.stop_action = [&] { ++stops; };
  orvanta::capture::LiveGraph graph(app, state, hooks);

  EXPECT_FALSE(graph.BuildLiveGraph());
  EXPECT_EQ(attached_block, static_cast<gpointer>(&app.ib));
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0],
            "UM020: ZAVIPF version invalid. Please remove any older libzavipf.so on "
            "GST_PLUGIN_PATH or in the start-up directory, or reinstall the package");
  EXPECT_GE(stops, 1);
  EXPECT_FALSE(graph.exists());
  EXPECT_EQ(app.ib.frames[0], nullptr);  // the ring was freed with the graph
  EXPECT_EQ(app.ib.mask_base, nullptr);
  EXPECT_NE(app.state.graph_error, 0);
  EXPECT_TRUE(fs::exists(dir / "DxErrLog.txt"));
  orvanta::SetMessageHandler(previous);
  fs::remove_all(dir);
}

}  // namespace
