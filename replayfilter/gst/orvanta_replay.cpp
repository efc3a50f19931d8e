#include "replayfilter/gst/orvanta_replay.h"

#include <gst/video/video.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "detectfilter/pixel_format.h"
#include "replayfilter/core/clip_format.h"
#include "replayfilter/core/field_view.h"
#include "replayfilter/core/snapshot.h"
#include "replayfilter/zaviprf.h"

GST_DEBUG_CATEGORY_STATIC(orvanta_replay_debug);
#define GST_CAT_DEFAULT orvanta_replay_debug

namespace {

using orvanta::PixelFormat;
using orvanta::ReplayBlock;

constexpr gint kPointerMissing = static_cast<gint>(0x80004003u);
constexpr const char* kInterfaceId = "{313059D3-C78F-4367-9CF5-25DC0B6B9365}";

#define ORVANTA_REPLAY_CAPS                                                              \
  "video/x-raw, format=(string){ BGR, NV12 }, width=(int)[1,MAX], height=(int)[1,MAX], " \
  "framerate=(fraction)[0/1,MAX]"

// The registered setup names of the two pins are the template names; the pads carry the
// pin names.
GstStaticPadTemplate input_template = GST_STATIC_PAD_TEMPLATE(
    "Input Video", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(ORVANTA_REPLAY_CAPS));
GstStaticPadTemplate output_template = GST_STATIC_PAD_TEMPLATE(
    "Output Video Preview", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(ORVANTA_REPLAY_CAPS));

template <typename T>
T LoadField(T& field) {
  return std::atomic_ref<T>(field).load(std::memory_order_relaxed);
}

}  // namespace

struct OrvantaReplayState {
  // Serialises the frame path with attach, format changes and state changes.
  std::mutex mu;
  ReplayBlock* block = nullptr;
  bool have_format = false;
  GstVideoInfo info{};
  PixelFormat format = PixelFormat::Null;
  // NV12 frames leave in buffers of the filter's own, laid out as the caps say.
  GstBufferPool* pool = nullptr;
  // A snapshot buffer the program sized for an earlier picture size: never written.
  uint8_t* stale_snapshot = nullptr;
};

struct _OrvantaReplay {
  GstElement parent;
  GstPad* input;
  GstPad* output;
  OrvantaReplayState* state;
};

G_DEFINE_TYPE(OrvantaReplay, orvanta_replay, GST_TYPE_ELEMENT)
GST_ELEMENT_REGISTER_DEFINE(orvantareplay, "orvantareplay", GST_RANK_NONE, ORVANTA_TYPE_REPLAY)

namespace {

void DropPool(OrvantaReplayState& st) {
  if (!st.pool) return;
  gst_buffer_pool_set_active(st.pool, FALSE);
  gst_object_unref(st.pool);
  st.pool = nullptr;
}

gint AttachBlock(OrvantaReplay* self, gpointer block, gpointer version, gpointer reserved) {
  if (!block || !version || !reserved) return kPointerMissing;
  std::lock_guard lock(self->state->mu);
  auto* b = static_cast<ReplayBlock*>(block);
  b->replay_pos = 0;
  b->frame_time = 0;
  self->state->block = b;
  *static_cast<gint*>(version) = orvanta::kZaviprfVersion;
  *static_cast<gint*>(reserved) = 0;
  return 0;
}

// The format of the input: the block learns the clip's format and frame duration, and the
// output announces the same format (with the settled frame rate when the clip has none).
bool SetFormat(OrvantaReplay* self, GstCaps* caps) {
  OrvantaReplayState& st = *self->state;
  GstVideoInfo info;
  if (!gst_video_info_from_caps(&info, caps)) return false;
  const PixelFormat format =
      orvanta::PixelFormatOfRawCaps(gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info)));
  if (format != PixelFormat::RGB24 && format != PixelFormat::NV12) return false;

  GstCaps* out = gst_caps_copy(caps);
  {
    std::lock_guard lock(st.mu);
    const int64_t offered = orvanta::replayfilter::FrameDurationOfRate(GST_VIDEO_INFO_FPS_N(&info),
                                                                       GST_VIDEO_INFO_FPS_D(&info));
    ReplayBlock* b = st.block;
    const orvanta::replayfilter::FrameTiming timing =
        orvanta::replayfilter::SettleFrameTime(offered, b ? b->frame_time : 0);
    if (offered == 0)
      gst_caps_set_simple(out, "framerate", GST_TYPE_FRACTION, 10000000,
                          static_cast<int>(timing.format_duration), nullptr);
    if (b) {
      const int32_t old_pixels = b->clip_pixels;
      b->frame_time = timing.frame_time;
      b->clip_fps = timing.clip_fps;
      orvanta::replayfilter::FillClipFormat(*b, format, GST_VIDEO_INFO_WIDTH(&info),
                                            GST_VIDEO_INFO_HEIGHT(&info));
      if (old_pixels != 0 && old_pixels != b->clip_pixels)
        st.stale_snapshot = LoadField(b->replay_snapshot);
    }
    DropPool(st);
    if (format == PixelFormat::NV12) {
      st.pool = gst_buffer_pool_new();
      GstStructure* config = gst_buffer_pool_get_config(st.pool);
      // Two buffers at least: the picture holds the frame on show while the next is made.
      gst_buffer_pool_config_set_params(config, out, static_cast<guint>(GST_VIDEO_INFO_SIZE(&info)),
                                        2, 0);
      if (!gst_buffer_pool_set_config(st.pool, config) ||
          !gst_buffer_pool_set_active(st.pool, TRUE)) {
        DropPool(st);
        gst_caps_unref(out);
        return false;
      }
    }
    st.info = info;
    st.format = format;
    st.have_format = true;
  }
  const bool pushed = gst_pad_push_event(self->output, gst_event_new_caps(out));
  gst_caps_unref(out);
  return pushed;
}

gboolean InputEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
  auto* self = ORVANTA_REPLAY(parent);
  if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const bool ok = SetFormat(self, caps);
    gst_event_unref(event);
    return ok;
  }
  return gst_pad_event_default(pad, parent, event);
}

// An RGB24 frame: the field view made in the frame itself, then the snapshot copy.
GstBuffer* ProcessBgr(OrvantaReplayState& st, GstBuffer* buffer, int32_t field_step,
                      int32_t field_odd, uint8_t* snapshot) {
  if (field_step != 1 && !snapshot) return buffer;
  if (field_step == 1) buffer = gst_buffer_make_writable(buffer);
  GstVideoFrame frame;
  const auto flags = field_step == 1 ? GST_MAP_READWRITE : GST_MAP_READ;
  if (!gst_video_frame_map(&frame, &st.info, buffer, flags)) return buffer;
  auto* data = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
  const ptrdiff_t stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
  const int width = GST_VIDEO_FRAME_WIDTH(&frame);
  const int height = GST_VIDEO_FRAME_HEIGHT(&frame);
  if (field_step == 1)
    orvanta::replayfilter::ApplyFieldView(data, stride, static_cast<size_t>(width) * 3, height,
                                          field_odd);
  if (snapshot) orvanta::replayfilter::SnapshotFromBgr(data, stride, width, height, snapshot);
  gst_video_frame_unmap(&frame);
  return buffer;
}

// An NV12 frame: converted into the snapshot, and copied into a buffer of the filter's own.
GstFlowReturn ProcessNv12(OrvantaReplayState& st, GstBuffer* buffer, uint8_t* snapshot,
                          GstBuffer** out) {
  GstVideoFrame in;
  if (!gst_video_frame_map(&in, &st.info, buffer, GST_MAP_READ)) {
    gst_buffer_unref(buffer);
    return GST_FLOW_ERROR;
  }
  if (snapshot)
    orvanta::replayfilter::SnapshotFromNv12(
        static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&in, 0)),
        GST_VIDEO_FRAME_PLANE_STRIDE(&in, 0),
        static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&in, 1)),
        GST_VIDEO_FRAME_PLANE_STRIDE(&in, 1), GST_VIDEO_FRAME_WIDTH(&in),
        GST_VIDEO_FRAME_HEIGHT(&in), snapshot);
  GstBuffer* copy = nullptr;
  GstFlowReturn flow = gst_buffer_pool_acquire_buffer(st.pool, &copy, nullptr);
  if (flow == GST_FLOW_OK) {
    GstVideoFrame dst;
    if (gst_video_frame_map(&dst, &st.info, copy, GST_MAP_WRITE)) {
      gst_video_frame_copy(&dst, &in);
      gst_video_frame_unmap(&dst);
      gst_buffer_copy_into(
          copy, buffer,
          static_cast<GstBufferCopyFlags>(GST_BUFFER_COPY_FLAGS | GST_BUFFER_COPY_TIMESTAMPS), 0,
          static_cast<gsize>(-1));
    } else {
      gst_buffer_unref(copy);
      copy = nullptr;
      flow = GST_FLOW_ERROR;
    }
  }
  gst_video_frame_unmap(&in);
  gst_buffer_unref(buffer);
  *out = copy;
  return flow;
}

GstFlowReturn InputChain(GstPad*, GstObject* parent, GstBuffer* buffer) {
  auto* self = ORVANTA_REPLAY(parent);
  OrvantaReplayState& st = *self->state;
  GstBuffer* out = nullptr;
  {
    std::lock_guard lock(st.mu);
    if (!st.have_format) {
      gst_buffer_unref(buffer);
      return GST_FLOW_NOT_NEGOTIATED;
    }
    // The program changes these while frames pass: each is read once per frame.
    ReplayBlock* b = st.block;
    const int32_t field_step = b ? LoadField(b->field_step) : 0;
    const int32_t field_odd = b ? LoadField(b->field_odd) : 0;
    uint8_t* snapshot = b ? LoadField(b->replay_snapshot) : nullptr;
    if (snapshot == st.stale_snapshot) snapshot = nullptr;
    if (st.format == PixelFormat::RGB24) {
      out = ProcessBgr(st, buffer, field_step, field_odd, snapshot);
    } else {
      GstFlowReturn flow = ProcessNv12(st, buffer, snapshot, &out);
      if (flow != GST_FLOW_OK) return flow;
    }
  }
  // Delivered outside the lock: the picture's sink holds a paused frame inside this push,
  // and a seek must still be able to flush through the filter.
  return gst_pad_push(self->output, out);
}

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
  auto* self = ORVANTA_REPLAY(element);
  GstStateChangeReturn r =
      GST_ELEMENT_CLASS(orvanta_replay_parent_class)->change_state(element, transition);
  if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
    std::lock_guard lock(self->state->mu);
    DropPool(*self->state);
    self->state->have_format = false;
  }
  return r;
}

void Finalize(GObject* object) {
  auto* self = ORVANTA_REPLAY(object);
  DropPool(*self->state);
  delete self->state;
  G_OBJECT_CLASS(orvanta_replay_parent_class)->finalize(object);
}

}  // namespace

static void orvanta_replay_class_init(OrvantaReplayClass* klass) {
  GST_DEBUG_CATEGORY_INIT(orvanta_replay_debug, "orvantareplay", 0, "Orvanta replay filter");
  auto* object_class = G_OBJECT_CLASS(klass);
  auto* element_class = GST_ELEMENT_CLASS(klass);
  object_class->finalize = Finalize;
  element_class->change_state = ChangeState;

  gst_element_class_set_static_metadata(
      element_class, "OrvantaIP Replay Filter", "Filter/Effect/Video",
      "Replays recorded clips: the field view of interlaced frames and the replay snapshot",
      "Orvanta");
  gst_element_class_add_static_metadata(element_class, "class-id", orvanta::kZaviprfClassId);
  gst_element_class_add_static_metadata(element_class, "interface-id", kInterfaceId);
  gst_element_class_add_static_metadata(element_class, "interface-version", "351");
  gst_element_class_add_static_metadata(element_class, "factory-name",
                                        "Orvanta2 deinterlace Replay filter");
  gst_element_class_add_static_metadata(element_class, "merit", "0x200000");
  gst_element_class_add_static_pad_template(element_class, &input_template);
  gst_element_class_add_static_pad_template(element_class, &output_template);

  g_signal_new_class_handler("attach-block", G_TYPE_FROM_CLASS(klass),
                             static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION),
                             G_CALLBACK(AttachBlock), nullptr, nullptr, nullptr, G_TYPE_INT, 3,
                             G_TYPE_POINTER, G_TYPE_POINTER, G_TYPE_POINTER);
  // The interface's reserved method: does nothing.
  g_signal_new_class_handler("nop", G_TYPE_FROM_CLASS(klass),
                             static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION),
                             G_CALLBACK(+[](OrvantaReplay*) -> gint { return 0; }), nullptr,
                             nullptr, nullptr, G_TYPE_INT, 0);
}

static void orvanta_replay_init(OrvantaReplay* self) {
  self->state = new OrvantaReplayState();
  self->input = gst_pad_new_from_static_template(&input_template, "Input");
  gst_pad_set_chain_function(self->input, InputChain);
  gst_pad_set_event_function(self->input, InputEvent);
  GST_PAD_SET_PROXY_CAPS(self->input);
  gst_element_add_pad(GST_ELEMENT(self), self->input);
  // Position, duration and seeking questions from the picture go upstream to the clip's
  // source: the default handling of an output pad forwards them.
  self->output = gst_pad_new_from_static_template(&output_template, "Output1");
  GST_PAD_SET_PROXY_CAPS(self->output);
  gst_element_add_pad(GST_ELEMENT(self), self->output);
}
