#include "bench/quality/bench_host.h"

#include <algorithm>

#include "app/app_params.h"
#include "app/settings_keys.h"
#include "capture/host_sizing.h"
#include "capture/media/subtypes.h"
#include "detectfilter/core/bitmap_fonts.h"

namespace orvanta::quality {

namespace {
media::Subtype HostSubtype(skysim::PixelFormat format) {
  switch (format) {
    case skysim::PixelFormat::I420:
      return media::Subtype::I420;
    case skysim::PixelFormat::GRAY8:
      return media::Subtype::Y800;
    case skysim::PixelFormat::YUY2:
      break;
  }
  return media::Subtype::YUY2;
}
}  // namespace

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
  b.host_subtype = media::SubtypeGuid(HostSubtype(options.format));

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
  b.audio_buffer = nullptr;
  host->frames_.assign(s.ring_count, std::vector<uint8_t>(s.frame_bytes));
  for (int i = 0; i < s.ring_count; ++i) b.frames[i] = host->frames_[i].data();
  const size_t pixels = static_cast<size_t>(s.pixels);
  const size_t margin = 6 * static_cast<size_t>(b.cx);
  host->mask_.assign(pixels + 2 * margin, 0);  // no detect-area mask file: all of the sky
  host->mask2_.assign(pixels + 2 * margin, 0);
  b.mask_base = host->mask_.data();
  b.mask = b.mask_base + margin;
  b.mask_flip = 1;
  b.mask2_base = host->mask2_.data();
  b.mask2 = b.mask2_base + margin;
  host->hit_map_.assign(pixels, 0);
  host->avr_map_.assign(pixels, 0);
  host->avr_map2_.assign(pixels, 0);
  host->snapshot_.assign(s.frame_bytes, 0);
  host->obj_map_.assign(pixels, 0);
  b.hit_map = host->hit_map_.data();
  b.avr_map = host->avr_map_.data();
  b.avr_map2 = host->avr_map2_.data();
  b.snapshot = host->snapshot_.data();
  b.obj_map = host->obj_map_.data();
  capture::PrepareBlockForHosting(s, b);

  // Starting detection sets the text's font from the size setting.
  const detect::FontChoice font = detect::FontForSize(ap.si_fontsize);
  b.font = font.table;
  b.si_fontx = font.fontx;
  b.si_fonty = font.fonty;
  b.font_scale = font.scale;
  b.si_y0 = std::min(b.si_y0, b.cy - (b.si_fonty * b.font_scale + 2));
  return host;
}

}  // namespace orvanta::quality
