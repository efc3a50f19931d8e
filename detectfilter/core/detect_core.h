// The detection filter's work between "a frame arrived" and "deliver these bytes": the
// time-shift ring, clip decision, motion detection, noise tracking, star masking and the
// preview overlays. Plain C++; the GStreamer element is a thin adapter over this class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "detectfilter/pixel_format.h"
#include "detectfilter/zavipf.h"

namespace orvanta::detect {

// Arrival clock reading: seconds since the epoch (UTC) and milliseconds.
struct FrameTime {
  int64_t sec;
  int32_t ms;
};
using Clock = std::function<FrameTime()>;
FrameTime SystemClock();

struct VideoFormat {
  PixelFormat subtype = PixelFormat::Null;
  int width = 0;
  int height = 0;              // negative = top-down (accepted when |height| == cy)
  int64_t frame_duration = 0;  // 100-ns units; <= 0 unknown
};

struct SampleTimes {
  bool has_times = false;
  int64_t start = 0;
  int64_t stop = 0;
  bool has_media_times = false;
  int64_t media_start = 0;
  int64_t media_stop = 0;
  bool sync_point = false;
  bool discontinuity = false;
  bool preroll = false;
};

// One frame handed to an output. `data` stays valid only during the call: an adapter that
// keeps the frame past the call must copy it.
struct OutFrame {
  const uint8_t* data = nullptr;
  size_t bytes = 0;
  SampleTimes times;
};

struct CoreOutputs {
  std::function<bool(const OutFrame&)> preview;  // "Output1"; result = delivery success
  std::function<bool(const OutFrame&)> capture;  // "Output2"
  // The end of a clip (ClipEnd), when host_thread_id != 0. Called on the streaming thread
  // while the block still holds the finished clip's results (end_status, clip_frames, trig_*,
  // late_frames, time log, hit map, snapshot): a host that needs them later copies them
  // here, because detection goes on with the very next frame and the next clip reuses them.
  std::function<void()> clip_end;
};

// Frames are top-down with rows packed without padding (width x bytes per pixel; I420 and
// NV12 planes back to back). AttachBlock, SetMediaType, Run and Stop must not overlap a
// ReceiveVideo call: the host makes them with the stream stopped or under its stream lock.
class DetectCore {
 public:
  // `worker_threads`: helper threads of the band jobs; -1 one less than the cores, 0 none
  // (every band then runs on the streaming thread, with the same results).
  explicit DetectCore(Clock clock = SystemClock, int worker_threads = -1);
  ~DetectCore();
  DetectCore(const DetectCore&) = delete;
  DetectCore& operator=(const DetectCore&) = delete;

  void SetOutputs(CoreOutputs outputs);
  // The arrival clock (a batch run reads its frames' stream times instead of the system
  // clock, so the same file gives the same stamps on every run).
  void SetClock(Clock clock);

  // Always answers kZavipfVersion (473). A null block only answers the version. Clears the
  // running flag: nothing is processed until the next Run.
  int AttachBlock(DetectionBlock* block);

  // false = refused; the reason (if any) is left in the block's format_error.
  bool SetMediaType(const VideoFormat& format);
  int64_t frame_duration() const;  // accepted duration, 100-ns (below 100000 -> 333667)
  PixelFormat format() const;      // the accepted format (Null before any)
  size_t image_size() const;       // bytes of one image of the accepted format

  void Run();
  void Stop();  // keeps a snapshot of the current ring frame when none is pending
  bool running() const;

  // The stream has ended: a clip being recorded is finished now with the frames the ring
  // still holds (its tail is shorter), instead of being lost.
  void EndOfStream();
  // The next frame does not follow the last one (a flushing seek): the clip being recorded
  // ends as at the end of the stream, the ring and the object table start empty and the
  // arrival history restarts at the next frame; the averages, star mask and noise level
  // are kept.
  void Restart();

  // The frame path. `frame` is the live image and is writable: the preview overlays are
  // drawn in it. Returns the preview delivery result when not running, else true.
  bool ReceiveVideo(uint8_t* frame, size_t bytes, const SampleTimes& times);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace orvanta::detect
