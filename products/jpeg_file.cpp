#include "products/jpeg_file.h"

#include <turbojpeg.h>

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

// A damaged header must not make the decoder allocate gigabytes.
constexpr int kMaxJpegSide = 16384;
constexpr long kMaxJpegBytes = 256L << 20;

bool ReadFileBytes(const std::string& path, std::string* out) {
  UniqueFile file = OpenFile(path, "rb");
  if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size <= 0 || size > kMaxJpegBytes || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
  out->resize(static_cast<size_t>(size));
  return std::fread(out->data(), 1, out->size(), file.get()) == out->size();
}

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
  return Error{"cannot write " + jpeg_path};
}

Status ConvertBmpToJpeg(const std::string& bmp_path, const std::string& jpeg_path) {
  auto image = ReadBmp24(bmp_path);
  if (!image) return image.status();
  return SaveImageAsJpeg(jpeg_path, *image, kStillJpegQuality);
}

Result<Image24> ReadJpeg(const std::string& path) {
  std::string bytes;
  if (!ReadFileBytes(path, &bytes)) return Error{"cannot open " + path};
  std::unique_ptr<void, TjDestroy> handle(tjInitDecompress());
  if (!handle) return Error{"JPEG decoder unavailable"};
  auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle.get(), data, bytes.size(), &width, &height, &subsampling,
                          &colorspace) != 0 ||
      width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide)
    return Error{"not a JPEG file: " + path};
  Image24 image;
  image.Resize(width, height);
  if (tjDecompress2(handle.get(), data, bytes.size(), image.bgr.data(), width,
                    static_cast<int>(image.row_bytes()), height, TJPF_BGR, TJFLAG_BOTTOMUP) != 0)
    return Error{"damaged JPEG file: " + path};
  return image;
}

}  // namespace orvanta
