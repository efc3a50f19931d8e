// Where a step or a seek takes the replay: the position (100-ns units) and, with "DeInterlace
// Stepping" on, which field is shown. Two field steps make one frame step; "AP.bbf" says
// whether the bottom field comes first, i.e. whether the frame changes on the way to field 1
// or on the way back to field 0.
#pragma once

#include <cstdint>

#include "replayfilter/zaviprf.h"

namespace orvanta::replay {

// The block's replay_pos, field_step and field_odd are moved; deinterace and frame_time read.
void StepForward(ReplayBlock& rb, int bbf);
void StepBack(ReplayBlock& rb, int bbf);
// The position `ms` milliseconds in; with deinterlacing, the field of the field index there.
void SeekPosition(ReplayBlock& rb, int64_t ms);
// A position kept inside the clip: from 0 to the start of its last frame.
int64_t ClampToClip(int64_t pos, int64_t duration, int64_t frame_time);

}  // namespace orvanta::replay
