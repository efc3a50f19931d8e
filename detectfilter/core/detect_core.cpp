#include "detectfilter/core/detect_core.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "detectfilter/core/frame_clock.h"
#include "detectfilter/core/noise_tracker.h"
#include "detectfilter/core/object_tracker.h"
#include "detectfilter/core/pixel_kernels.h"
#include "detectfilter/core/preview_overlay.h"
#include "detectfilter/core/superimposed_text.h"
#include "detectfilter/core/worker_pool.h"
#include "detectfilter/shared_field.h"

namespace orvanta::detect {

FrameTime SystemClock() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return FrameTime{ms / 1000, static_cast<int32_t>(ms % 1000)};
}

namespace {

constexpr int64_t kDefaultDuration = 333667;  // 29.97 frames per second
constexpr int kMaxBands = 64;

template <size_t N>
void WriteText(char16_t (&field)[N], const char* text) {
  size_t i = 0;
  for (; text[i] != 0 && i + 1 < N; ++i) field[i] = static_cast<char16_t>(text[i]);
  field[i] = 0;
}

struct SlotMeta {
  SampleTimes times;
  size_t length = 0;
};

}  // namespace

struct DetectCore::State {
  explicit State(int threads) : pool(threads) {}

  Clock clock;
  CoreOutputs outputs;
  DetectionBlock* b = nullptr;
  bool running = false;

  // Taken at attach.
  uint8_t* frames[kRingMax] = {};
  int ring_count = 0;
  size_t frame_bytes = 0;
  uint8_t* mask = nullptr;
  uint8_t* mask2 = nullptr;
  uint8_t* hit_map = nullptr;
  uint32_t* avr_map = nullptr;
  uint32_t* avr_map2 = nullptr;
  uint8_t* snapshot = nullptr;
  uint8_t* obj_map = nullptr;
  int cx = 0;
  int cy = 0;
  size_t pixels = 0;  // cx x cy
  double fps = 20;
  int limit = 0;

  // Format, and the loops picked for it.
  PixelFormat format = PixelFormat::Null;
  FormatKernels kernels;
  PaintMaskFn paint_mask = nullptr;
  Planes planes;
  size_t image_size = 0;
  int64_t remembered_duration = 0;
  int64_t duration = kDefaultDuration;

  // Ring and clip.
  int pos = 0;
  bool wrapped = false;
  SlotMeta meta[kRingMax];
  FrameInfo info[kRingMax];
  ArrivalHistory arrivals;
  int consec = 0;
  int back = 0;
  int recorded = 0;
  int skip = 0;
  // Set by Restart: the arrival history restarts with the clock of the next frame.
  bool restart_arrivals = false;
  int64_t out_start = 0, out_stop = 0, media_start = 0, media_stop = 0;

  NoiseTracker noise;
  ObjectTracker objects;
  WorkerPool pool;
  DetectResult band_results[kMaxBands];
  CandidateList band_candidates[kMaxBands];
  std::vector<uint32_t> star_scratch;
  std::vector<uint8_t> star_grid_marks;  // see StarMaskArgs
  std::vector<uint8_t> star_mask_marks;
  int16_t red_table[256];
  // Grid of the last star-mask pass; mask2 is cleaned when it changes.
  int star_grid_key[4] = {-1, -1, -1, -1};

  ~State() {
    pool.Wait();
    for (auto& list : band_candidates) std::free(list.data);
  }

  int Bands() const {
    int bands = b->bands;
    if (bands < 1 || bands > kMaxBands) bands = (cy >= 1081 && cy % 16 == 0) ? 16 : 8;
    return bands;
  }
  // The slot k frames back from the current one, or -1 when it does not exist yet.
  int SlotBack(int k) const {
    if (k < 0 || k >= ring_count) return -1;
    int slot = pos - k;
    if (slot < 0 && wrapped) slot += ring_count;
    return slot;
  }
  // Frames are processed only with every buffer in place and an accepted format that fits the
  // ring's buffers; otherwise they pass to the preview.
  bool Ready() const {
    return b != nullptr && ring_count > 0 && mask != nullptr && hit_map != nullptr &&
           avr_map != nullptr && obj_map != nullptr && pixels > 0 && image_size > 0 &&
           image_size <= frame_bytes;
  }
  bool Deliver(const std::function<bool(const OutFrame&)>& out, const OutFrame& frame) const {
    if (LoadShared(b->output_hold) || !out) return true;
    return out(frame);
  }

  void Process(uint8_t* frame, size_t bytes, const SampleTimes& times);
  void CopyIntoRing(uint8_t* slot, const uint8_t* frame, size_t length);
  struct Detection {
    int max_d = 0;
    int64_t max_pos = -1;
    int64_t hits = 0;
    int veto = 0;
  };
  Detection Detect(int cur_slot);
  void DetectObjects(const DetectArgs& args, Detection& out);
  void Record(bool veto);
  void RecordFrame(int slot);
  void EndClip(bool veto);
  void RestartOutputClock();
  void StartStarMask();
  void PeakHold(int slot);
  FrameInfo InfoFor(int hits, int level) const;
  void TextRows(int& first, int& last) const;
};

DetectCore::DetectCore(Clock clock, int worker_threads)
    : s_(std::make_unique<State>(worker_threads < 0 ? DefaultWorkerThreads() : worker_threads)) {
  s_->clock = std::move(clock);
  for (int v = 0; v < 256; ++v) {
    s_->red_table[v] = static_cast<int16_t>(std::lround(1.402 * (v - 128)));
  }
}

DetectCore::~DetectCore() = default;

void DetectCore::SetOutputs(CoreOutputs outputs) {
  s_->outputs = std::move(outputs);
}

void DetectCore::SetClock(Clock clock) {
  s_->clock = std::move(clock);
}

int DetectCore::AttachBlock(DetectionBlock* block) {
  State& s = *s_;
  if (block == nullptr) return kZavipfVersion;
  s.pool.Wait();
  s.b = block;
  s.running = false;
  s.mask = block->mask;
  s.mask2 = block->mask2;
  s.hit_map = block->hit_map;
  s.avr_map = block->avr_map;
  s.avr_map2 = reinterpret_cast<uint32_t*>(block->avr_map2);
  s.snapshot = block->snapshot;
  s.obj_map = block->obj_map;
  s.frame_bytes = block->frame_bytes > 0 ? static_cast<size_t>(block->frame_bytes) : 0;
  s.ring_count = block->ring_count;
  if (s.ring_count < 0) s.ring_count = 0;
  if (s.ring_count > kRingMax - 1) s.ring_count = kRingMax - 1;
  for (int k = 0; k < s.ring_count; ++k) {
    s.frames[k] = block->frames[k];
    if (s.frames[k] == nullptr) s.ring_count = 0;
  }
  WriteText(block->fourcc, "");
  WriteText(block->format_error, "");
  s.cx = block->cx > 0 ? block->cx : 0;
  s.cy = block->cy > 0 ? block->cy : 0;
  s.pixels = static_cast<size_t>(s.cx) * s.cy;
  if (block->pixels < 0 || s.pixels > static_cast<size_t>(block->pixels)) s.pixels = 0;
  s.fps = block->fps < 1 ? 20 : block->fps;
  s.limit = static_cast<int>(block->dmaxsec * s.fps);
  // The maps hold `pixels` entries (the picture rounded up to a multiple of 4).
  const size_t map_entries = s.pixels > 0 ? static_cast<size_t>(block->pixels) : 0;
  if (s.avr_map != nullptr) std::memset(s.avr_map, 0, map_entries * sizeof(uint32_t));
  if (s.mask != nullptr) {
    for (size_t i = 0; i < map_entries; ++i) s.mask[i] &= 3;
  }
  s.pos = 0;
  s.wrapped = false;
  s.recorded = 0;
  s.noise.Reset(s.fps);
  s.objects.Reset();
  s.objects.ForgetMap();
  block->avg_time_per_frame = 0;
  return kZavipfVersion;
}

bool DetectCore::SetMediaType(const VideoFormat& format) {
  State& s = *s_;
  int64_t duration = format.frame_duration;
  if (duration <= 0) {
    duration = s.remembered_duration;
  } else {
    s.remembered_duration = duration;
  }
  s.arrivals.set_smoothed_period_ms(
      s.remembered_duration > 0 ? static_cast<double>(s.remembered_duration / 10000) : 50.0);
  const int height = format.height < 0 ? -format.height : format.height;
  const PixelFormatInfo& info = Info(format.subtype);
  const FormatKernels kernels = Kernels().for_format(info, s.b != nullptr && s.b->red_mode != 0);
  const PaintMaskFn paint_mask = PaintMaskFor(info);
  const bool taken = info.filter_input && kernels.detect_plain != nullptr && paint_mask != nullptr;
  if (s.b != nullptr) {
    s.b->avg_time_per_frame = static_cast<int32_t>(s.remembered_duration);
    if (format.width != s.b->cx || height != s.b->cy) {
      char text[512];
      std::snprintf(text, sizeof text, "Xi %d x Yi %d not match %d x %d", s.b->cx, s.b->cy,
                    format.width, format.height);
      WriteText(s.b->format_error, text);
      return false;
    }
    WriteText(s.b->fourcc, !taken                             ? ""
                           : (s.b->red_mode && info.red_name) ? info.red_name
                                                              : info.fourcc);
  }
  if (!taken) return false;
  if (s.b != nullptr) s.b->input_subtype = info.guid;
  s.format = format.subtype;
  s.kernels = kernels;
  s.paint_mask = paint_mask;
  s.planes = PlanesOf(format.subtype, format.width, height);
  s.image_size = static_cast<size_t>(FrameBytes(format.subtype, int64_t{format.width} * height));
  s.duration = duration < 100000 ? kDefaultDuration : duration;
  return true;
}

int64_t DetectCore::frame_duration() const {
  return s_->duration;
}
PixelFormat DetectCore::format() const {
  return s_->format;
}
size_t DetectCore::image_size() const {
  return s_->image_size;
}
bool DetectCore::running() const {
  return s_->running;
}

void DetectCore::Run() {
  State& s = *s_;
  s.pool.Wait();
  if (s.b == nullptr) return;
  DetectionBlock& b = *s.b;
  s.kernels = Kernels().for_format(Info(s.format), b.red_mode != 0);  // red_mode as it is now
  StoreShared(b.rec_remain, 0);
  StoreShared(b.level, 0);
  StoreShared(b.end_status, 0);
  b.snap_valid = 0;
  StoreShared(b.clip_started, 0);
  b.deliver_errors = 0;
  b.late_frames = 0;
  StoreShared(b.apeak, 0);
  s.consec = 0;
  s.recorded = 0;
  s.skip = 0;
  s.pos = 0;
  s.wrapped = false;
  s.restart_arrivals = false;
  s.RestartOutputClock();
  if (!s.Ready()) return;
  if (b.sm_on) {
    // The neighbourhood sums do not reach the two outermost rows and columns.
    for (int y = 0; y < s.cy; ++y) {
      uint8_t* row = s.mask + static_cast<size_t>(y) * s.cx;
      if (y < 2 || y >= s.cy - 2) {
        for (int x = 0; x < s.cx; ++x) row[x] |= 1;
      } else {
        for (int x = 0; x < 2 && x < s.cx; ++x) row[x] |= 1;
        for (int x = s.cx - 2; x < s.cx; ++x) row[x] |= 1;
      }
    }
  }
  // Every frame here is top-down, so a mask painted on the picture already lies on the rows
  // of an RGB8 frame: the flag is only acknowledged.
  if (b.mask_flip && s.format == PixelFormat::RGB8) b.mask_flip = 0;
  s.arrivals.Restart(StationTime(s.clock(), b.time_offset, b.si_offset));
  if (b.im_map) std::memset(s.hit_map, 0, s.pixels);
  if (b.im_peak && s.snapshot != nullptr) std::memset(s.snapshot, 0, s.frame_bytes);
  // Work buffers of unknown contents: the star-mask work rows and the object map.
  if (s.mask2 != nullptr) {
    uint8_t* base = b.mask2_base != nullptr ? b.mask2_base : s.mask2;
    size_t bytes = b.mask2_base != nullptr ? s.pixels + 12 * static_cast<size_t>(s.cx) : s.pixels;
    std::memset(base, 0, bytes);
  }
  s.star_grid_key[0] = -1;
  s.objects.ForgetMap();
  s.running = true;
}

void DetectCore::Stop() {
  State& s = *s_;
  s.pool.Wait();
  if (s.b == nullptr || s.b->snap_valid != 0 || s.snapshot == nullptr) return;
  int slot = s.SlotBack(1);  // the newest frame written
  if (slot < 0) return;
  size_t bytes = s.meta[slot].length < s.frame_bytes ? s.meta[slot].length : s.frame_bytes;
  std::memcpy(s.snapshot, s.frames[slot], bytes);
  s.b->snap_valid = 1;
}

void DetectCore::EndOfStream() {
  State& s = *s_;
  s.pool.Wait();
  if (!s.running || s.b == nullptr || LoadShared(s.b->rec_remain) < 1) return;
  DetectionBlock& blk = *s.b;
  // The ring's frames after the last one delivered, oldest first, each with a time-log
  // entry of its own stamp as no later input frame will bring one.
  for (int k = s.back - 2; k >= 0; --k) {
    const int slot = s.SlotBack(k + 1);
    if (blk.timelog_count >= 0 && blk.timelog_count < kTimeLogMax - 1 && slot >= 0) {
      blk.timelog[blk.timelog_count] =
          TimeLogEntry{s.info[slot].stamp_sec, s.info[slot].ms, s.arrivals.interval_ms()};
      ++blk.timelog_count;
    }
    s.RecordFrame(slot);
  }
  StoreShared(blk.rec_remain, 0);
  s.EndClip(false);
}

void DetectCore::Restart() {
  State& s = *s_;
  if (!s.running || s.b == nullptr) return;
  EndOfStream();
  s.pos = 0;
  s.wrapped = false;
  s.consec = 0;
  s.skip = 0;
  s.objects.Reset();
  s.objects.ForgetMap();
  s.restart_arrivals = true;
}

bool DetectCore::ReceiveVideo(uint8_t* frame, size_t bytes, const SampleTimes& times) {
  State& s = *s_;
  if (!s.running || s.b == nullptr) {
    if (s.b != nullptr && LoadShared(s.b->output_hold)) return true;
    return s.outputs.preview ? s.outputs.preview(OutFrame{frame, bytes, times}) : true;
  }
  s.Process(frame, bytes, times);
  return true;
}

void DetectCore::State::TextRows(int& first, int& last) const {
  const int y0 = cy - b->si_y0 - 1;
  const int scale = b->font_scale > 0 ? b->font_scale : 1;
  first = y0 - scale * b->si_fonty + 1;
  last = y0;
}

FrameInfo DetectCore::State::InfoFor(int hits, int level) const {
  FrameInfo info;
  const FrameTime stamp = arrivals.stamp();
  const CalendarTime t = BreakDown(stamp.sec);
  info.year = t.year;
  info.month = t.month;
  info.day = t.day;
  info.hour = t.hour;
  info.minute = t.minute;
  info.second = t.second;
  info.ms = stamp.ms;
  if (LoadShared(b->force_rec)) {
    info.trig_kind = LoadShared(b->timer_rec) ? 3 : 4;
  } else if (hits >= b->dsize) {
    info.trig_kind = 1;
  } else if (LoadShared(b->detect_on) && b->atrigger && LoadShared(b->apeak) >= b->alev) {
    info.trig_kind = 2;
  }
  info.hits = hits;
  info.level_over = level >= b->dlev;
  info.level = level;
  info.stamp_sec = static_cast<uint64_t>(stamp.sec);
  return info;
}

void DetectCore::State::Process(uint8_t* frame, size_t bytes, const SampleTimes& times) {
  DetectionBlock& blk = *b;
  // The live image gets overlays only when it holds a whole picture.
  const bool live_whole = bytes >= image_size;
  const int paint = blk.si_maskb ? 1 : (blk.si_maskw ? 254 : 0);

  if (blk.sm_on2 && avr_map2 != nullptr) std::memset(avr_map2, 0, pixels);

  // Into the ring.
  const int cur = pos;
  const size_t length = bytes < frame_bytes ? bytes : frame_bytes;
  CopyIntoRing(frames[cur], frame, length);
  if (length < image_size) std::memset(frames[cur] + length, 0, image_size - length);
  meta[cur] = SlotMeta{times, length};

  // Time keeping and the time-log entry (it counts only if the frame joins a clip).
  if (restart_arrivals) {
    arrivals.Restart(StationTime(clock(), blk.time_offset, blk.si_offset));
    restart_arrivals = false;
  }
  arrivals.Arrive(StationTime(clock(), blk.time_offset, blk.si_offset));
  const FrameTime stamp = arrivals.stamp();
  if (blk.timelog_count >= 0 && blk.timelog_count < kTimeLogMax) {
    blk.timelog[blk.timelog_count] =
        TimeLogEntry{static_cast<uint64_t>(stamp.sec), stamp.ms, arrivals.interval_ms()};
  }

  // Detection, level, skip, warm-up and noise tracking.
  Detection det = Detect(cur);
  if (!blk.so_on && det.max_d != 0 && det.max_pos >= 0) hit_map[det.max_pos] = 255;
  int level = det.max_d < 0 ? 0 : (det.max_d > 255 ? 255 : det.max_d);
  if (level == 0 && blk.ignoredf) skip = 4;
  // The host may set warm-up again (Preview) or clear it (Stop) at any time.
  const int32_t warmup = LoadShared(blk.warmup);
  if (warmup < 4 && skip == 0) {
    noise.Follow(level);
    if (blk.nt_on) blk.dlev = noise.Dlev(blk.nt_ratio, blk.nt_delta, blk.nt_min);
  }
  int hits = det.hits > INT32_MAX ? INT32_MAX : static_cast<int>(det.hits < 0 ? 0 : det.hits);
  if (warmup != 0) {
    if (warmup > 0) StoreShared(blk.warmup, warmup - 1);
    hits = 0;
  }
  if (skip != 0) {
    --skip;
    level = 0;
    hits = 0;
  }
  StoreShared(blk.level, level);
  StoreShared(blk.hits, hits);
  // The slot's record is complete now, so a clip frame delivered from this very slot already
  // carries its own figures.
  info[cur] = InfoFor(hits, level);

  // Clip decision.
  const bool detecting =
      LoadShared(blk.force_rec) || (LoadShared(blk.detect_on) && hits >= blk.dsize);
  const bool veto = det.veto != 0;
  if (veto) {
    StoreShared(blk.rec_remain, 0);
    consec = 0;
  } else if (!detecting) {
    if (LoadShared(blk.rec_remain) < 1) {
      consec = 0;
    } else {
      StoreShared(blk.rec_remain, LoadShared(blk.rec_remain) - 1);
    }
  } else if (LoadShared(blk.rec_remain) == 0) {
    ++consec;
    if (consec >= blk.dmin || (blk.dminsize != 0 && hits >= blk.dminsize)) {
      back = blk.fs_head + consec;
      StoreShared(blk.rec_remain, blk.fs_tail + blk.fs_head + consec);
      StoreShared(blk.end_status, 0);  // the clip now recording has not ended
      blk.trig_sec = static_cast<uint64_t>(stamp.sec);
      blk.trig_ms = stamp.ms;
      StoreShared(blk.clip_started, 1);
    }
  } else {
    StoreShared(blk.rec_remain, blk.fs_tail + back);
  }
  Record(veto);
  const bool first_clip_frame = recorded == 1;

  // Idle work. The mask is painted before the star workers rewrite its marks.
  if (live_whole && (blk.si_area || paint != 0)) {
    paint_mask(frame, mask, pixels, paint, blk.si_area != 0);
  }
  if (LoadShared(blk.rec_remain) < 1 || (limit > 0 && recorded >= limit)) {
    if (!LoadShared(blk.clip_started)) std::memset(hit_map, 0, pixels);
    if (blk.sm_on && mask2 != nullptr) StartStarMask();
  }

  // Preview overlays on the live image.
  if (live_whole) {
    if (blk.si_on) {
      TextContext ctx{recorded, arrivals.smoothed_period_ms(), arrivals.interval_ms(), limit};
      BurnText(blk, Info(format), info[cur], ctx, TextMode::Preview, frame);
    }
    if (first_clip_frame && (blk.im_peak || blk.im_snap) && snapshot != nullptr) {
      std::memcpy(snapshot, frame, image_size);
      blk.snap_valid = 1;
    }
    if (blk.sm_on && blk.so_on && blk.so_on2 && blk.live_shown) {
      DrawObjectBoxes(frame, Info(format), cx, objects);
    }
  }
  if (!blk.preview_off) Deliver(outputs.preview, OutFrame{frame, bytes, times});

  if (++pos >= ring_count) {
    pos = 0;
    wrapped = true;
  }
  pool.Wait();
}

// Large frames are copied by all cores: one core alone does not reach the memory's speed.
void DetectCore::State::CopyIntoRing(uint8_t* slot, const uint8_t* frame, size_t length) {
  constexpr size_t kPiece = 1 << 20;
  const int pieces = static_cast<int>((length + kPiece - 1) / kPiece);
  if (pieces < 2 || pool.threads() == 0) {
    std::memcpy(slot, frame, length);
    return;
  }
  pool.Run(pieces, [=](int k) {
    const size_t begin = static_cast<size_t>(k) * kPiece;
    const size_t end = begin + kPiece < length ? begin + kPiece : length;
    std::memcpy(slot + begin, frame + begin, end - begin);
  });
}

DetectCore::State::Detection DetectCore::State::Detect(int cur_slot) {
  DetectionBlock& blk = *b;
  Detection out;
  const int ref_slot = SlotBack(blk.fs_diff);
  const int head_slot = SlotBack(blk.fs_head);
  DetectArgs a;
  a.cur = frames[cur_slot];
  a.ref = ref_slot >= 0 ? frames[ref_slot] : nullptr;
  a.head = head_slot >= 0 ? frames[head_slot] : a.cur;
  a.mask = mask;
  a.avr = avr_map;
  a.avr2 = blk.sm_on2 ? avr_map2 : nullptr;
  a.hit_map = hit_map;
  a.cx = cx;
  a.cy = cy;
  a.dlev = blk.dlev;
  a.bolevel = blk.bolevel;
  a.brightonly = blk.brightonly != 0;
  a.keep = static_cast<uint32_t>(blk.avr_keep);
  a.take = static_cast<uint32_t>(blk.avr_take);
  a.red_table = red_table;

  if (blk.so_on) {
    DetectObjects(a, out);
    return out;
  }
  if (a.ref == nullptr) return out;
  // The plain and averaging paths work on every row; splitting them at even rows keeps each
  // 2x2 block sum within one task, and merging in row order keeps the first largest difference.
  const bool averaging = blk.sm_on || blk.brightonly;
  const FormatKernels& k = kernels;
  int tasks = Bands();
  if (tasks > cy / 2) tasks = cy / 2 > 0 ? cy / 2 : 1;
  const int rows = ((cy / tasks) + 1) & ~1;
  pool.Run(tasks, [&, rows](int band) {
    int row0 = band * rows;
    int row1 = band == tasks - 1 ? cy : row0 + rows;
    if (row1 > cy) row1 = cy;
    band_results[band] = DetectResult{};
    if (row0 >= row1) return;
    if (averaging) {
      k.detect_averaging(a, row0, row1, band_results[band]);
    } else {
      k.detect_plain(a, row0, row1, band_results[band]);
    }
  });
  for (int band = 0; band < tasks; ++band) {
    const DetectResult& r = band_results[band];
    if (r.max_d > out.max_d) {
      out.max_d = r.max_d;
      out.max_pos = r.max_pos;
    }
    out.hits += r.hits;
  }
  return out;
}

void DetectCore::State::DetectObjects(const DetectArgs& a, Detection& out) {
  DetectionBlock& blk = *b;
  ObjectFrame f{obj_map, hit_map, cx, cy, blk.so_size, blk.dsize, blk.so_vel};
  objects.PrepareMap(f);
  if (a.ref != nullptr) {
    const FormatKernels& k = kernels;
    const int bands = Bands();
    const int rows = cy / bands;
    pool.Run(bands, [&, rows](int band) {
      band_results[band] = DetectResult{};
      band_candidates[band].size = 0;
      k.detect_object(a, band * rows, band * rows + rows, band_results[band],
                      band_candidates[band]);
    });
    // Candidates go through the object table in row-major order, so the result does not depend
    // on which band finished first.
    for (int band = 0; band < bands; ++band) {
      DetectResult& r = band_results[band];
      const CandidateList& list = band_candidates[band];
      for (size_t c = 0; c < list.size; ++c) {
        const Candidate& cand = list.data[c];
        if (!objects.Candidate(f, cand.index, cand.n)) continue;
        ++r.hits;
        if (cand.d > r.max_d || (cand.d == r.max_d && r.max_pos >= 0 && cand.index < r.max_pos)) {
          r.max_d = cand.d;
          r.max_pos = cand.index;
        }
      }
      if (band == 0 || r.max_d > out.max_d) {
        out.max_d = r.max_d;
        out.max_pos = r.max_pos;
      }
      out.hits += r.hits;
    }
  }
  out.veto = objects.Process(f, arrivals.now(), out.hits,
                             {LoadShared(blk.rec_remain), recorded, blk.dmin, blk.dminsize});
}

void DetectCore::State::Record(bool veto) {
  DetectionBlock& blk = *b;
  if (LoadShared(blk.rec_remain) < 1) {
    if (recorded != 0) EndClip(veto);
    return;
  }
  if (blk.timelog_count < kTimeLogMax - 1) ++blk.timelog_count;
  RecordFrame(SlotBack(back - 1));
}

// One clip frame: `slot` holds it, or is -1 when the ring was not yet deep enough.
void DetectCore::State::RecordFrame(int slot) {
  DetectionBlock& blk = *b;
  ++recorded;
  if (slot < 0) return;
  if (recorded == 1) {
    StoreShared(blk.clip_no, blk.clip_no + 1);  // this thread is its only writer
    blk.trig_dlev = blk.dlev;
    const bool audio =
        LoadShared(blk.detect_on) && blk.atrigger && LoadShared(blk.apeak) >= blk.alev;
    if (LoadShared(blk.force_rec)) {
      blk.trig_kind = audio ? 2 : (LoadShared(blk.timer_rec) ? 3 : 4);
    } else {
      blk.trig_kind = LoadShared(blk.hits) >= blk.dsize ? 1 : 0;
    }
  } else if (blk.im_peak && snapshot != nullptr) {
    PeakHold(slot);
  }
  if (limit > 0 && recorded >= limit) return;
  if (blk.si_on) {
    TextContext ctx{recorded, arrivals.smoothed_period_ms(), arrivals.interval_ms(), limit};
    BurnText(blk, Info(format), info[slot], ctx, TextMode::Capture, frames[slot]);
  }
  OutFrame out{frames[slot], meta[slot].length, meta[slot].times};
  out.times.has_times = true;
  out.times.start = out_start;
  out.times.stop = out_stop;
  out_start += duration;
  out_stop += duration;
  out.times.has_media_times = true;
  out.times.media_start = media_start;
  out.times.media_stop = media_stop;
  if (!Deliver(outputs.capture, out)) ++blk.deliver_errors;
  if (arrivals.interval_ms() * 40000.0 > static_cast<double>(duration) * 7) ++blk.late_frames;
  media_start = media_start + 1;
  media_stop = media_start + 1;
}

// The host hears of the clip while the block still holds its results; then the block is
// made ready for the next clip, which may start with the very next frame: the ring keeps
// its frames, so that clip has its head frames even where they overlap this one's tail.
void DetectCore::State::EndClip(bool veto) {
  DetectionBlock& blk = *b;
  StoreShared(blk.end_status, (limit > 0 && recorded >= limit) ? -1 : (veto ? -2 : 1));
  blk.clip_frames = recorded;
  if (blk.host_thread_id != 0 && outputs.clip_end) outputs.clip_end();
  recorded = 0;
  consec = 0;
  StoreShared(blk.clip_started, 0);
  blk.snap_valid = 0;
  blk.late_frames = 0;
  blk.deliver_errors = 0;
  blk.timelog_count = 0;
  if (blk.im_peak && snapshot != nullptr) std::memset(snapshot, 0, frame_bytes);
  RestartOutputClock();
}

// Each clip's file starts its own clock.
void DetectCore::State::RestartOutputClock() {
  out_start = 3 * duration;
  out_stop = 4 * duration - 1000;
  media_start = 1;
  media_stop = 2;
}

void DetectCore::State::PeakHold(int slot) {
  PeakArgs a;
  a.frame = frames[slot];
  a.peak = snapshot;
  a.cx = cx;
  a.cy = cy;
  TextRows(a.text_first, a.text_last);
  a.planes = planes;
  const FormatKernels& k = kernels;
  const int bands = Bands();
  const int rows = cy / bands;
  pool.Run(bands, [&, rows](int band) { k.peak_hold(a, band * rows, band * rows + rows); });
}

void DetectCore::State::StartStarMask() {
  DetectionBlock& blk = *b;
  const bool half = blk.sm_on2 && avr_map2 != nullptr;
  const int bands = Bands();
  const int key[4] = {half ? 1 : 0, bands, cx, cy};
  if (std::memcmp(key, star_grid_key, sizeof key) != 0) {
    // Another grid: rows the new bands carry may hold marks of the old one.
    uint8_t* base = blk.mask2_base != nullptr ? blk.mask2_base : mask2;
    size_t bytes = blk.mask2_base != nullptr ? pixels + 12 * static_cast<size_t>(cx) : pixels;
    std::memset(base, 0, bytes);
    std::memcpy(star_grid_key, key, sizeof key);
    // Clean work rows; any mask row may still hold marks of an earlier pass.
    star_grid_marks.assign(static_cast<size_t>(cy) + 2 * kStarRowMargin, 0);
    star_mask_marks.assign(static_cast<size_t>(cy), 1);
  }
  StarMaskArgs a;
  a.avr = avr_map;
  a.avr2 = avr_map2;
  a.mask = mask;
  a.mask2 = mask2;
  a.cx = cx;
  a.cy = cy;
  a.rows_per_band = cy / bands;
  a.sm_level = static_cast<uint32_t>(blk.sm_level);
  a.sm_size = blk.sm_size;
  a.grid_marks = star_grid_marks.data();
  a.mask_marks = star_mask_marks.data();
  const int tasks = half ? bands / 2 : bands;
  star_scratch.resize(static_cast<size_t>(tasks) * (cx > 0 ? cx : 1));
  const auto& k = Kernels();
  uint32_t* scratch = star_scratch.data();
  const size_t stride = cx > 0 ? cx : 1;
  if (half) {
    pool.Start(
        tasks, [=, &k](int band) { k.star_mark_half(a, band, scratch + band * stride); }, tasks,
        [=, &k](int band) { k.star_carry_half(a, band); });
  } else {
    pool.Start(
        tasks, [=, &k](int band) { k.star_mark_full(a, band, scratch + band * stride); }, tasks,
        [=, &k](int band) { k.star_carry_full(a, band); });
  }
}

}  // namespace orvanta::detect
