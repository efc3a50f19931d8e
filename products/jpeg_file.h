// JPEG forms of the still images (libjpeg-turbo). The JPEG keeps the image's
// width, height and orientation so the replay page can lay the detection map
// over it pixel for pixel.
#pragma once

#include <string>

#include "products/image24.h"
#include "products/result.h"

namespace orvanta {

inline constexpr int kStillJpegQuality = 80;
// What libjpeg uses when no quality is given; the thumbnail is written at it.
inline constexpr int kDefaultJpegQuality = 75;

Result<std::string> EncodeJpeg(const Image24& image, int quality);

// Encodes the image straight to `jpeg_path` (no temporary BMP on the way).
Status SaveImageAsJpeg(const std::string& jpeg_path, const Image24& image,
                       int quality = kStillJpegQuality);

// Decodes a JPEG (a clip's peak-hold or snapshot JPEG, say: the editor's picture, the
// replay page's still) into a bottom-up image. Sizes beyond what a frame can be are refused
// before anything is allocated.
Result<Image24> DecodeJpeg(const std::string& bytes);
Result<Image24> ReadJpeg(const std::string& path);

// Reads a 24-bit BMP and writes it as JPEG at quality 80.
Status ConvertBmpToJpeg(const std::string& bmp_path, const std::string& jpeg_path);

}  // namespace orvanta
