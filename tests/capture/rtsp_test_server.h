// A real RTSP camera on 127.0.0.1 for the tests: a small H.264 test picture served by
// gst-rtsp-server from its own main loop thread, optionally behind basic authentication.
#pragma once

#include <gst/rtsp-server/rtsp-server.h>

#include <string>
#include <thread>

namespace orvanta::test {

class RtspTestServer {
 public:
  // `user` empty: no authentication. `source` is the raw video the camera sends (a
  // moving test picture by default). `port` 0 takes a free one.
  RtspTestServer(const std::string& user, const std::string& password,
                 const std::string& source = "videotestsrc is-live=true pattern=ball",
                 int width = 160, int height = 120, int port = 0) {
    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    server_ = gst_rtsp_server_new();
    gst_rtsp_server_set_address(server_, "127.0.0.1");
    gst_rtsp_server_set_service(server_, std::to_string(port).c_str());
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(server_);
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    const std::string launch =
        "( " + source +
        " ! videoconvert ! videoscale ! video/x-raw,format=I420,width=" + std::to_string(width) +
        ",height=" + std::to_string(height) +
        " ! openh264enc ! h264parse ! rtph264pay name=pay0 pt=96 )";
    gst_rtsp_media_factory_set_launch(factory, launch.c_str());
    gst_rtsp_media_factory_set_shared(factory, TRUE);
    if (!user.empty()) {
      GstRTSPAuth* auth = gst_rtsp_auth_new();
      gchar* basic = gst_rtsp_auth_make_basic(user.c_str(), password.c_str());
      GstRTSPToken* token =
          gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, "user", nullptr);
      gst_rtsp_auth_add_basic(auth, basic, token);
      g_free(basic);
      gst_rtsp_token_unref(token);
      gst_rtsp_server_set_auth(server_, auth);
      g_object_unref(auth);
      gst_rtsp_media_factory_add_role(factory, "user", GST_RTSP_PERM_MEDIA_FACTORY_ACCESS,
                                      G_TYPE_BOOLEAN, TRUE, GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT,
                                      G_TYPE_BOOLEAN, TRUE, nullptr);
    }
    gst_rtsp_mount_points_add_factory(mounts, "/cam", factory);
    g_object_unref(mounts);
    source_id_ = gst_rtsp_server_attach(server_, context_);
    port_ = gst_rtsp_server_get_bound_port(server_);
    thread_ = std::thread([this] { g_main_loop_run(loop_); });
  }
  ~RtspTestServer() {
    g_main_loop_quit(loop_);
    thread_.join();
    GSource* source = g_main_context_find_source_by_id(context_, source_id_);
    if (source) g_source_destroy(source);
    g_object_unref(server_);
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
  }
  // "127.0.0.1:PORT/cam"
  std::string address() const { return "127.0.0.1:" + std::to_string(port_) + "/cam"; }

 private:
  GMainContext* context_;
  GMainLoop* loop_;
  GstRTSPServer* server_;
  guint source_id_ = 0;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace orvanta::test
