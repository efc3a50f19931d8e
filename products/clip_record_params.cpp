// Reading the record's inputs from the block and the application parameters.
#include "app/app_params.h"
#include "app/text_utf.h"
#include "products/clip_record.h"

namespace orvanta {

ClipRecordInputs ClipRecordInputsFrom(const DetectionBlock& block, const AppParams& ap,
                                      int32_t tz_bias) {
  ClipRecordInputs in;
  in.trig_sec = block.trig_sec;
  in.trig_ms = block.trig_ms;
  in.trig_kind = block.trig_kind;
  in.clip_frames = block.clip_frames;
  in.trig_dlev = block.trig_dlev;
  in.late_frames = block.late_frames;
  in.fourcc = FieldUtf8(block.fourcc);
  in.fourcc_original = FieldUtf8(block.fourcc_original);
  // A damaged count must not read past the log.
  const int count = block.timelog_count < 0             ? 0
                    : block.timelog_count > kTimeLogMax ? kTimeLogMax
                                                        : block.timelog_count;
  in.timelog = std::span<const TimeLogEntry>(block.timelog, static_cast<size_t>(count));
  in.avg_time_per_frame = block.avg_time_per_frame;
  in.cx = block.cx;
  in.cy = block.cy;
  in.fps = block.fps;
  in.fs_head = block.fs_head;
  in.fs_tail = block.fs_tail;
  in.fs_diff = block.fs_diff;
  in.si_y0 = block.si_y0;
  in.si_on = block.si_on;
  in.si_fonty = block.si_fonty;
  in.font_scale = block.font_scale;
  in.dsize = block.dsize;
  in.si_utc = block.si_utc;
  in.filterinmode = block.filterinmode;
  in.rtspinmode = block.rtspinmode;
  in.interlace = ap.interlace;
  in.bbf = ap.bbf;
  in.dv_out_codec = FieldUtf8(ap.dv_out_codec);
  in.inputname = FieldUtf8(ap.inputname);
  in.ccode = FieldUtf8(ap.ccode);
  in.lid = FieldUtf8(block.lid);
  in.oname = FieldUtf8(ap.oname);
  in.cid = FieldUtf8(block.cid);
  in.cname = FieldUtf8(block.cname);
  in.lname = FieldUtf8(block.lname);
  in.hname = FieldUtf8(ap.hname);
  in.comment = FieldUtf8(ap.comment);
  in.lng = ap.lng;
  in.lat = ap.lat;
  in.alt = ap.alt;
  in.gioidh = ap.gioidh;
  in.tz_bias = tz_bias;
  return in;
}

}  // namespace orvanta
