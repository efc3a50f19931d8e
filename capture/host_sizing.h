// How the host sizes the detection filter's buffers from the block's settings, and the
// limits it enforces before allocating anything.
#pragma once

#include <cstdint>
#include <string>

#include "detectfilter/zavipf.h"

namespace orvanta::capture {

struct HostSizing {
  int32_t pixels = 0;       // cx x cy rounded up to a multiple of 4
  int64_t frame_bytes = 0;  // one frame buffer of the host's subtype
  int32_t ring_count = 0;   // fs_head + fs_diff + dmin + 15
  int32_t bands = 8;
  int32_t audio_chunk_bytes = 0;
  int32_t audio_chunk_count = 0;
  int32_t warmup = 0;
  double fps = 0;            // capped at 120 after the warm-up is taken from it
  bool has_weights = false;  // smspeed 1..6 chose averaging weights
  int32_t avr_keep = 0;
  int32_t avr_take = 0;
  std::string refusal;  // the message when the ring cannot be had; empty when it can
};

inline constexpr int64_t kRingBytesLimit = 2147483647;

// `audio` is false when the audio device's name begins with '-'.
HostSizing SizeHostBuffers(const DetectionBlock& block, bool audio, int smspeed);

// Clears the block's clip results and arming before a graph is built, and takes the
// warm-up, frame rate and averaging weights that the sizing chose.
void PrepareBlockForHosting(const HostSizing& sizing, DetectionBlock& block);

// Averaging weights for smspeed 1..6: (512 - m, 16384 x m) with m = 1, 2, 3, 5, 9, 17.
bool AveragingWeights(int smspeed, int32_t* keep, int32_t* take);

}  // namespace orvanta::capture
