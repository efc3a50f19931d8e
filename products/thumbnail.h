// The small thumbnail JPEG of a clip ("T.jpg"): the live page image reduced by
// blocks, the detected object coloured and boxed in red.
#pragma once

#include <cstdint>
#include <string>

#include "products/image24.h"
#include "products/result.h"

namespace orvanta {

// Narrow thumbnails keep each block's brightest value so a one-pixel meteor
// trail survives the reduction; wider ones average the block.
inline constexpr int kThumbnailMaxOfBlockWidth = 320;
inline constexpr int kThumbnailMaxWidth = 960;
inline constexpr int kThumbnailMaxHeight = 540;
inline constexpr int kThumbnailBoxMargin = 10;

struct ThumbnailOptions {
  int width = 200;         // "AP.sj_cx"
  int height = 150;        // "AP.sj_cy"
  bool mark_hits = false;  // "IF.im_map" and "AP.tmark": colour hit blocks
  bool draw_box = false;   // "AP.tmark": red box around the strong hits
};

// `picture` is the live page image (cx x cy); `hit_map` its top-down hit map
// of cx x cy bytes, or null (no marking).
Result<Image24> ReduceToThumbnail(const Image24& picture, const uint8_t* hit_map,
                                  const ThumbnailOptions& options);

// Reduces and writes the JPEG at the encoder's default quality.
Status MakeThumbnail(const std::string& jpeg_path, const Image24& picture, const uint8_t* hit_map,
                     const ThumbnailOptions& options);

}  // namespace orvanta
