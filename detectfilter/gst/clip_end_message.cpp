#include "detectfilter/gst/clip_end_message.h"

#include "detectfilter/shared_field.h"

namespace orvanta::detect::gst {
namespace {

void SetBytes(GstStructure* s, const char* field, const void* data, size_t bytes) {
  GBytes* copy = g_bytes_new(data != nullptr ? data : "", data != nullptr ? bytes : 0);
  gst_structure_set(s, field, G_TYPE_BYTES, copy, nullptr);
  g_bytes_unref(copy);
}

// The block goes on changing under the host and the audio thread while it is copied.
void SetBlock(GstStructure* s, const DetectionBlock& block) {
  auto* copy = static_cast<DetectionBlock*>(g_malloc(sizeof(DetectionBlock)));
  CopySharedBlock(block, *copy);
  GBytes* bytes = g_bytes_new_take(copy, sizeof(DetectionBlock));
  gst_structure_set(s, kClipEndBlock, G_TYPE_BYTES, bytes, nullptr);
  g_bytes_unref(bytes);
}

}  // namespace

GstStructure* ClipEndStructure(const DetectionBlock& block, int delivered) {
  GstStructure* s = gst_structure_new("ClipEnd", "message", G_TYPE_INT, kClipEndMessage,
                                      kClipEndDelivered, G_TYPE_INT, delivered, nullptr);
  const size_t pixels = block.pixels > 0 ? static_cast<size_t>(block.pixels) : 0;
  const size_t frame_bytes = block.frame_bytes > 0 ? static_cast<size_t>(block.frame_bytes) : 0;
  SetBlock(s, block);
  SetBytes(s, kClipEndHitMap, block.hit_map, pixels);
  SetBytes(s, kClipEndAvrMap, block.avr_map, pixels * sizeof(uint32_t));
  SetBytes(s, kClipEndMask, block.mask, pixels);
  SetBytes(s, kClipEndSnapshot, block.snapshot, frame_bytes);
  return s;
}

}  // namespace orvanta::detect::gst
