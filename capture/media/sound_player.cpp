#include "capture/media/sound_player.h"

#include <gst/gst.h>

namespace orvanta::media {

bool PlaySoundFile(const std::string& path) {
  GstElement* player = gst_element_factory_make("playbin", nullptr);
  if (!player) return false;
  gst_object_ref_sink(player);
  gchar* uri = gst_filename_to_uri(path.c_str(), nullptr);
  if (!uri) {
    gst_object_unref(player);
    return false;
  }
  g_object_set(player, "uri", uri, nullptr);
  g_free(uri);
  // No picture: a sound file with a cover image must not open a window.
  if (GstElement* none = gst_element_factory_make("fakesink", nullptr))
    g_object_set(player, "video-sink", none, nullptr);
  GstBus* bus = gst_element_get_bus(player);
  gst_bus_add_watch_full(
      bus, G_PRIORITY_DEFAULT,
      [](GstBus*, GstMessage* message, gpointer data) -> gboolean {
        auto* element = static_cast<GstElement*>(data);
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if (type != GST_MESSAGE_EOS && type != GST_MESSAGE_ERROR) return TRUE;
        gst_element_set_state(element, GST_STATE_NULL);
        return FALSE;  // the watch ends and drops its reference to the player
      },
      player, [](gpointer data) { gst_object_unref(data); });
  const bool started = gst_element_set_state(player, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
  if (!started) {
    gst_element_set_state(player, GST_STATE_NULL);
    gst_bus_remove_watch(bus);  // releases the player
  }
  gst_object_unref(bus);
  return started;
}

}  // namespace orvanta::media
