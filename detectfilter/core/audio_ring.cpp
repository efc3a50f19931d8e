#include "detectfilter/core/audio_ring.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "detectfilter/shared_field.h"

namespace orvanta::detect {

void AudioRing::Attach(DetectionBlock* block) {
  std::lock_guard lock(mu_);
  block_ = block;
  buffer_ = nullptr;
  chunk_bytes_ = 0;
  chunk_count_ = 0;
  if (block && block->audio_buffer && block->audio_chunk_bytes > 0 &&
      block->audio_chunk_count > 0) {
    buffer_ = block->audio_buffer;
    chunk_bytes_ = static_cast<size_t>(block->audio_chunk_bytes);
    chunk_count_ = block->audio_chunk_count;
  }
  slots_.assign(static_cast<size_t>(chunk_count_), Slot{});
  pos_ = 0;
  wrapped_ = false;
}

void AudioRing::Run(int64_t video_frame_duration) {
  std::lock_guard lock(mu_);
  video_frame_duration_ = video_frame_duration;
  pos_ = 0;
  wrapped_ = false;
  clock_ = 3.0 * static_cast<double>(video_frame_duration);
  media_start_ = 1;
  media_stop_ = 2;
}

void AudioRing::NewClip() {
  std::lock_guard lock(mu_);
  clock_ = 3.0 * static_cast<double>(video_frame_duration_);
  media_start_ = 1;
  media_stop_ = 2;
}

void AudioRing::SetFormat(int bits_per_sample, int channels, int samples_per_second) {
  std::lock_guard lock(mu_);
  bits_ = bits_per_sample;
  bytes_per_second_ = static_cast<int64_t>(bits_per_sample / 8) * channels * samples_per_second;
}

int64_t AudioRing::bytes_per_second() const {
  std::lock_guard lock(mu_);
  return bytes_per_second_;
}

int32_t AudioRing::Peak(const uint8_t* data, size_t bytes) const {
  if (bits_ != 16) return 0;
  int32_t peak = 0;
  const size_t n = bytes / 2;
  for (size_t i = 0; i < n; ++i) {
    int16_t s;
    std::memcpy(&s, data + 2 * i, 2);
    peak = std::max(peak, std::abs(static_cast<int32_t>(s)));
  }
  return peak;
}

void AudioRing::Receive(const uint8_t* data, size_t bytes, const SampleTimes& times,
                        const Deliver& deliver) {
  std::lock_guard lock(mu_);
  if (!block_) return;
  DetectionBlock& b = *block_;

  // Without ring memory nothing is kept or delivered, but the level is still shown.
  if (!buffer_) {
    StoreShared(b.apeak, Peak(data, bytes));
    return;
  }

  uint8_t* chunk = buffer_ + static_cast<size_t>(pos_) * chunk_bytes_;
  const size_t length = std::min(bytes, chunk_bytes_);
  if (data && length) std::memcpy(chunk, data, length);
  slots_[static_cast<size_t>(pos_)] = Slot{length, times};

  const int32_t peak = Peak(chunk, length);
  if (LoadShared(b.detect_on) && LoadShared(b.atrigger))
    StoreShared(b.force_rec, peak > b.alev ? 1 : 0);
  StoreShared(b.apeak, peak);

  if (LoadShared(b.rec_remain) != 0 && length > 0 && bytes_per_second_ > 0) {
    const double duration = static_cast<double>(length) * 1e7 / bytes_per_second_;
    const double behind =
        static_cast<double>(b.dmin + b.fs_head) * video_frame_duration_ / duration - 1;
    // A delay of more than the whole ring cannot be served (it would hand out a newer
    // buffer); a negative one would read a slot not yet written.
    const int64_t k = std::max<int64_t>(0, static_cast<int64_t>(behind));
    int64_t slot = pos_ - k;
    if (slot < 0 && wrapped_) slot += chunk_count_;
    if (k < chunk_count_ && slot >= 0) {
      const Slot& s = slots_[static_cast<size_t>(slot)];
      OutFrame out{buffer_ + static_cast<size_t>(slot) * chunk_bytes_, s.length, s.times};
      out.times.has_times = true;
      out.times.start = static_cast<int64_t>(clock_);
      out.times.stop = static_cast<int64_t>(clock_ + duration);
      clock_ += duration;
      out.times.has_media_times = true;
      out.times.media_start = media_start_;
      out.times.media_stop = media_stop_;
      media_start_ += 1;
      media_stop_ = media_start_ + 1;
      if (deliver) deliver(out);
    }
  }

  if (++pos_ >= chunk_count_) {
    pos_ = 0;
    wrapped_ = true;
  }
}

}  // namespace orvanta::detect
