// The plugin file libzaviprf.so: registers the replay filter element.
#include "replayfilter/gst/orvanta_replay.h"

namespace {

gboolean PluginInit(GstPlugin* plugin) {
  return GST_ELEMENT_REGISTER(orvantareplay, plugin);
}

}  // namespace

#define PACKAGE "orvanta"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, zaviprf,
                  "Orvanta replay filter: field view and snapshots of replayed clips", PluginInit,
                  "1.0", "unknown", "Orvanta", "https://orvanta.invalid/")
