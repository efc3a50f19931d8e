// The replay page's still picture: which of a clip's images is shown, and the detection map's
// overlays laid over it (excluded areas veiled, the scintillation mask, the hits in cyan with
// a red box around the strongest).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "products/image24.h"

namespace orvanta {

inline constexpr const char* kStillUnreadable = "UM080: Cannot read bmp file";
inline constexpr const char* kMapMissing = "UM082: Map file not exist";
inline constexpr const char* kMapSizeMismatch = "UM081 Map file size not matched";

// The still images and the map the clip list has seen for one clip.
struct ClipStills {
  bool s_jpg = false;
  bool s_bmp = false;
  bool p_jpg = false;
  bool p_bmp = false;
  bool named_bmp = false;  // the BMP named like the clip
  bool c_bmp = false;
  bool map = false;  // M.bmp
};

// From the clip list's ten media marks: 'S'/'s' at 2, 'P'/'p' at 3, 'B' at 5, 'C' at 6, 'M' at 7.
ClipStills StillsFromMarks(std::string_view marks);

// The ending (after the clip's base path) of the still shown: "S.jpg", "S.bmp", "P.jpg",
// "P.bmp", ".bmp", "C.bmp", in this order of preference; empty when the clip has none.
std::string ChooseStillEnding(const ClipStills& stills);

struct StillOverlays {
  bool area_mask = false;  // "+Area mask"
  bool scl_mask = false;   // "+SCL mask"
  bool hit_mark = false;   // "+Hit mark"
  bool any() const { return area_mask || scl_mask || hit_mark; }
};

// Lays the detection map (blue = the mask value, red = the hit value; the picture's size and
// row order) over the picture.
void ApplyMapOverlays(Image24& picture, const Image24& map, const StillOverlays& overlays);

struct StillLoad {
  bool shown = false;                 // the picture now holds the clip's still
  std::vector<std::string> messages;  // to report, in order
};

// Reads the clip's still (base path + the chosen ending) into `picture`, with the overlays when
// any is on and the clip has a map. A still that cannot be read leaves `picture` as it was.
StillLoad LoadStill(const std::string& base_path, const ClipStills& stills,
                    const StillOverlays& overlays, Image24& picture);

}  // namespace orvanta
