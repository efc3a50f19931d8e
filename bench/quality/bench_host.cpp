#include "bench/quality/bench_host.h"

#include <algorithm>

#include "app/app_params.h"
#include "app/font_size.h"
#include "app/settings_keys.h"
#include "capture/host_sizing.h"

namespace orvanta::quality {

std::unique_ptr<BenchHost> BenchHost::Create(const BenchHostOptions& options, std::string& error) {
  std::unique_ptr<BenchHost> host(new BenchHost());
  host->block_ = std::make_unique<DetectionBlock>();
  DetectionBlock& b = *host->block_;
  auto app = std::make_unique<AppContext>();
  SetDefaults(app->ap, app->ib, app->rib);
  app->ib.cx = options.width;
  app->ib.cy = options.height;
  for (const std::string& setting : options.settings) {
    const size_t eq = setting.find('=');
    const SettingsKey* key = FindSettingsKey(setting.substr(0, eq));
    if (eq == std::string::npos || !key) {
      error = "not a setting: " + setting;
      return nullptr;
    }
    std::string why;
    if (!ParseValue(*app, *key, std::string_view(setting).substr(eq + 1), &why)) {
      error = setting + ": " + why;
      return nullptr;
    }
  }
  b = app->ib;
  const AppParams& ap = app->ap;
  b.host_subtype = Info(options.format).guid;

  // Hosting: sizes, buffers, run fields, averaging weights and warm-up.
  const capture::HostSizing s = capture::SizeHostBuffers(b, /*audio=*/false, ap.smspeed);
  if (!s.refusal.empty()) {
    error = s.refusal;
    return nullptr;
  }
  b.pixels = s.pixels;
  b.frame_bytes = static_cast<int32_t>(s.frame_bytes);
  b.ring_count = s.ring_count;
  b.bands = s.bands;
  b.audio_chunk_bytes = 0;
  b.audio_chunk_count = 0;
  // No detect-area mask file: all of the sky.
  if (const auto shortage = host->buffers_.Allocate(b)) {
    error = capture::ShortageMessage(*shortage);
    return nullptr;
  }
  b.mask_flip = 1;
  capture::PrepareBlockForHosting(s, b);

  // Starting detection sets the text's font from the size setting.
  ApplyFontSize(ap.si_fontsize, b);
  return host;
}

}  // namespace orvanta::quality
