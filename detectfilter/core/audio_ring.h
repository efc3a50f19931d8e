// The audio side of the detection filter: a ring of recent sound buffers in the host's
// memory, the level of each buffer (shown as `apeak`, and a trigger through `force_rec`
// while detection is armed), and the delayed delivery of clip audio so that it lines up
// with the delayed video of the clip. Outside clips nothing is delivered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "detectfilter/core/detect_core.h"
#include "detectfilter/zavipf.h"

namespace orvanta::detect {

class AudioRing {
 public:
  using Deliver = std::function<bool(const OutFrame&)>;

  static constexpr int64_t kDefaultBytesPerSecond = 128000;

  // Takes the block's audio ring (`audio_buffer`, chunk size and count; none when null) and
  // restarts the ring.
  void Attach(DetectionBlock* block);

  // Graph run: restarts the ring and the output clock (first start = 3 frame durations).
  // `video_frame_duration` (100 ns) is the one the video input accepted.
  void Run(int64_t video_frame_duration);
  // A clip ended: the next clip's sound starts its own clock, the ring keeps its buffers.
  void NewClip();

  // The connected format. Until it is set the stream counts as 128000 bytes per second
  // and no level is measured.
  void SetFormat(int bits_per_sample, int channels, int samples_per_second);
  int64_t bytes_per_second() const;

  // One buffer from upstream: stored, measured, and while a clip is being recorded the
  // buffer from the matching earlier moment is handed to `deliver` (its result is ignored).
  void Receive(const uint8_t* data, size_t bytes, const SampleTimes& times, const Deliver& deliver);

 private:
  struct Slot {
    size_t length = 0;
    SampleTimes times;
  };

  int32_t Peak(const uint8_t* data, size_t bytes) const;

  mutable std::mutex mu_;
  DetectionBlock* block_ = nullptr;
  uint8_t* buffer_ = nullptr;
  size_t chunk_bytes_ = 0;
  int chunk_count_ = 0;
  std::vector<Slot> slots_;
  int pos_ = 0;
  bool wrapped_ = false;
  int bits_ = 0;
  int64_t bytes_per_second_ = kDefaultBytesPerSecond;
  int64_t video_frame_duration_ = 0;
  double clock_ = 0;  // output start time, 100 ns
  int64_t media_start_ = 1;
  int64_t media_stop_ = 2;
};

}  // namespace orvanta::detect
