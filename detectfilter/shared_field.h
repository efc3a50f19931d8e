// The one way to touch a DetectionBlock field that another thread may touch at the same
// time: the host's controls written while the filter streams (detect_on, force_rec,
// timer_rec, output_hold, rec_remain, warmup), the audio thread's apeak and force_rec, and
// the results the host reads while the filter streams (level, hits, rec_remain, clip_no,
// clip_started, end_status, ...). The block's layout is frozen, so its fields stay plain
// integers and are reached through std::atomic_ref here.
//
// Relaxed order is enough: each such field is an independent flag, level or counter, read
// whole. None of them publishes other memory: the buffers are set before the block is
// attached, and a finished clip's results travel in the "ClipEnd" message's own copy.
#pragma once

#include <algorithm>
#include <atomic>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "detectfilter/zavipf.h"

namespace orvanta {

template <typename T>
concept SharedFieldType = std::same_as<T, int32_t> || std::same_as<T, int64_t>;

template <SharedFieldType T>
inline T LoadShared(const T& field) {
  // A load writes nothing; atomic_ref only takes a non-const object.
  return std::atomic_ref<T>(const_cast<T&>(field)).load(std::memory_order_relaxed);
}

template <SharedFieldType T>
inline void StoreShared(T& field, std::type_identity_t<T> value) {
  std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}

// The fields of the block that one thread may write while another reads them, in layout
// order.
inline constexpr size_t kSharedFieldOffsets[] = {
    offsetof(DetectionBlock, rec_remain),   offsetof(DetectionBlock, hits),
    offsetof(DetectionBlock, level),        offsetof(DetectionBlock, apeak),
    offsetof(DetectionBlock, warmup),       offsetof(DetectionBlock, end_status),
    offsetof(DetectionBlock, clip_started), offsetof(DetectionBlock, timer_rec),
    offsetof(DetectionBlock, detect_on),    offsetof(DetectionBlock, force_rec),
    offsetof(DetectionBlock, clip_no),      offsetof(DetectionBlock, output_hold),
};
static_assert(std::ranges::is_sorted(kSharedFieldOffsets));

// A copy of a block that other threads go on using: the fields above are read whole through
// LoadShared, the rest is written only by the thread making the copy or not while it runs.
inline void CopySharedBlock(const DetectionBlock& from, DetectionBlock& to) {
  const auto* src = reinterpret_cast<const unsigned char*>(&from);
  auto* dst = reinterpret_cast<unsigned char*>(&to);
  size_t at = 0;
  for (size_t offset : kSharedFieldOffsets) {
    std::memcpy(dst + at, src + at, offset - at);
    const int32_t value = LoadShared(*reinterpret_cast<const int32_t*>(src + offset));
    std::memcpy(dst + offset, &value, sizeof value);
    at = offset + sizeof(int32_t);
  }
  std::memcpy(dst + at, src + at, sizeof(DetectionBlock) - at);
}

}  // namespace orvanta
