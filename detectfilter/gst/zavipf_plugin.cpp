// The plugin file libzavipf.so: registers the detection filter element.
#include "detectfilter/gst/orvanta_detect.h"

namespace {

gboolean PluginInit(GstPlugin* plugin) {
  return GST_ELEMENT_REGISTER(orvantadetect, plugin);
}

}  // namespace

#define PACKAGE "orvanta"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, zavipf,
                  "Orvanta detection filter: meteor detection with a time-shift ring", PluginInit,
                  "1.0", "unknown", "Orvanta", "https://orvanta.invalid/")
