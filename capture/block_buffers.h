// The host's buffers of a DetectionBlock: the frame ring, the audio ring, both masks with
// their margin rows, the hit, average and object maps and the snapshot. Sized from the
// block's cx, pixels, frame_bytes, ring_count and audio chunks, zeroed, and pointed to by
// it. The station's hosting step, the tests and the benchmarks all hold them through this.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "detectfilter/zavipf.h"

namespace orvanta::capture {

// In allocation order.
enum class BlockBuffer { Frame, Audio, Mask, Mask2, HitMap, AvrMap, AvrMap2, Snapshot, ObjMap };

// The buffer that could not be had.
struct BufferShortage {
  BlockBuffer buffer = BlockBuffer::Frame;
  int ring_index = 0;  // which ring frame, for BlockBuffer::Frame
  int error = 0;       // errno of the failed allocation
  size_t request = 0;  // bytes asked for
};

class BlockBuffers {
 public:
  BlockBuffers() = default;
  BlockBuffers(const BlockBuffers&) = delete;
  BlockBuffers& operator=(const BlockBuffers&) = delete;
  BlockBuffers(BlockBuffers&&) = default;
  BlockBuffers& operator=(BlockBuffers&&) = default;

  // Frees what it held, then allocates every buffer the block's sizes ask for (the audio
  // ring only when the block has audio chunks) and points the block to them. Stops at the
  // first shortage, keeping what it had so far; allocation failure is never thrown.
  [[nodiscard]] std::optional<BufferShortage> Allocate(DetectionBlock& block);
  // Frees every buffer and clears the block's pointers to them.
  void Release(DetectionBlock& block);

  std::span<uint8_t> frame(int index) const { return View(frames_[index], frame_bytes_); }
  std::span<uint8_t> audio() const { return View(audio_, audio_bytes_); }
  // Whole allocations, margin rows included.
  std::span<uint8_t> mask() const { return View(mask_, mask_bytes_); }
  std::span<uint8_t> mask2() const { return View(mask2_, mask_bytes_); }
  std::span<uint8_t> hit_map() const { return View(hit_map_, pixels_); }
  std::span<uint32_t> avr_map() const {
    return {reinterpret_cast<uint32_t*>(avr_map_.get()), avr_map_ ? pixels_ : 0};
  }
  std::span<uint8_t> avr_map2() const { return View(avr_map2_, pixels_); }
  std::span<uint8_t> snapshot() const { return View(snapshot_, frame_bytes_); }
  std::span<uint8_t> obj_map() const { return View(obj_map_, pixels_); }

 private:
  struct Free {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  using Storage = std::unique_ptr<uint8_t[], Free>;
  static std::span<uint8_t> View(const Storage& s, size_t bytes) {
    return {s.get(), s ? bytes : 0};
  }

  std::array<Storage, kRingMax> frames_;
  Storage audio_, mask_, mask2_, hit_map_, avr_map_, avr_map2_, snapshot_, obj_map_;
  size_t frame_bytes_ = 0, audio_bytes_ = 0, mask_bytes_ = 0, pixels_ = 0;
};

// What the station tells the user about a shortage (UM013 to UM018).
std::string ShortageMessage(const BufferShortage& shortage);

}  // namespace orvanta::capture
