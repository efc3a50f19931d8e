// Making one of the program's own filter elements: by its factory name, and when the
// registry does not know it, from its plugin file in the start-up directory (then in the
// program's own directory, where the build puts it).
#pragma once

#include <gst/gst.h>

#include <string>

namespace orvanta::media {

// A new floating element, or null.
GstElement* MakePluginElement(const char* factory, const char* library,
                              const std::string& startup_dir);

}  // namespace orvanta::media
