// The record shared by the station program and the replay filter plugin.
// Field order and widths are a contract between two separately built
// deliverables: the offsets below are frozen by compile-time checks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "detectfilter/zavipf.h"

namespace orvanta {

inline constexpr int kZaviprfVersion = 351;
inline constexpr const char* kZaviprfClassId = "{AAD951A3-7C1F-4F41-831F-02729BF861F5}";

struct ReplayBlock {
  int32_t field_step;
  int32_t field_odd;
  double clip_fps;
  int64_t replay_pos;
  int64_t frame_time;
  Guid clip_subtype;
  int32_t deinterace;
  int32_t clip_width;
  int32_t clip_height;
  int16_t bit_count;
  uint32_t compression;
  uint8_t* replay_snapshot;
  int32_t clip_pixels;
  int32_t clip_frame_bytes;
};

#define ORVANTA_AT(field, off) static_assert(offsetof(ReplayBlock, field) == (off), #field)
ORVANTA_AT(field_step, 0);
ORVANTA_AT(field_odd, 4);
ORVANTA_AT(clip_fps, 8);
ORVANTA_AT(replay_pos, 16);
ORVANTA_AT(frame_time, 24);
ORVANTA_AT(clip_subtype, 32);
ORVANTA_AT(deinterace, 48);
ORVANTA_AT(clip_width, 52);
ORVANTA_AT(clip_height, 56);
ORVANTA_AT(bit_count, 60);
ORVANTA_AT(compression, 64);
ORVANTA_AT(replay_snapshot, 72);
ORVANTA_AT(clip_pixels, 80);
ORVANTA_AT(clip_frame_bytes, 84);
#undef ORVANTA_AT
static_assert(sizeof(ReplayBlock) == 88);

}  // namespace orvanta
