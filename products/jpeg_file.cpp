#include "products/jpeg_file.h"

#include <turbojpeg.h>

#include <cerrno>
#include <memory>

#include "app/file_owner.h"
#include "products/bmp_file.h"

namespace orvanta {
namespace {

struct TjDestroy {
  void operator()(void* h) const {
    if (h) tjDestroy(h);
  }
};
struct TjFree {
  void operator()(unsigned char* p) const {
    if (p) tjFree(p);
  }
};

// As for BMP files: any frame fits, a damaged header cannot ask for gigabytes.
constexpr int kMaxJpegSide = 32768;
constexpr size_t kMaxJpegBytes = size_t{256} << 20;

}  // namespace

Result<std::string> EncodeJpeg(const Image24& image, int quality) {
  if (!image.valid()) return Error{"empty image"};
  std::unique_ptr<void, TjDestroy> handle(tjInitCompress());
  if (!handle) return Error{"JPEG encoder unavailable"};
  unsigned char* raw = nullptr;
  unsigned long size = 0;
  const int rc =
      tjCompress2(handle.get(), image.bgr.data(), image.width, static_cast<int>(image.row_bytes()),
                  image.height, TJPF_BGR, &raw, &size, TJSAMP_420, quality, TJFLAG_BOTTOMUP);
  std::unique_ptr<unsigned char, TjFree> owned(raw);
  if (rc != 0) return Error{std::string("JPEG encoding failed: ") + tjGetErrorStr2(handle.get())};
  return std::string(reinterpret_cast<const char*>(owned.get()), size);
}

Status SaveImageAsJpeg(const std::string& jpeg_path, const Image24& image, int quality) {
  auto bytes = EncodeJpeg(image, quality);
  if (!bytes) return bytes.status();
  switch (WriteWholeFile(jpeg_path, *bytes, {.whole_or_nothing = true})) {
    case WriteFailure::None:
      return {};
    case WriteFailure::CannotCreate:
      return Error{"cannot create " + jpeg_path};
    case WriteFailure::ShortWrite:
      break;
  }
  return Error{"cannot write " + jpeg_path + (errno == ENOSPC ? ": the disk is full" : "")};
}

Result<Image24> DecodeJpeg(const std::string& bytes) {
  std::unique_ptr<void, TjDestroy> handle(tjInitDecompress());
  if (!handle) return Error{"JPEG decoder unavailable"};
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(handle.get(), data, bytes.size(), &width, &height, &subsampling,
                          &colourspace) != 0)
    return Error{std::string("not a JPEG image: ") + tjGetErrorStr2(handle.get())};
  if (width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide)
    return Error{"JPEG size out of range"};
  Image24 image;
  image.Resize(width, height);
  if (tjDecompress2(handle.get(), data, bytes.size(), image.bgr.data(), width,
                    static_cast<int>(image.row_bytes()), height, TJPF_BGR, TJFLAG_BOTTOMUP) != 0)
    return Error{std::string("damaged JPEG image: ") + tjGetErrorStr2(handle.get())};
  return image;
}

Result<Image24> ReadJpeg(const std::string& path) {
  UniqueFile file = OpenFile(path, "rb");
  if (!file) return Error{"cannot open " + path};
  std::string bytes;
  char chunk[65536];
  while (size_t n = std::fread(chunk, 1, sizeof chunk, file.get())) {
    bytes.append(chunk, n);
    if (bytes.size() > kMaxJpegBytes) return Error{"not a JPEG image: " + path};
  }
  if (std::ferror(file.get())) return Error{"cannot read " + path};
  auto image = DecodeJpeg(bytes);
  if (!image) return Error{image.message() + ": " + path};
  return image;
}

Status ConvertBmpToJpeg(const std::string& bmp_path, const std::string& jpeg_path) {
  auto image = ReadBmp24(bmp_path);
  if (!image) return image.status();
  return SaveImageAsJpeg(jpeg_path, *image, kStillJpegQuality);
}

}  // namespace orvanta
