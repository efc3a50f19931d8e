// The record shared by the station program and the detection filter plugin.
// Field order and widths are a contract between two separately built
// deliverables: the offsets below are frozen by compile-time checks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvanta {

// Media subtype GUID as the host names it (FOURCC GUIDs and the RGB ones).
struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16);

// One entry per recorded frame of a clip.
struct TimeLogEntry {
  uint64_t sec;
  int32_t ms;
  int32_t gap_ms;  // ms between this input frame's arrival and the previous one
};
static_assert(sizeof(TimeLogEntry) == 16);

inline constexpr int kZavipfVersion = 473;
inline constexpr int kRingMax = 500;
inline constexpr int kTimeLogMax = 2000;
inline constexpr int kClipEndMessage = 1225;
// The "ClipEnd" element message carries the finished clip's results, copied when the clip
// ended, since detection goes on at once and the next clip reuses the block: the block
// itself, and the hit map, average map, mask and snapshot it pointed to (byte arrays), and
// the number of clip frames that left on the capture output.
inline constexpr const char* kClipEndBlock = "block";
inline constexpr const char* kClipEndHitMap = "hit-map";
inline constexpr const char* kClipEndAvrMap = "avr-map";
inline constexpr const char* kClipEndMask = "mask";
inline constexpr const char* kClipEndSnapshot = "snapshot";
inline constexpr const char* kClipEndDelivered = "delivered";
// Class and interface ids of the detection filter, kept as metadata.
inline constexpr const char* kZavipfClassId = "{5BB5B878-3EFF-4040-8404-290A82DC6CCE}";
inline constexpr const char* kZavipfInterfaceId = "{F3726E73-627D-43EA-A019-00B130FF38A8}";

struct DetectionBlock {
  // Results and clip state.
  int32_t rec_remain;
  int32_t hits;
  int32_t level;
  int32_t apeak;
  int32_t warmup;
  int32_t snap_valid;
  int32_t end_status;
  int32_t clip_started;
  int32_t deliver_errors;
  uint64_t trig_sec;
  int32_t trig_dlev;
  int32_t clip_frames;
  int32_t trig_kind;
  int32_t timer_rec;

  // Sizes and buffers, set by the host before attaching.
  int32_t pixels;
  int32_t frame_bytes;
  int32_t ring_count;
  int32_t audio_chunk_bytes;
  int32_t audio_chunk_count;
  uint8_t* frames[kRingMax];
  uint8_t* audio_buffer;
  uint8_t* mask_base;
  uint8_t* mask;
  int32_t mask_flip;
  uint8_t* mask2_base;
  uint8_t* mask2;
  uint8_t* hit_map;
  uint32_t* avr_map;
  uint8_t* avr_map2;
  uint8_t* snapshot;
  uint8_t* obj_map;

  // Host control and format.
  int32_t host_thread_id;
  int32_t audio_48k;
  Guid host_subtype;
  Guid input_subtype;
  int32_t detect_on;
  int32_t force_rec;
  int32_t preview_off;
  int32_t filterinmode;
  int32_t rtspinmode;
  int32_t continuousdetection;
  int32_t ignoredf;
  int32_t cx;
  int32_t cy;
  double fps;
  int32_t fs_head;
  int32_t fs_tail;
  int32_t fs_diff;
  int32_t clip_no;
  int32_t si_area;
  int32_t si_maskw;
  int32_t si_maskb;
  int32_t si_y0;
  int32_t si_cdate;
  int32_t si_utc;
  int64_t time_offset;
  int32_t si_on;
  const uint8_t* font;
  int32_t si_fontx;
  int32_t si_fonty;
  int32_t si_offset;
  int32_t dsize;
  int32_t dlev;
  int32_t alev;
  int32_t atrigger;
  int32_t dmin;
  int32_t dminsize;
  int32_t dmaxsec;
  int32_t nt_on;
  int32_t nt_ratio;
  int32_t nt_delta;
  int32_t nt_min;
  int32_t sm_on;
  int32_t sm_on2;
  int32_t sm_level;
  int32_t sm_size;
  int32_t avr_keep;
  int32_t avr_take;
  int32_t so_on;
  int32_t so_on2;
  int32_t so_vel;
  int32_t so_size;
  int32_t brightonly;
  int32_t bolevel;
  int32_t im_snap;
  int32_t im_peak;
  int32_t im_map;
  int32_t live_shown;

  // Text, identification and logs (UTF-16, zero-terminated).
  char16_t lid[13];
  char16_t cid[4];
  char16_t cname[32];
  char16_t lname[32];
  char16_t si_format[256];
  int32_t late_frames;
  int32_t trig_ms;
  int32_t bands;
  int32_t red_mode;
  char16_t fourcc[10];
  char16_t fourcc_original[8];
  char16_t format_error[512];
  int32_t output_hold;
  int32_t timelog_count;
  TimeLogEntry timelog[kTimeLogMax];
  int32_t avg_time_per_frame;
  int32_t font_scale;
};

// Frozen layout: a change here breaks every host and plugin built before it.
#define ORVANTA_AT(field, off) static_assert(offsetof(DetectionBlock, field) == (off), #field)
ORVANTA_AT(rec_remain, 0);
ORVANTA_AT(deliver_errors, 32);
ORVANTA_AT(trig_sec, 40);
ORVANTA_AT(timer_rec, 60);
ORVANTA_AT(pixels, 64);
ORVANTA_AT(audio_chunk_count, 80);
ORVANTA_AT(frames, 88);
ORVANTA_AT(audio_buffer, 4088);
ORVANTA_AT(mask_base, 4096);
ORVANTA_AT(mask, 4104);
ORVANTA_AT(mask_flip, 4112);
ORVANTA_AT(mask2_base, 4120);
ORVANTA_AT(obj_map, 4168);
ORVANTA_AT(host_thread_id, 4176);
ORVANTA_AT(host_subtype, 4184);
ORVANTA_AT(input_subtype, 4200);
ORVANTA_AT(detect_on, 4216);
ORVANTA_AT(cy, 4248);
ORVANTA_AT(fps, 4256);
ORVANTA_AT(fs_head, 4264);
ORVANTA_AT(si_utc, 4300);
ORVANTA_AT(time_offset, 4304);
ORVANTA_AT(si_on, 4312);
ORVANTA_AT(font, 4320);
ORVANTA_AT(si_fontx, 4328);
ORVANTA_AT(dsize, 4340);
ORVANTA_AT(live_shown, 4444);
ORVANTA_AT(lid, 4448);
ORVANTA_AT(cid, 4474);
ORVANTA_AT(cname, 4482);
ORVANTA_AT(lname, 4546);
ORVANTA_AT(si_format, 4610);
ORVANTA_AT(late_frames, 5124);
ORVANTA_AT(red_mode, 5136);
ORVANTA_AT(fourcc, 5140);
ORVANTA_AT(fourcc_original, 5160);
ORVANTA_AT(format_error, 5176);
ORVANTA_AT(output_hold, 6200);
ORVANTA_AT(timelog_count, 6204);
ORVANTA_AT(timelog, 6208);
ORVANTA_AT(avg_time_per_frame, 38208);
ORVANTA_AT(font_scale, 38212);
#undef ORVANTA_AT
static_assert(sizeof(DetectionBlock) == 38216);

}  // namespace orvanta
