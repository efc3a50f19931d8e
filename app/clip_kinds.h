// How a clip ended and what started it: the values of the block's end_status and
// trig_kind, named once for every part that reads them.
#pragma once

#include <cstdint>

namespace orvanta {

// DetectionBlock::end_status.
enum ClipEnd : int32_t {
  kClipSlowObjectVeto = -2,  // ended by the slow-object rule: its video is not kept
  kClipLengthLimit = -1,     // cut at the longest clip length
  kClipNone = 0,             // no clip ended (or it is still being recorded)
  kClipFinished = 1,         // a complete clip
};

// DetectionBlock::trig_kind.
enum TriggerKind : int32_t {
  kTriggerNone = 0,
  kTriggerVideo = 1,
  kTriggerAudio = 2,
  kTriggerTimer = 3,
  kTriggerByHand = 4,
};

}  // namespace orvanta
