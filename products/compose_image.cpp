#include "products/compose_image.h"

#include <algorithm>
#include <cstring>

namespace orvanta {
namespace {

bool SizeFits(int cx, int cy, int64_t pixels) {
  return cx > 0 && cy > 0 && static_cast<int64_t>(cx) * cy <= pixels;
}

// 4:2:0: the colour samples of 2x2 blocks lie where the sites say. An odd last row or column
// has no samples of its own and takes its neighbour's; a picture without a single block is grey.
void Planar420(const uint8_t* frame, int cx, int cy, const Planes& planes, ChromaSite u,
               ChromaSite v, Image24& image) {
  static constexpr uint8_t kGrey = 128;
  const int last_col = cx / 2 - 1;
  const int last_row = cy / 2 - 1;
  const bool grey = last_col < 0 || last_row < 0;
  const uint8_t* us = grey ? &kGrey : frame + planes.plane[u.plane].offset + u.offset;
  const uint8_t* vs = grey ? &kGrey : frame + planes.plane[v.plane].offset + v.offset;
  const size_t row_bytes = grey ? 0 : planes.plane[u.plane].row_bytes;
  const size_t step = grey ? 0 : static_cast<size_t>(u.step);
  for (int y = 0; y < cy; ++y) {
    const uint8_t* yrow = frame + static_cast<size_t>(y) * cx;
    const size_t crow = static_cast<size_t>(std::min(y / 2, last_row)) * row_bytes;
    uint8_t* out = image.row(cy - 1 - y);
    for (int x = 0; x < cx; ++x) {
      const size_t c = crow + static_cast<size_t>(std::min(x / 2, last_col)) * step;
      const Bgr p = YuvToBgr(yrow[x], us[c], vs[c]);
      out[3 * x] = p.b;
      out[3 * x + 1] = p.g;
      out[3 * x + 2] = p.r;
    }
  }
}

// Packed 4:2:2: brightness and colour bytes inside each 4-byte pixel pair. With an odd width
// the last pair holds its first pixel only, which takes the colour of the pair before it; a
// picture one pixel wide is grey.
void Packed422(const uint8_t* frame, int cx, int cy, const PixelFormatInfo& f, Image24& image) {
  static constexpr uint8_t kGrey[4] = {128, 128, 128, 128};
  const size_t stride = static_cast<size_t>(cx) * 2;
  const int y0 = f.brightness, y1 = f.brightness + 2, u = f.u.offset, v = f.v.offset;
  const int last_pair = cx / 2 - 1;
  for (int y = 0; y < cy; ++y) {
    const uint8_t* src = frame + y * stride;
    uint8_t* out = image.row(cy - 1 - y);
    for (int x = 0; x < cx; ++x) {
      const uint8_t* pair = src + (x / 2) * 4;
      const uint8_t* colour = last_pair < 0 ? kGrey : src + std::min(x / 2, last_pair) * 4;
      const Bgr p = YuvToBgr(pair[(x & 1) ? y1 : y0], colour[u], colour[v]);
      out[3 * x] = p.b;
      out[3 * x + 1] = p.g;
      out[3 * x + 2] = p.r;
    }
  }
}

void Gray(const uint8_t* frame, int cx, int cy, Image24& image) {
  for (int y = 0; y < cy; ++y) {
    const uint8_t* src = frame + static_cast<size_t>(y) * cx;
    uint8_t* out = image.row(cy - 1 - y);
    for (int x = 0; x < cx; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = src[x];
  }
}

void Rgb(const uint8_t* frame, int cx, int cy, int bytes_per_pixel, Image24& image) {
  for (int y = 0; y < cy; ++y) {
    const uint8_t* src = frame + static_cast<size_t>(y) * cx * bytes_per_pixel;
    uint8_t* out = image.row(cy - 1 - y);
    if (bytes_per_pixel == 3) {
      std::memcpy(out, src, static_cast<size_t>(cx) * 3);
      continue;
    }
    for (int x = 0; x < cx; ++x) std::memcpy(out + 3 * x, src + bytes_per_pixel * x, 3);
  }
}

}  // namespace

Status ComposeMapImage(DetectionBlock& block, Image24& image) {
  const int cx = block.cx, cy = block.cy;
  if (!SizeFits(cx, cy, block.pixels) || !block.hit_map || !block.avr_map ||
      (block.sm_on && !block.mask))
    return Error{"no detection map to compose"};
  image.Resize(cx, cy);
  for (int r = 0; r < cy; ++r) {
    const size_t at = static_cast<size_t>(r) * cx;
    const uint8_t* hit = block.hit_map + at;
    const uint32_t* avr = block.avr_map + at;
    const uint8_t* mask = block.sm_on ? block.mask + at : nullptr;
    uint8_t* out = image.row(cy - 1 - r);
    for (int x = 0; x < cx; ++x) {
      const uint32_t green = (avr[x] + 8192u) / 16384u;
      out[3 * x] = mask ? mask[x] : 0;
      out[3 * x + 1] = static_cast<uint8_t>(green > 255 ? 255 : green);
      out[3 * x + 2] = hit[x];
    }
  }
  block.clip_started = 0;
  return {};
}

Status ComposeFrameImage(PixelFormat format, const uint8_t* frame, size_t frame_bytes, int cx,
                         int cy, Image24& image) {
  const PixelFormatInfo& f = Info(format);
  if (!f.picture) return Error{"snapshot format not supported"};
  if (!frame || cx <= 0 || cy <= 0 ||
      frame_bytes < static_cast<size_t>(FrameBytes(format, int64_t{cx} * cy)))
    return Error{"no snapshot to compose"};
  image.Resize(cx, cy);
  if (f.u.plane > 0) {
    Planar420(frame, cx, cy, PlanesOf(format, cx, cy), f.u, f.v, image);
  } else if (f.u.plane == 0) {
    Packed422(frame, cx, cy, f, image);
  } else if (f.rgb) {
    Rgb(frame, cx, cy, f.step, image);
  } else {
    Gray(frame, cx, cy, image);
  }
  return {};
}

Status ComposeSnapshotImage(const DetectionBlock& block, Image24& image) {
  if (block.frame_bytes < 0) return Error{"no snapshot to compose"};
  return ComposeFrameImage(PixelFormatOfGuid(block.input_subtype), block.snapshot,
                           static_cast<size_t>(block.frame_bytes), block.cx, block.cy, image);
}

}  // namespace orvanta
