// zavip-tool devices: the video and audio capture devices under the names the settings take
// (AP.dv_video_device, AP.dv_audio_device), with --formats what each one offers. The same
// listing the source settings dialog shows.
#include <gst/gst.h>

#include <cstdio>
#include <string>
#include <vector>

#include "capture/device_catalogue.h"
#include "tools/tool_args.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

void PrintFormat(const capture::DeviceFormat& f, bool sound) {
  std::printf("  %s", f.subtype.c_str());
  if (!f.size.empty()) std::printf(" %s", f.size.c_str());
  if (!f.rates.empty() && !sound) std::printf(" fps");
  for (const std::string& rate : f.rates) std::printf(" %s", rate.c_str());
  if (f.channels > 0) std::printf(" %d ch", f.channels);
  std::printf("\n");
}

int RunDevices(const std::vector<std::string>& args) {
  bool formats = false;
  const std::string bad_option =
      ReadOptions(args, {"--formats"}, [&](const std::string& option, const std::string&) {
        if (option != "--formats") return UnknownOption(option);
        formats = true;
        return std::string();
      });
  if (!bad_option.empty()) return Fail(bad_option);
  gst_init(nullptr, nullptr);
  bool any = false;
  for (auto [category, kind] : {std::pair{capture::DeviceCategory::VideoInput, "video"},
                                std::pair{capture::DeviceCategory::AudioInput, "audio"}}) {
    for (const capture::CaptureDevice& device : capture::ListCaptureDevices(category)) {
      std::printf("%s %s\n", kind, device.name.c_str());
      any = true;
      if (!formats) continue;
      for (const capture::DeviceFormat& f : device.formats)
        PrintFormat(f, category == capture::DeviceCategory::AudioInput);
    }
  }
  // Said apart from the listing, so that a script reading the names gets none.
  if (!any) std::fprintf(stderr, "zavip-tool: devices: no video or audio capture device found\n");
  return 0;
}

const CommandRegistrar devices({"devices", "devices [--formats]", RunDevices});

}  // namespace
}  // namespace orvanta::tool
