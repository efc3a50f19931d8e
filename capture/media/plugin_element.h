// Making one of the program's own filter elements: by its factory name, and when the
// registry does not know it, from its plugin file in the start-up directory (then in the
// program's own directory, where the build puts it).
#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

namespace orvanta::media {

// The folders a plugin file is looked for in: the start-up directory, then the program's
// own folder (where the build and the package put it).
std::vector<std::string> PluginFolders(const std::string& startup_dir);

// A new floating element, or null.
GstElement* MakePluginElement(const char* factory, const char* library,
                              const std::string& startup_dir);

}  // namespace orvanta::media
