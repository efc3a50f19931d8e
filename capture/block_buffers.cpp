#include "capture/block_buffers.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "products/area_mask.h"

namespace orvanta::capture {

std::optional<BufferShortage> BlockBuffers::Allocate(DetectionBlock& b) {
  Release(b);
  pixels_ = static_cast<size_t>(b.pixels);
  frame_bytes_ = static_cast<size_t>(b.frame_bytes);
  mask_bytes_ = pixels_ + 2 * kMaskMarginRows * static_cast<size_t>(b.cx);
  const bool audio = b.audio_chunk_bytes > 0 && b.audio_chunk_count > 0;
  audio_bytes_ =
      audio ? static_cast<size_t>(b.audio_chunk_bytes) * static_cast<size_t>(b.audio_chunk_count)
            : 0;
  // calloc checks count x size for overflow; large requests come as fresh zero pages.
  auto take = [](Storage& slot, size_t count, size_t size, BlockBuffer which,
                 int index) -> std::optional<BufferShortage> {
    slot.reset(static_cast<uint8_t*>(std::calloc(count, size)));
    if (slot) return std::nullopt;
    return BufferShortage{which, index, errno, count * size};
  };
  std::optional<BufferShortage> shortage;
  for (int i = 0; i < b.ring_count && i < kRingMax; ++i) {
    if ((shortage = take(frames_[i], frame_bytes_, 1, BlockBuffer::Frame, i))) return shortage;
    b.frames[i] = frames_[i].get();
  }
  if (audio) {
    shortage = take(audio_, static_cast<size_t>(b.audio_chunk_bytes),
                    static_cast<size_t>(b.audio_chunk_count), BlockBuffer::Audio, 0);
    if (shortage) return shortage;
    b.audio_buffer = audio_.get();
  }
  const size_t margin = kMaskMarginRows * static_cast<size_t>(b.cx);
  if ((shortage = take(mask_, mask_bytes_, 1, BlockBuffer::Mask, 0))) return shortage;
  b.mask_base = mask_.get();
  b.mask = b.mask_base + margin;
  if ((shortage = take(mask2_, mask_bytes_, 1, BlockBuffer::Mask2, 0))) return shortage;
  b.mask2_base = mask2_.get();
  b.mask2 = b.mask2_base + margin;
  const struct {
    Storage& storage;
    size_t bytes;
    BlockBuffer which;
  } maps[] = {
      {hit_map_, pixels_, BlockBuffer::HitMap},
      {avr_map_, sizeof(uint32_t) * pixels_, BlockBuffer::AvrMap},
      {avr_map2_, pixels_, BlockBuffer::AvrMap2},
      {snapshot_, frame_bytes_, BlockBuffer::Snapshot},
      {obj_map_, pixels_, BlockBuffer::ObjMap},
  };
  for (const auto& map : maps) {
    if ((shortage = take(map.storage, map.bytes, 1, map.which, 0))) return shortage;
  }
  b.hit_map = hit_map_.get();
  b.avr_map = reinterpret_cast<uint32_t*>(avr_map_.get());
  b.avr_map2 = avr_map2_.get();
  b.snapshot = snapshot_.get();
  b.obj_map = obj_map_.get();
  return std::nullopt;
}

void BlockBuffers::Release(DetectionBlock& b) {
  b.obj_map = nullptr;
  b.snapshot = nullptr;
  b.avr_map2 = nullptr;
  b.avr_map = nullptr;
  b.hit_map = nullptr;
  b.mask2 = b.mask2_base = nullptr;
  b.mask = b.mask_base = nullptr;
  b.audio_buffer = nullptr;
  for (uint8_t*& frame : b.frames) frame = nullptr;
  for (Storage* s :
       {&obj_map_, &snapshot_, &avr_map2_, &avr_map_, &hit_map_, &mask2_, &mask_, &audio_})
    s->reset();
  for (Storage& frame : frames_) frame.reset();
}

std::string ShortageMessage(const BufferShortage& s) {
  switch (s.buffer) {
    case BlockBuffer::Frame: {
      char text[256];
      std::snprintf(text, sizeof text,
                    "UM013: Insufficient memory available for Shift Buffer %d\n eno=%d : %.99s\n "
                    "request = %u",
                    s.ring_index, s.error, std::strerror(s.error),
                    static_cast<unsigned>(s.request));
      return text;
    }
    case BlockBuffer::Audio:
      return "UM014: Insufficient memory available for Audio Shift Buffer";
    case BlockBuffer::Mask:
      return "Insufficient memory available for Mask";
    case BlockBuffer::Mask2:
      return "Insufficient memory available for Mask2";
    case BlockBuffer::HitMap:
      return "UM015: Insufficient memory available for HitMap";
    case BlockBuffer::AvrMap:
      return "UM016: Insufficient memory available for AvrMap";
    case BlockBuffer::AvrMap2:
      return "UM016: Insufficient memory available for AvrMap2";
    case BlockBuffer::Snapshot:
      return "UM017: Insufficient memory available for SnapShot";
    case BlockBuffer::ObjMap:
      break;
  }
  return "UM018: Insufficient memory available for ObjMap";
}

}  // namespace orvanta::capture
