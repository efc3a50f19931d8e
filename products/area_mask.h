// Detect-area mask files: a 24-bit BMP of the frame size in the start-up
// directory whose pure red pixels (0, 0, 255) are left out of detection.
#pragma once

#include <string>

#include "detectfilter/zavipf.h"
#include "products/image24.h"
#include "products/result.h"

namespace orvanta {

// Reserved: the whole picture is the detect area; no file is read or saved.
inline constexpr const char* kWholePictureMaskName = "DA-ALL.bmp";
inline constexpr uint8_t kMaskExcluded = 2;
inline constexpr int kMaskMarginRows = 6;
inline constexpr const char* kReservedMaskName =
    "UM025: \"DA-ALL.bmp\" Cannot use this name, Please Set another name";
inline constexpr const char* kMaskSizeMismatch =
    "UM027: Area Mask File size not matched ... ignored";

// A pure red pixel (blue 0, green 0, red 255): left out of detection.
inline bool IsExcludedPixel(const uint8_t* bgr) {
  return bgr[0] == 0 && bgr[1] == 0 && bgr[2] == 255;
}

struct AreaMaskRequest {
  std::string startup_dir;
  std::string dareafname;  // "AP.dareafname", a name without directory
  int cx = 0;
  int cy = 0;
};

enum class AreaMaskOutcome { WholePicture, Loaded, CannotRead, SizeMismatch };

struct AreaMaskLoad {
  AreaMaskOutcome outcome = AreaMaskOutcome::WholePicture;
  std::string message;  // to show when not empty (UM026, UM027)
  // True after a size mismatch: "AP.dareafname" must fall back to DA-ALL.bmp.
  bool use_whole_picture = false;
};

// Reads the mask file into `work_image`. With `apply_to` (the hosted block),
// its whole mask allocation is cleared first and the red pixels become
// kMaskExcluded on the rows the user painted.
AreaMaskLoad LoadAreaMask(const AreaMaskRequest& request, Image24& work_image,
                          DetectionBlock* apply_to);

// "DA%d-%d.bmp": the name the editor proposes for a first save.
std::string ProposedAreaMaskName(int cx, int cy);

// Writes the edited mask; refuses the reserved name with kReservedMaskName.
Status SaveAreaMask(const std::string& startup_dir, const std::string& name,
                    const Image24& work_image);

}  // namespace orvanta
