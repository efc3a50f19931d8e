#include "products/replay_still.h"

#include <algorithm>

#include "products/bmp_file.h"
#include "products/jpeg_file.h"

namespace orvanta {
namespace {

constexpr int kBoxGrowth = 15;
constexpr int kThickBoxWidth = 1000;  // wider pictures get a box two pixels thick

void Paint(Image24& picture, int x, int y) {
  uint8_t* p = picture.row(y) + 3 * static_cast<size_t>(x);
  p[0] = 0;
  p[1] = 0;
  p[2] = 255;
}

void DrawBox(Image24& picture, int left, int right, int bottom, int top) {
  for (int x = left; x <= right; ++x) {
    Paint(picture, x, bottom);
    Paint(picture, x, top);
  }
  for (int y = bottom; y <= top; ++y) {
    Paint(picture, left, y);
    Paint(picture, right, y);
  }
}

}  // namespace

ClipStills StillsFromMarks(std::string_view marks) {
  auto at = [&](size_t i) { return i < marks.size() ? marks[i] : ' '; };
  ClipStills s;
  s.s_jpg = at(2) == 'S';
  s.s_bmp = at(2) == 's';
  s.p_jpg = at(3) == 'P';
  s.p_bmp = at(3) == 'p';
  s.named_bmp = at(5) == 'B';
  s.c_bmp = at(6) == 'C';
  s.map = at(7) == 'M';
  return s;
}

std::string ChooseStillEnding(const ClipStills& s) {
  if (s.s_jpg) return "S.jpg";
  if (s.s_bmp) return "S.bmp";
  if (s.p_jpg) return "P.jpg";
  if (s.p_bmp) return "P.bmp";
  if (s.named_bmp) return ".bmp";
  if (s.c_bmp) return "C.bmp";
  return "";
}

void ApplyMapOverlays(Image24& picture, const Image24& map, const StillOverlays& overlays) {
  if (!picture.valid() || !map.valid() || picture.width != map.width ||
      picture.height != map.height)
    return;
  int left = picture.width, right = -1, bottom = picture.height, top = -1;
  for (int y = 0; y < picture.height; ++y) {
    uint8_t* p = picture.row(y);
    const uint8_t* m = map.row(y);
    for (int x = 0; x < picture.width; ++x, p += 3, m += 3) {
      const uint8_t mask = m[0], hit = m[2];
      if (overlays.area_mask && (mask & 3) != 0)
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] + 200) / 2);
      if (overlays.scl_mask && mask == 248) {
        p[0] = 248;
        p[1] = 0;
        p[2] = 0;
      }
      if (overlays.hit_mark && hit != 0) {
        p[0] = 255;
        p[1] = 255;
        p[2] = 0;
        if (hit >= 254) {
          left = std::min(left, x);
          right = std::max(right, x);
          bottom = std::min(bottom, y);
          top = std::max(top, y);
        }
      }
    }
  }
  if (right < 0) return;
  left = std::max(0, left - kBoxGrowth);
  right = std::min(picture.width - 1, right + kBoxGrowth);
  bottom = std::max(0, bottom - kBoxGrowth);
  top = std::min(picture.height - 1, top + kBoxGrowth);
  DrawBox(picture, left, right, bottom, top);
  if (picture.width > kThickBoxWidth && left + 1 <= right - 1 && bottom + 1 <= top - 1)
    DrawBox(picture, left + 1, right - 1, bottom + 1, top - 1);
}

StillLoad LoadStill(const std::string& base_path, const ClipStills& stills,
                    const StillOverlays& overlays, Image24& picture) {
  StillLoad load;
  const std::string ending = ChooseStillEnding(stills);
  if (ending.empty()) return load;
  const std::string path = base_path + ending;
  Result<Image24> still = ending.ends_with(".jpg") ? ReadJpeg(path) : ReadBmp24(path);
  if (!still) {
    const std::string text =
        ending.ends_with(".jpg") ? "UM080: Cannot read jpg file" : kStillUnreadable;
    load.messages.push_back(text + "\n " + path);
    return load;
  }
  picture = std::move(*still);
  load.shown = true;
  if (!overlays.any() || !stills.map) return load;
  const std::string map_path = base_path + "M.bmp";
  Result<BmpReader> reader = BmpReader::Open(map_path);
  if (!reader) {
    load.messages.push_back(kMapMissing);
    return load;
  }
  Image24 map;
  if (reader->header().width != picture.width || reader->header().height != picture.height ||
      !reader->ReadPixels(map)) {
    load.messages.push_back(kMapSizeMismatch);
    return load;
  }
  ApplyMapOverlays(picture, map, overlays);
  return load;
}

}  // namespace orvanta
