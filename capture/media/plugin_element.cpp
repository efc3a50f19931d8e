#include "capture/media/plugin_element.h"

#include <unistd.h>

namespace orvanta::media {

std::vector<std::string> PluginFolders(const std::string& startup_dir) {
  std::vector<std::string> folders;
  if (!startup_dir.empty()) folders.push_back(startup_dir);
  char exe[4096] = {};
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    std::string dir(exe, static_cast<size_t>(n));
    folders.push_back(dir.substr(0, dir.rfind('/')));
  }
  return folders;
}

GstElement* MakePluginElement(const char* factory, const char* library,
                              const std::string& startup_dir) {
  GstElement* element = gst_element_factory_make(factory, nullptr);
  for (const std::string& dir : PluginFolders(startup_dir)) {
    if (element) break;
    const std::string path = dir + "/" + library;
    GstPlugin* plugin = gst_plugin_load_file(path.c_str(), nullptr);
    if (plugin) {
      gst_object_unref(plugin);
      element = gst_element_factory_make(factory, nullptr);
    }
  }
  return element;
}

}  // namespace orvanta::media
