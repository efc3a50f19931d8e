// 24-bit BMP files: the still images, the replay snapshots and the detect-area
// masks. Rows are bottom-up and padded to 4 bytes as the format demands; for
// the frame widths of the input page (multiples of 16) there is no padding.
#pragma once

#include <cstdint>
#include <string>

#include "app/file_owner.h"
#include "products/image24.h"
#include "products/result.h"

namespace orvanta {

inline constexpr const char* kSaveImageFailed = " UM083 cannot save image Please set correct Xi Yi";
inline constexpr int kBmpHeaderBytes = 54;

// The whole file as bytes (headers and padded bottom-up rows).
std::string EncodeBmp24(const Image24& image);

// Creates or truncates `path`. A file that cannot be created is a silent
// failure (empty message); pixel bytes that were not all written give
// kSaveImageFailed.
Status WriteBmp24(const std::string& path, const Image24& image);

struct BmpHeader {
  int width = 0;
  int height = 0;  // always positive here
  bool top_down = false;
  uint32_t data_offset = 0;
};

// Reads an uncompressed 24-bit BMP in two steps so that a caller can check
// the size before the pixels are read. The data offset of the header is
// honoured; top-down files are turned into bottom-up images.
class BmpReader {
 public:
  static Result<BmpReader> Open(const std::string& path);
  const BmpHeader& header() const { return header_; }
  Status ReadPixels(Image24& out);

 private:
  BmpReader(UniqueFile file, BmpHeader header) : file_(std::move(file)), header_(header) {}
  UniqueFile file_;
  BmpHeader header_;
};

Result<Image24> ReadBmp24(const std::string& path);

}  // namespace orvanta
