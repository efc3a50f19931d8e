#include "capture/finished_clip.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "detectfilter/shared_field.h"

namespace orvanta::capture {
namespace {

// The bytes of `field`, or false when the message has none of that size.
bool BytesOf(const GstStructure* message, const char* field, size_t size, void* into) {
  const GValue* value = gst_structure_get_value(message, field);
  if (value == nullptr || !G_VALUE_HOLDS(value, G_TYPE_BYTES)) return false;
  GBytes* bytes = static_cast<GBytes*>(g_value_get_boxed(value));
  gsize length = 0;
  const void* data = bytes ? g_bytes_get_data(bytes, &length) : nullptr;
  if (length != size) return false;
  if (size > 0) std::memcpy(into, data, size);
  return true;
}

template <typename T>
void CopyBuffer(const T* from, size_t count, std::vector<T>& into) {
  if (from != nullptr) into.assign(from, from + count);
}

}  // namespace

std::shared_ptr<FinishedClip> FinishedClipFrom(const GstStructure* message,
                                               const DetectionBlock& live) {
  auto clip = std::make_shared<FinishedClip>();
  DetectionBlock& b = clip->block;
  bool copied = message != nullptr && BytesOf(message, kClipEndBlock, sizeof b, &b);
  const size_t pixels = copied && b.pixels > 0 ? static_cast<size_t>(b.pixels) : 0;
  const size_t frame_bytes = copied && b.frame_bytes > 0 ? static_cast<size_t>(b.frame_bytes) : 0;
  if (copied) {
    clip->hit_map.resize(pixels);
    clip->avr_map.resize(pixels);
    clip->mask.resize(pixels);
    clip->snapshot.resize(frame_bytes);
    copied = BytesOf(message, kClipEndHitMap, pixels, clip->hit_map.data()) &&
             BytesOf(message, kClipEndAvrMap, pixels * sizeof(uint32_t), clip->avr_map.data()) &&
             BytesOf(message, kClipEndMask, pixels, clip->mask.data()) &&
             BytesOf(message, kClipEndSnapshot, frame_bytes, clip->snapshot.data());
    gint delivered = 0;
    if (gst_structure_get_int(message, kClipEndDelivered, &delivered)) clip->delivered = delivered;
  }
  if (!copied) {
    CopySharedBlock(live, b);
    const size_t n = b.pixels > 0 ? static_cast<size_t>(b.pixels) : 0;
    CopyBuffer(live.hit_map, n, clip->hit_map);
    CopyBuffer(live.avr_map, n, clip->avr_map);
    CopyBuffer(live.mask, n, clip->mask);
    CopyBuffer(live.snapshot, b.frame_bytes > 0 ? static_cast<size_t>(b.frame_bytes) : 0,
               clip->snapshot);
    clip->delivered = live.clip_frames;
  }
  // Only the copies may be reached through the clip's block.
  std::fill(std::begin(b.frames), std::end(b.frames), nullptr);
  b.audio_buffer = nullptr;
  b.mask_base = nullptr;
  b.mask2 = nullptr;
  b.mask2_base = nullptr;
  b.avr_map2 = nullptr;
  b.obj_map = nullptr;
  b.hit_map = clip->hit_map.empty() ? nullptr : clip->hit_map.data();
  b.avr_map = clip->avr_map.empty() ? nullptr : clip->avr_map.data();
  b.mask = clip->mask.empty() ? nullptr : clip->mask.data();
  b.snapshot = clip->snapshot.empty() ? nullptr : clip->snapshot.data();
  return clip;
}

}  // namespace orvanta::capture
