#include "capture/filter_check.h"

#include <gst/gst.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/messages.h"
#include "capture/live_graph.h"
#include "capture/media/plugin_element.h"

namespace orvanta::capture {
namespace {

std::string Canonical(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::canonical(path, ec);
  return ec ? path : p.string();
}

std::string RegisteredPath(const char* factory) {
  GstPluginFeature* feature =
      gst_registry_find_feature(gst_registry_get(), factory, GST_TYPE_ELEMENT_FACTORY);
  if (!feature) return {};
  std::string path;
  if (GstPlugin* plugin = gst_plugin_feature_get_plugin(feature)) {
    if (const gchar* file = gst_plugin_get_filename(plugin)) path = Canonical(file);
    gst_object_unref(plugin);
  }
  gst_object_unref(feature);
  return path;
}

}  // namespace

FilterCheckVerdict DecideFilterCheck(const std::vector<LibraryFinding>& findings) {
  bool all_files = true;
  bool elsewhere = false;
  for (const LibraryFinding& f : findings) {
    all_files = all_files && f.file_exists;
    if (!f.registered_path.empty() && f.registered_path != f.local_path) elsewhere = true;
  }
  return all_files || elsewhere ? FilterCheckVerdict::kContinue : FilterCheckVerdict::kNotInstalled;
}

bool CheckFilterPlugins(const std::string& startup_dir) {
  // The replay filter joins this list when the build ships its plugin.
  static const FilterLibrary kLibraries[] = {
      {kDetectFilterFactory, kDetectFilterLibrary, true},
  };
  std::vector<LibraryFinding> findings;
  for (const FilterLibrary& library : kLibraries) {
    LibraryFinding f;
    for (const std::string& folder : media::PluginFolders(startup_dir)) {
      struct stat st {};
      const std::string path = folder + "/" + library.file;
      if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        f.file_exists = true;
        f.local_path = Canonical(path);
        break;
      }
    }
    f.registered_path = RegisteredPath(library.factory);
    if (f.registered_path.empty() && f.file_exists) {
      GstPlugin* plugin = gst_plugin_load_file(f.local_path.c_str(), nullptr);
      if (plugin) {
        gst_object_unref(plugin);
        f.registered_path = RegisteredPath(library.factory);
      } else if (library.required) {
        ReportMessage("Loading %s FAILED\nPlease reinstall the package (GStreamer 1.22 or later)",
                      f.local_path.c_str());
        std::fflush(nullptr);
        std::_Exit(-1);
      }
    }
    findings.push_back(f);
  }
  if (DecideFilterCheck(findings) == FilterCheckVerdict::kContinue) return true;
  ReportMessage(
      "UM000: ZAVIP instalation is not finished\n Please put libzavipf.so beside zavip or in the "
      "start-up directory (or reinstall the package)");
  return false;
}

}  // namespace orvanta::capture
