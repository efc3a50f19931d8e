#include "products/compose_image.h"

#include <cstring>

namespace orvanta {
namespace {

bool SizeFits(int cx, int cy, int64_t pixels) {
  return cx > 0 && cy > 0 && static_cast<int64_t>(cx) * cy <= pixels;
}

// 4:2:0 with separate chroma planes (I420, YV12) or one interleaved plane (NV12).
void Planar420(const uint8_t* frame, int cx, int cy, const uint8_t* u, const uint8_t* v,
               int chroma_step, Image24& image) {
  const int cw = (cx + 1) / 2;
  for (int y = 0; y < cy; ++y) {
    const uint8_t* yrow = frame + static_cast<size_t>(y) * cx;
    const size_t crow = static_cast<size_t>(y / 2) * cw * chroma_step;
    uint8_t* out = image.row(cy - 1 - y);
    for (int x = 0; x < cx; ++x) {
      const size_t c = crow + static_cast<size_t>(x / 2) * chroma_step;
      const Bgr p = YuvToBgr(yrow[x], u[c], v[c]);
      out[3 * x] = p.b;
      out[3 * x + 1] = p.g;
      out[3 * x + 2] = p.r;
    }
  }
}

// Packed 4:2:2: offsets of Y0, U, Y1, V inside each 4-byte pair.
void Packed422(const uint8_t* frame, int cx, int cy, int y0, int u, int y1, int v, Image24& image) {
  const size_t stride = static_cast<size_t>((cx + 1) / 2) * 4;
  for (int y = 0; y < cy; ++y) {
    const uint8_t* src = frame + y * stride;
    uint8_t* out = image.row(cy - 1 - y);
    for (int x = 0; x < cx; ++x) {
      const uint8_t* pair = src + (x / 2) * 4;
      const Bgr p = YuvToBgr(pair[(x & 1) ? y1 : y0], pair[u], pair[v]);
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

Status ComposeFrameImage(FrameLayout layout, const uint8_t* frame, size_t frame_bytes, int cx,
                         int cy, Image24& image) {
  if (layout == FrameLayout::Other) return Error{"snapshot format not supported"};
  const size_t need = FrameLayoutBytes(layout, cx, cy);
  if (!frame || need == 0 || frame_bytes < need) return Error{"no snapshot to compose"};
  image.Resize(cx, cy);
  const size_t luma = static_cast<size_t>(cx) * cy;
  const size_t chroma = static_cast<size_t>((cx + 1) / 2) * ((cy + 1) / 2);
  switch (layout) {
    case FrameLayout::I420:
      Planar420(frame, cx, cy, frame + luma, frame + luma + chroma, 1, image);
      break;
    case FrameLayout::YV12:
      Planar420(frame, cx, cy, frame + luma + chroma, frame + luma, 1, image);
      break;
    case FrameLayout::NV12:
      Planar420(frame, cx, cy, frame + luma, frame + luma + 1, 2, image);
      break;
    case FrameLayout::YUY2:
      Packed422(frame, cx, cy, 0, 1, 2, 3, image);
      break;
    case FrameLayout::UYVY:
      Packed422(frame, cx, cy, 1, 0, 3, 2, image);
      break;
    case FrameLayout::Y800:
    case FrameLayout::RGB8:
      Gray(frame, cx, cy, image);
      break;
    case FrameLayout::RGB24:
      Rgb(frame, cx, cy, 3, image);
      break;
    case FrameLayout::RGB32:
      Rgb(frame, cx, cy, 4, image);
      break;
    case FrameLayout::Other:
      break;
  }
  return {};
}

Status ComposeSnapshotImage(const DetectionBlock& block, Image24& image) {
  if (block.frame_bytes < 0) return Error{"no snapshot to compose"};
  return ComposeFrameImage(FrameLayoutOf(block.input_subtype), block.snapshot,
                           static_cast<size_t>(block.frame_bytes), block.cx, block.cy, image);
}

}  // namespace orvanta
