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

}  // namespace orvanta
