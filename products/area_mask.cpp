#include "products/area_mask.h"

#include <cstring>

#include "products/bmp_file.h"

namespace orvanta {
namespace {

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool BlockMaskUsable(const DetectionBlock& block, int cx, int cy) {
  return block.mask_base && block.mask && block.cx == cx && block.cy == cy && cx > 0 && cy > 0 &&
         static_cast<int64_t>(cx) * cy <= block.pixels;
}

}  // namespace

AreaMaskLoad LoadAreaMask(const AreaMaskRequest& request, Image24& work_image,
                          DetectionBlock* apply_to) {
  AreaMaskLoad load;
  const int cx = request.cx, cy = request.cy;
  const bool apply = apply_to && BlockMaskUsable(*apply_to, cx, cy);
  if (apply) {
    const size_t bytes =
        static_cast<size_t>(apply_to->pixels) + 2 * kMaskMarginRows * static_cast<size_t>(cx);
    std::memset(apply_to->mask_base, 0, bytes);
  }
  if (request.dareafname == kWholePictureMaskName) return load;

  const std::string cannot_read = "UM026: Cannot read Area Mask " + request.dareafname + " ";
  auto reader = BmpReader::Open(JoinPath(request.startup_dir, request.dareafname));
  if (!reader) return {AreaMaskOutcome::CannotRead, cannot_read, false};
  if (reader->header().width != cx || reader->header().height != cy)
    return {AreaMaskOutcome::SizeMismatch, kMaskSizeMismatch, true};
  Image24 image;
  if (!reader->ReadPixels(image)) return {AreaMaskOutcome::CannotRead, cannot_read, false};
  work_image = std::move(image);
  load.outcome = AreaMaskOutcome::Loaded;

  if (apply) {
    for (int r = 0; r < cy; ++r) {
      const uint8_t* file_row = work_image.row(cy - 1 - r);
      uint8_t* mask_row = apply_to->mask + static_cast<size_t>(r) * cx;
      for (int c = 0; c < cx; ++c) {
        if (IsExcludedPixel(file_row + 3 * c)) mask_row[c] = kMaskExcluded;
      }
    }
  }
  return load;
}

std::string ProposedAreaMaskName(int cx, int cy) {
  return "DA" + std::to_string(cx) + "-" + std::to_string(cy) + ".bmp";
}

Status SaveAreaMask(const std::string& startup_dir, const std::string& name,
                    const Image24& work_image) {
  if (name == kWholePictureMaskName) return Error{kReservedMaskName};
  return WriteBmp24(JoinPath(startup_dir, name), work_image);
}

}  // namespace orvanta
