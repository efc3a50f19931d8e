// The per-pixel loops of the frame path: detection rows, star-mask bands, peak hold. They are
// built twice (a baseline and an AVX2 build) and picked once per process by the CPU's features;
// the loops for the frames' pixel format are picked from a set once the format is known.
#pragma once

#include <cstddef>
#include <cstdint>

#include "detectfilter/pixel_format.h"

namespace orvanta::detect {

struct DetectArgs {
  const uint8_t* cur = nullptr;   // N, the frame being processed
  const uint8_t* ref = nullptr;   // R, `fs_diff` back
  const uint8_t* head = nullptr;  // P, `fs_head` back (N when missing)
  const uint8_t* mask = nullptr;
  uint32_t* avr = nullptr;
  uint32_t* avr2 = nullptr;  // null: no half-resolution sums
  uint8_t* hit_map = nullptr;
  int cx = 0;
  int cy = 0;
  int dlev = 0;
  int bolevel = 0;
  bool brightonly = false;
  uint32_t keep = 0;
  uint32_t take = 0;
  const int16_t* red_table = nullptr;  // T[v] for red_mode
};

// Largest difference (first pixel in row-major order on ties) and the hit count of some rows.
struct DetectResult {
  int max_d = 0;
  int64_t max_pos = -1;
  int64_t hits = 0;
};

// A pixel of the object path that passed the thresholds; handled afterwards in row-major order.
struct Candidate {
  int32_t index;
  int32_t n;
  int32_t d;
};
struct CandidateList {
  Candidate* data = nullptr;
  size_t size = 0;
  size_t capacity = 0;
};
void GrowCandidates(CandidateList& list);

struct StarMaskArgs {
  const uint32_t* avr = nullptr;
  const uint32_t* avr2 = nullptr;
  uint8_t* mask = nullptr;
  uint8_t* mask2 = nullptr;
  int cx = 0;
  int cy = 0;
  int rows_per_band = 0;
  uint32_t sm_level = 0;
  int sm_size = 0;
  // Row bookkeeping that lets the carry skip rows with marks on neither side (optional):
  // grid_marks[r + kStarRowMargin] is set when a stamp reaches row r of the work grid (the
  // carry clears it); mask_marks[y] is set while mask row y may hold star marks.
  uint8_t* grid_marks = nullptr;
  uint8_t* mask_marks = nullptr;
};
inline constexpr int kStarRowMargin = 6;  // stamps reach at most 5 rows past their centre

struct PeakArgs {
  const uint8_t* frame = nullptr;  // F, the clip frame being delivered
  uint8_t* peak = nullptr;         // S, the snapshot
  int cx = 0;
  int cy = 0;
  int text_first = 0;  // rows [text_first, text_last] hold the text line
  int text_last = -1;
  Planes planes;  // of the frames' format at cx x cy: where 4:2:0 colour samples lie
};

// The loops for frames of one pixel format; all null where a set has none for it.
struct FormatKernels {
  void (*detect_plain)(const DetectArgs&, int row0, int row1, DetectResult&) = nullptr;
  void (*detect_averaging)(const DetectArgs&, int row0, int row1, DetectResult&) = nullptr;
  void (*detect_object)(const DetectArgs&, int row0, int row1, DetectResult&,
                        CandidateList&) = nullptr;
  void (*peak_hold)(const PeakArgs&, int row0, int row1) = nullptr;
};

struct KernelSet {
  const char* name;
  // `red_mode`: brightness plus the red signal, for formats that carry it in pixel pairs.
  FormatKernels (*for_format)(const PixelFormatInfo& format, bool red_mode);
  // Full resolution: marks band `band` into mask2 (scratch: cx values), then carries it.
  void (*star_mark_full)(const StarMaskArgs&, int band, uint32_t* scratch);
  void (*star_carry_full)(const StarMaskArgs&, int band);
  void (*star_mark_half)(const StarMaskArgs&, int band, uint32_t* scratch);
  void (*star_carry_half)(const StarMaskArgs&, int band);
};

const KernelSet& BaselineKernels();
const KernelSet& Avx2Kernels();
// The best set this CPU runs.
const KernelSet& Kernels();

// Rows of band `band` of the star-mask pass, [first, last).
void StarBandRowsFull(const StarMaskArgs& a, int band, int& first, int& last);
void StarBandRowsHalf(const StarMaskArgs& a, int band, int& first, int& last);

}  // namespace orvanta::detect
