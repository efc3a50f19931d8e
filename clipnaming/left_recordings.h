// Recordings an earlier run left unfinished (killed, power cut, disk full): their 'T' files
// are found in the clip store when the station starts, and each becomes a clip again when
// its frames can be indexed, or is removed when nothing in it can be played.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "products/clip_record.h"

namespace orvanta {

struct LeftRecording {
  std::string path;     // the 'T' file found
  std::string clip;     // the clip it became ('M' name); empty when removed or left
  uint32_t frames = 0;  // frames the clip holds
  std::string message;  // what was done, in plain words
};

// Mends one recording into a clip: index and header sizes written, renamed from its 'T'
// name to the 'M' name of the same time (never over an existing file), and an XML record
// written with what is known: `known` (the trigger, when it is known, and the settings and
// site), the file's frame size, rate and count, and else the time of its name. A recording
// without one whole frame is removed.
LeftRecording MendRecording(const std::string& path, const ClipRecordInputs& known);

// Every 'T' recording under `db_dir`, its date directories included, through
// MendRecording; product files left half written under their temporary names go too.
std::vector<LeftRecording> MendLeftRecordings(const std::string& db_dir,
                                              const ClipRecordInputs& known);

}  // namespace orvanta
