// Correcting the frame timing in the header of a recorded AVI clip, when the
// rate measured from the time log is the best one known.
#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

enum class AviFixOutcome {
  Fixed,
  CannotOpen,  // message "cannot open %s"
  NotAvi,      // not the header layout of a recorded AVI: left untouched
};

struct AviFix {
  AviFixOutcome outcome;
  std::string message;  // to report when not empty
};

// Writes, little-endian: `us` at offset 32 (main header, microseconds per
// frame), 10 x us at 128 and 10,000,000 at 132 (first stream's scale and
// rate). Checks first that the file is a RIFF AVI whose main header and first
// (video) stream header sit at those places, so that another container is
// never overwritten.
AviFix FixAviFrameRate(const std::string& path, int32_t us);

}  // namespace orvanta
