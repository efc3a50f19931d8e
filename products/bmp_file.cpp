#include "products/bmp_file.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace orvanta {
namespace {

// Large enough for any frame the input page allows, small enough that a
// damaged header cannot make the reader allocate gigabytes.
constexpr int kMaxSide = 32768;

size_t PaddedRowBytes(int width) {
  return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
}

void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

std::string EncodeBmp24(const Image24& image) {
  const size_t stride = PaddedRowBytes(image.width);
  const size_t data = stride * static_cast<size_t>(image.height);
  std::string out(kBmpHeaderBytes + data, '\0');
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, static_cast<uint32_t>(kBmpHeaderBytes + data));
  Put32(out, 10, kBmpHeaderBytes);
  Put32(out, 14, 40);
  Put32(out, 18, static_cast<uint32_t>(image.width));
  Put32(out, 22, static_cast<uint32_t>(image.height));
  Put16(out, 26, 1);
  Put16(out, 28, 24);
  for (int r = 0; r < image.height; ++r)
    std::memcpy(out.data() + kBmpHeaderBytes + r * stride, image.row(r), image.row_bytes());
  return out;
}

Status WriteBmp24(const std::string& path, const Image24& image) {
  if (!image.valid()) return Error{kSaveImageFailed};
  switch (WriteWholeFile(path, EncodeBmp24(image), {.whole_or_nothing = true})) {
    case WriteFailure::None:
      return {};
    case WriteFailure::CannotCreate:
      return Error{""};
    case WriteFailure::ShortWrite:
      break;
  }
  // A full disk says so: the usual text alone points at the frame size.
  if (errno == ENOSPC) return Error{std::string(kSaveImageFailed) + " (the disk is full)"};
  return Error{kSaveImageFailed};
}

Result<BmpReader> BmpReader::Open(const std::string& path) {
  UniqueFile file = OpenFile(path, "rb");
  if (!file) return Error{"cannot open " + path};
  uint8_t h[kBmpHeaderBytes];
  if (std::fread(h, 1, sizeof h, file.get()) != sizeof h || h[0] != 'B' || h[1] != 'M')
    return Error{"not a BMP file: " + path};
  BmpHeader header;
  header.data_offset = Get32(h + 10);
  const uint32_t info_size = Get32(h + 14);
  const int32_t width = static_cast<int32_t>(Get32(h + 18));
  const int32_t height = static_cast<int32_t>(Get32(h + 22));
  const uint16_t bits = Get16(h + 28);
  const uint32_t compression = Get32(h + 30);
  if (info_size < 40 || bits != 24 || compression != 0)
    return Error{"not an uncompressed 24-bit BMP: " + path};
  if (width <= 0 || width > kMaxSide || height == 0 || height > kMaxSide || height < -kMaxSide)
    return Error{"BMP size out of range: " + path};
  if (header.data_offset < kBmpHeaderBytes) return Error{"damaged BMP header: " + path};
  header.width = width;
  header.top_down = height < 0;
  header.height = height < 0 ? -height : height;
  return BmpReader(std::move(file), header);
}

Status BmpReader::ReadPixels(Image24& out) {
  if (std::fseek(file_.get(), static_cast<long>(header_.data_offset), SEEK_SET) != 0)
    return Error{"damaged BMP file"};
  const size_t stride = PaddedRowBytes(header_.width);
  std::vector<uint8_t> row(stride);
  Image24 image;
  image.Resize(header_.width, header_.height);
  for (int r = 0; r < header_.height; ++r) {
    if (std::fread(row.data(), 1, stride, file_.get()) != stride)
      return Error{"truncated BMP file"};
    const int dest = header_.top_down ? header_.height - 1 - r : r;
    std::memcpy(image.row(dest), row.data(), image.row_bytes());
  }
  out = std::move(image);
  return {};
}

Result<Image24> ReadBmp24(const std::string& path) {
  auto reader = BmpReader::Open(path);
  if (!reader) return Error{reader.message()};
  Image24 image;
  if (Status s = reader->ReadPixels(image); !s) return Error{s.message() + ": " + path};
  return image;
}

}  // namespace orvanta
