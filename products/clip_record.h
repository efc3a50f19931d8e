// The XML record written beside every clip: trigger time, site, frame
// geometry and rate, detection settings, source and the per-frame time log.
// Lines end with CR LF; the text is UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "detectfilter/zavipf.h"

namespace orvanta {

struct AppParams;

struct ClipRecordInputs {
  // Clip events and results of the block.
  uint64_t trig_sec = 0;
  int32_t trig_ms = 0;
  int32_t trig_kind = 0;
  int32_t clip_frames = 0;
  int32_t trig_dlev = 0;
  int32_t late_frames = 0;
  std::string fourcc;
  std::string fourcc_original;
  std::span<const TimeLogEntry> timelog;
  int32_t avg_time_per_frame = 0;  // source frame duration, 100 ns; <= 0 unknown
  // Detection settings.
  int32_t cx = 0, cy = 0;
  double fps = 0;
  int32_t fs_head = 0, fs_tail = 0, fs_diff = 0;
  int32_t si_y0 = 0, si_on = 0, si_fonty = 0, font_scale = 1;
  int32_t dsize = 0;
  int32_t si_utc = 0, filterinmode = 0, rtspinmode = 0;
  // Application settings and site profile.
  int32_t interlace = 0, bbf = 0;
  std::string dv_out_codec, inputname;
  std::string ccode, lid, oname, cid, cname, lname, hname, comment;
  double lng = 0, lat = 0, alt = 0, gioidh = 0;
  int32_t tz_bias = 0;  // seconds west of UTC
};

// Gathers the inputs at the moment of writing. The time log refers to the
// block's own memory.
ClipRecordInputs ClipRecordInputsFrom(const DetectionBlock& block, const AppParams& ap,
                                      int32_t tz_bias);

struct FrameRateChoice {
  double rate = 0;
  int32_t avi_us = 0;  // > 0: correct the AVI header to this many microseconds per frame
};

// The setting, else the source's nominal rate when the measurement agrees
// within one frame per second, else the measured rate (with an AVI
// correction), else 19.99. Equal first and last stamps leave the rate
// unmeasured: the nominal rate is then taken as it is.
FrameRateChoice ChooseFrameRate(std::span<const TimeLogEntry> timelog, double fps_setting,
                                int32_t avg_time_per_frame);

// The whole record for the given frame rate.
std::string FormatClipRecord(const ClipRecordInputs& in, double rate);

struct ClipRecordOutcome {
  bool written = false;  // false: the record could not be created (not reported)
  std::string message;   // AVI correction trouble to report ("cannot open %s")
  FrameRateChoice rate;
};

// Works out the rate, corrects the AVI header when needed, then creates or
// overwrites the record.
ClipRecordOutcome WriteClipRecord(const std::string& xml_path, const std::string& video_path,
                                  const ClipRecordInputs& in);

// The clip's video path with its extension (last four characters) replaced.
std::string ClipProductPath(const std::string& video_path, const std::string& suffix);

}  // namespace orvanta
