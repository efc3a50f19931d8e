#include "products/thumbnail.h"

#include <algorithm>

#include "products/jpeg_file.h"

namespace orvanta {
namespace {

void MarkRed(Image24& image, int x, int y) {
  image.row(y)[3 * x + 2] = 255;
}

}  // namespace

Result<Image24> ReduceToThumbnail(const Image24& picture, const uint8_t* hit_map,
                                  const ThumbnailOptions& options) {
  const int W = options.width, H = options.height;
  if (W <= 0 || H <= 0 || W > kThumbnailMaxWidth || H > kThumbnailMaxHeight)
    return Error{"thumbnail size out of range"};
  if (!picture.valid()) return Error{"no picture for the thumbnail"};
  const int64_t cx = picture.width, cy = picture.height;
  const bool mark = options.mark_hits && hit_map != nullptr;
  const bool keep_max = W <= kThumbnailMaxOfBlockWidth;

  Image24 thumb;
  thumb.Resize(W, H);
  int left = W - 1, right = 0, top = H - 1, bottom = 0;
  bool any_strong = false;
  for (int y = 0; y < H; ++y) {
    const int r0 = static_cast<int>(y * cy / H);
    const int r1 = static_cast<int>(std::min(cy - 1, (y + 1) * cy / H));
    for (int x = 0; x < W; ++x) {
      const int c0 = static_cast<int>(x * cx / W);
      const int c1 = static_cast<int>(std::min(cx - 1, (x + 1) * cx / W));
      uint8_t* px = thumb.row(y) + 3 * x;
      px[0] = px[1] = px[2] = 0;
      uint32_t sum[3] = {0, 0, 0};
      bool strong = false;
      for (int r = r0; r <= r1; ++r) {
        const uint8_t* src = picture.row(r);
        const uint8_t* hits = mark ? hit_map + (cy - 1 - r) * cx : nullptr;
        for (int c = c0; c <= c1; ++c) {
          const uint8_t* s = src + 3 * c;
          if (keep_max) {
            for (int k = 0; k < 3; ++k) px[k] = std::max(px[k], s[k]);
          } else {
            for (int k = 0; k < 3; ++k) sum[k] += s[k];
          }
          if (hits && hits[c] != 0) {
            px[0] = 255;
            px[1] = 255;
            px[2] = 0;
            if (hits[c] >= 254) strong = true;
          }
        }
      }
      if (!keep_max && !strong) {
        const uint32_t count = static_cast<uint32_t>((r1 - r0 + 1) * (c1 - c0 + 1));
        for (int k = 0; k < 3; ++k) px[k] = static_cast<uint8_t>(sum[k] / count);
      }
      if (strong) {
        any_strong = true;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
  }

  // Without a strong block there is no object to box, however small the
  // thumbnail (the grown empty box would otherwise cross tiny thumbnails).
  if (options.draw_box && any_strong) {
    left = std::max(0, left - kThumbnailBoxMargin);
    right = std::min(W - 1, right + kThumbnailBoxMargin);
    top = std::max(0, top - kThumbnailBoxMargin);
    bottom = std::min(H - 1, bottom + kThumbnailBoxMargin);
    for (int x = left; x <= right; ++x) {
      MarkRed(thumb, x, top);
      MarkRed(thumb, x, bottom);
    }
    for (int y = top; y <= bottom; ++y) {
      MarkRed(thumb, left, y);
      MarkRed(thumb, right, y);
    }
  }
  return thumb;
}

Status MakeThumbnail(const std::string& jpeg_path, const Image24& picture, const uint8_t* hit_map,
                     const ThumbnailOptions& options) {
  auto thumb = ReduceToThumbnail(picture, hit_map, options);
  if (!thumb) return thumb.status();
  return SaveImageAsJpeg(jpeg_path, *thumb, kDefaultJpegQuality);
}

}  // namespace orvanta
