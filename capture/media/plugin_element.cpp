#include "capture/media/plugin_element.h"

#include <unistd.h>

namespace orvanta::media {

GstElement* MakePluginElement(const char* factory, const char* library,
                              const std::string& startup_dir) {
  GstElement* element = gst_element_factory_make(factory, nullptr);
  if (element) return element;
  char exe[4096] = {};
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string exe_dir = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
  exe_dir = exe_dir.substr(0, exe_dir.rfind('/'));
  for (const std::string& dir : {startup_dir, exe_dir}) {
    if (element || dir.empty()) continue;
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
