// The line of text burnt into live and recorded frames: date and time to the millisecond,
// frame rate, clip frame number, detection figures and station names, built from the
// block's template `si_format` and drawn with the host's bitmap font.
#pragma once

#include <cstdint>
#include <string>

#include "detectfilter/pixel_format.h"
#include "detectfilter/zavipf.h"

namespace orvanta::detect {

// What the filter knows about the frame in one ring slot, filled when the slot is written.
struct FrameInfo {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int ms = 0;
  int trig_kind = 0;  // 0 none, 1 video, 2 audio, 3 timer, 4 manual
  int hits = 0;
  bool level_over = false;  // level >= dlev
  int level = 0;
  uint64_t stamp_sec = 0;
};

// State of the video input at the moment of drawing.
struct TextContext {
  int recorded = 0;  // clip frames handled so far
  double smoothed_period_ms = 0;
  int interval_ms = 0;   // between the last two input frames
  int length_limit = 0;  // clip length limit in frames; 0 or less = none
};

enum class TextMode { Preview, Capture };

// The line as characters, one per cell. Codes above 127 stand for characters the fonts do
// not hold: they take a cell and draw nothing.
std::string BuildTextLine(const DetectionBlock& block, const FrameInfo& info,
                          const TextContext& ctx, TextMode mode);

// Draws `line` on a frame of `format` (on the brightness, or the three colour bytes of RGB), with
// the block's font, size and baseline. Frames are top-down.
void RenderTextLine(const DetectionBlock& block, const PixelFormatInfo& format,
                    const std::string& line, uint8_t* frame);

// Both steps, as the filter does it for the live image and for each delivered clip frame.
void BurnText(const DetectionBlock& block, const PixelFormatInfo& format, const FrameInfo& info,
              const TextContext& ctx, TextMode mode, uint8_t* frame);

}  // namespace orvanta::detect
