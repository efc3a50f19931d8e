#include "detectfilter/gst/orvanta_detect.h"

#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "detectfilter/core/audio_ring.h"
#include "detectfilter/core/detect_core.h"
#include "detectfilter/gst/clip_end_message.h"
#include "detectfilter/gst/frame_layout.h"
#include "detectfilter/gst/output_queue.h"
#include "detectfilter/shared_field.h"
#include "detectfilter/zavipf.h"

GST_DEBUG_CATEGORY_STATIC(orvanta_detect_debug);
#define GST_CAT_DEFAULT orvanta_detect_debug

namespace {

using orvanta::DetectionBlock;
using orvanta::LoadShared;
using orvanta::PixelFormat;
using orvanta::detect::AudioRing;
using orvanta::detect::DetectCore;
using orvanta::detect::FrameTime;
using orvanta::detect::OutFrame;
using orvanta::detect::SampleTimes;
using orvanta::detect::VideoFormat;
using orvanta::detect::gst::ClipEndStructure;
using orvanta::detect::gst::FrameLayout;
using orvanta::detect::gst::OutputQueue;

#define ORVANTA_VIDEO_CAPS                                                                  \
  "video/x-raw, format=(string){ I420, YV12, YUY2, UYVY, NV12, GRAY8, BGR, BGRx, RGB8P }, " \
  "width=(int)[1,MAX], height=(int)[1,MAX], framerate=(fraction)[0/1,MAX]"
#define ORVANTA_AUDIO_CAPS                                                                \
  "audio/x-raw, format=(string){ U8, S16LE, S24LE, S32LE }, layout=(string)interleaved, " \
  "rate=(int)[1,MAX], channels=(int)[1,MAX]"

// The host's setup names of the five pins are the template names; the pads carry the pin
// names the host looks them up by.
GstStaticPadTemplate video_in_template = GST_STATIC_PAD_TEMPLATE(
    "Input Video", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(ORVANTA_VIDEO_CAPS));
GstStaticPadTemplate preview_template = GST_STATIC_PAD_TEMPLATE(
    "Output Video Preview", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(ORVANTA_VIDEO_CAPS));
GstStaticPadTemplate capture_template = GST_STATIC_PAD_TEMPLATE(
    "Output Video Capture", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(ORVANTA_VIDEO_CAPS));
GstStaticPadTemplate audio_in_template = GST_STATIC_PAD_TEMPLATE(
    "Input Audio", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(ORVANTA_AUDIO_CAPS));
GstStaticPadTemplate audio_out_template = GST_STATIC_PAD_TEMPLATE(
    "Output Audio", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(ORVANTA_AUDIO_CAPS));

constexpr int kPreviewCopyBuffers = 6;
constexpr int kPaletteBytes = 256 * 4;

// Times travel in 100-ns units through the core, in nanoseconds through GStreamer.
SampleTimes TimesOf(GstBuffer* buffer) {
  SampleTimes t;
  if (GST_BUFFER_PTS_IS_VALID(buffer)) {
    t.has_times = true;
    t.start = static_cast<int64_t>(GST_BUFFER_PTS(buffer) / 100);
    t.stop = t.start;
    if (GST_BUFFER_DURATION_IS_VALID(buffer))
      t.stop = static_cast<int64_t>((GST_BUFFER_PTS(buffer) + GST_BUFFER_DURATION(buffer)) / 100);
  }
  if (GST_BUFFER_OFFSET_IS_VALID(buffer) && GST_BUFFER_OFFSET_END_IS_VALID(buffer)) {
    t.has_media_times = true;
    t.media_start = static_cast<int64_t>(GST_BUFFER_OFFSET(buffer));
    t.media_stop = static_cast<int64_t>(GST_BUFFER_OFFSET_END(buffer));
  }
  t.sync_point = !GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
  t.discontinuity = GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT);
  return t;
}

void StampBuffer(GstBuffer* buffer, const SampleTimes& t) {
  if (t.has_times && t.start >= 0) {
    GST_BUFFER_PTS(buffer) = static_cast<GstClockTime>(t.start) * 100;
    if (t.stop >= t.start)
      GST_BUFFER_DURATION(buffer) = static_cast<GstClockTime>(t.stop - t.start) * 100;
  }
  if (t.has_media_times) {
    GST_BUFFER_OFFSET(buffer) = static_cast<guint64>(t.media_start);
    GST_BUFFER_OFFSET_END(buffer) = static_cast<guint64>(t.media_stop);
  }
  if (!t.sync_point) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
  if (t.discontinuity) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
}

std::string Utf8(const char16_t* text, size_t units) {
  std::string out;
  for (size_t i = 0; i < units && text[i] != 0; ++i)
    out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
  return out;
}

GstBufferPool* MakePool(GstCaps* caps, guint size, guint min_buffers) {
  GstBufferPool* pool = gst_buffer_pool_new();
  GstStructure* config = gst_buffer_pool_get_config(pool);
  gst_buffer_pool_config_set_params(config, caps, size, min_buffers, 0);
  if (!gst_buffer_pool_set_config(pool, config) || !gst_buffer_pool_set_active(pool, TRUE)) {
    gst_object_unref(pool);
    return nullptr;
  }
  return pool;
}

void DropPool(GstBufferPool*& pool) {
  if (!pool) return;
  gst_buffer_pool_set_active(pool, FALSE);
  gst_object_unref(pool);
  pool = nullptr;
}

GstBuffer* TakeBuffer(GstBufferPool* pool, gsize size) {
  GstBuffer* buffer = nullptr;
  if (pool && gst_buffer_pool_acquire_buffer(pool, &buffer, nullptr) == GST_FLOW_OK) return buffer;
  return gst_buffer_new_allocate(nullptr, size, nullptr);
}

}  // namespace

// Everything of the element that is C++: the core, the audio ring and the output queues.
struct OrvantaDetectState {
  explicit OrvantaDetectState(OrvantaDetect* self, GstPad* preview, GstPad* capture, GstPad* audio)
      : preview_q(preview), capture_q(capture), audio_q(audio) {
    (void)self;
  }

  std::atomic<bool> alive{true};  // outlives the queues: their markers look at it

  // Serialises the frame path with attach, format changes and state changes.
  std::mutex core_mu;
  DetectCore core;
  AudioRing audio;
  DetectionBlock* block = nullptr;

  // Video format of the input.
  bool have_video = false;
  GstVideoInfo vinfo{};
  FrameLayout layout;
  std::vector<uint8_t> packed;  // the frame in packed form when the caps layout differs
  std::vector<uint8_t> palette;
  GstBufferPool* capture_pool = nullptr;
  GstBufferPool* preview_pool = nullptr;
  bool preview_copy = false;
  // Taken to PLAYING before the input's format is known (a live source): the filter runs
  // once the format is set, as the host's Run always follows the connection.
  bool run_pending = false;

  // Set by the core's callbacks during one frame, acted on after it.
  bool preview_wanted = false;
  GstStructure* clip_end = nullptr;  // the finished clip's "ClipEnd" message
  std::vector<GstBuffer*> captured;
  int clip_delivered = 0;  // frames of the clip being recorded that left on Output2

  // The frame clock: the system clock, or with "stream-clock" set (a batch run over a
  // file) that reading in ms at stream time 0 plus the frame's stream time.
  std::atomic<gint64> stream_clock_ms{-1};
  gint64 frame_time_ms = 0;

  OutputQueue preview_q;
  OutputQueue capture_q;
  OutputQueue audio_q;
};

struct _OrvantaDetect {
  GstElement parent;
  GstPad* video_in;
  GstPad* preview_out;
  GstPad* capture_out;
  GstPad* audio_in;
  GstPad* audio_out;
  GList* video_links;  // the pads linked inside to "Input": both video outputs
  guint32 links_cookie;
  OrvantaDetectState* state;
};

G_DEFINE_TYPE(OrvantaDetect, orvanta_detect, GST_TYPE_ELEMENT)
GST_ELEMENT_REGISTER_DEFINE(orvantadetect, "orvantadetect", GST_RANK_NONE, ORVANTA_TYPE_DETECT)

namespace {

OrvantaDetectState& St(OrvantaDetect* self) {
  return *self->state;
}

// ---------------------------------------------------------------------------------------
// Host interface

gint AttachBlock(OrvantaDetect* self, gpointer block, gpointer version, gpointer reserved) {
  if (version) *static_cast<gint*>(version) = orvanta::kZavipfVersion;
  if (reserved) *static_cast<gint*>(reserved) = 0;
  if (!block) return 0;
  OrvantaDetectState& s = St(self);
  std::lock_guard lock(s.core_mu);
  auto* b = static_cast<DetectionBlock*>(block);
  s.core.AttachBlock(b);
  s.audio.Attach(b);
  s.block = b;
  GST_INFO_OBJECT(self, "block attached: %dx%d, ring of %d frames", b->cx, b->cy, b->ring_count);
  return 0;
}

gint SecondMethod(OrvantaDetect*) {
  return 0;
}

void PostClipEndAfterQueues(OrvantaDetect* self, GstStructure* clip) {
  // The host finishes the clip file when it hears ClipEnd: every clip frame and clip audio
  // buffer must be downstream by then. What follows waits until the host has given the
  // outputs a new recording branch and runs the filter again.
  auto left = std::make_shared<std::atomic<int>>(2);
  auto message = std::shared_ptr<GstStructure>(clip, gst_structure_free);
  auto done = [self, left, message] {
    if (--*left != 0 || !St(self).alive) return;
    gst_element_post_message(
        GST_ELEMENT(self),
        gst_message_new_element(GST_OBJECT(self), gst_structure_copy(message.get())));
  };
  St(self).capture_q.PushMarkerThenHold(done);
  St(self).audio_q.PushMarkerThenHold(done);
}

// Hands what the core produced during one call to the outputs: the clip frames, then the
// end of the clip.
void PushCoreResults(OrvantaDetect* self, std::unique_lock<std::mutex>& lock) {
  OrvantaDetectState& s = St(self);
  std::vector<GstBuffer*> captured;
  captured.swap(s.captured);
  GstStructure* clip_end = s.clip_end;
  s.clip_end = nullptr;
  lock.unlock();
  for (GstBuffer* b : captured) s.capture_q.Push(b);
  if (clip_end) PostClipEndAfterQueues(self, clip_end);
}

// ---------------------------------------------------------------------------------------
// Video input

GstCaps* VideoCapsFor(OrvantaDetect* self, GstPad* pad, GstCaps* filter) {
  GstCaps* caps = gst_pad_get_pad_template_caps(pad);
  auto narrow = [&](GstCaps* other) {
    GstCaps* c = gst_caps_intersect_full(caps, other, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(caps);
    gst_caps_unref(other);
    caps = c;
  };
  if (filter) narrow(gst_caps_ref(filter));
  if (pad == self->video_in) {
    // What both outputs' peers take.
    for (GstPad* out : {self->preview_out, self->capture_out})
      if (gst_pad_is_linked(out)) narrow(gst_pad_peer_query_caps(out, caps));
  } else {
    GstCaps* current = gst_pad_get_current_caps(self->video_in);
    narrow(current ? current : gst_pad_peer_query_caps(self->video_in, caps));
  }
  return caps;
}

bool SetVideoCaps(OrvantaDetect* self, GstCaps* caps) {
  OrvantaDetectState& s = St(self);
  GstVideoInfo info;
  if (!gst_video_info_from_caps(&info, caps)) return false;
  VideoFormat format;
  format.subtype = orvanta::detect::gst::PixelFormatOfVideo(GST_VIDEO_INFO_FORMAT(&info));
  format.width = GST_VIDEO_INFO_WIDTH(&info);
  format.height = GST_VIDEO_INFO_HEIGHT(&info);
  if (GST_VIDEO_INFO_FPS_N(&info) > 0)
    format.frame_duration = static_cast<int64_t>(gst_util_uint64_scale_int(
        10000000, GST_VIDEO_INFO_FPS_D(&info), GST_VIDEO_INFO_FPS_N(&info)));

  std::unique_lock lock(s.core_mu);
  if (!s.core.SetMediaType(format)) {
    std::string reason =
        s.block ? Utf8(s.block->format_error, std::size(s.block->format_error)) : std::string();
    lock.unlock();
    if (reason.empty()) reason = "video format not accepted";
    GST_ELEMENT_ERROR(self, STREAM, FORMAT, ("%s", reason.c_str()),
                      ("refused caps %" GST_PTR_FORMAT, caps));
    return false;
  }
  s.vinfo = info;
  s.layout = FrameLayout(info);
  s.have_video = true;
  if (s.run_pending) {
    s.run_pending = false;
    s.core.Run();
    s.audio.Run(s.core.frame_duration());
  }
  s.palette.assign(kPaletteBytes, 0);
  DropPool(s.capture_pool);
  DropPool(s.preview_pool);
  s.capture_pool = MakePool(caps, static_cast<guint>(info.size), 2);
  // A source that is a named filter, and NV12 input, get copies on the preview: the live
  // image then never leaves with the upstream buffer.
  s.preview_copy = s.block && (s.block->filterinmode || format.subtype == PixelFormat::NV12);
  if (s.preview_copy)
    s.preview_pool = MakePool(caps, static_cast<guint>(info.size), kPreviewCopyBuffers);
  GST_INFO_OBJECT(self, "video %s %dx%d, frame duration %" G_GINT64_FORMAT " (100 ns)%s",
                  gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info)), format.width,
                  format.height, s.core.frame_duration(),
                  s.layout.in_place() ? "" : ", repacked for the core");
  return true;
}

// Hands the live image to Output1; the answer is what the frame path reports upstream when
// the filter is not running.
GstFlowReturn PushPreview(OrvantaDetect* self, GstBuffer* buffer) {
  OrvantaDetectState& s = St(self);
  if (s.preview_copy) {
    const gsize size = gst_buffer_get_size(buffer);
    GstBuffer* copy = TakeBuffer(s.preview_pool, size);
    GstMapInfo in, out;
    if (gst_buffer_map(buffer, &in, GST_MAP_READ)) {
      if (gst_buffer_map(copy, &out, GST_MAP_WRITE)) {
        if (in.size == out.size) {
          memcpy(out.data, in.data, in.size);
        } else {
          // Row by row, each side's rows being its size over the picture's rows.
          const int cy = GST_VIDEO_INFO_HEIGHT(&s.vinfo);
          const int rows =
              GST_VIDEO_INFO_FORMAT(&s.vinfo) == GST_VIDEO_FORMAT_NV12 ? cy + cy / 2 : cy;
          const gsize src_row = in.size / rows, dst_row = out.size / rows;
          for (int r = 0; r < rows; ++r)
            memcpy(out.data + r * dst_row, in.data + r * src_row, std::min(src_row, dst_row));
        }
        gst_buffer_unmap(copy, &out);
      }
      gst_buffer_unmap(buffer, &in);
    }
    gst_buffer_copy_into(
        copy, buffer,
        static_cast<GstBufferCopyFlags>(GST_BUFFER_COPY_FLAGS | GST_BUFFER_COPY_TIMESTAMPS), 0,
        static_cast<gsize>(-1));
    gst_buffer_unref(buffer);
    buffer = copy;
  }
  GstFlowReturn ret = s.preview_q.Push(buffer);
  return ret == GST_FLOW_NOT_LINKED ? GST_FLOW_OK : ret;
}

GstBuffer* CaptureBuffer(OrvantaDetectState& s, const OutFrame& frame) {
  GstBuffer* out = TakeBuffer(s.capture_pool, s.vinfo.size);
  if (s.layout.in_place()) {
    gst_buffer_fill(out, 0, frame.data, std::min<gsize>(frame.bytes, s.vinfo.size));
    if (GST_VIDEO_INFO_FORMAT(&s.vinfo) == GST_VIDEO_FORMAT_RGB8P)
      gst_buffer_fill(out, GST_VIDEO_INFO_PLANE_OFFSET(&s.vinfo, 1), s.palette.data(),
                      kPaletteBytes);
  } else {
    GstVideoFrame vf;
    if (gst_video_frame_map(&vf, &s.vinfo, out, GST_MAP_WRITE)) {
      s.layout.Unpack(frame.data, frame.bytes, vf, s.palette.data(), s.palette.size());
      gst_video_frame_unmap(&vf);
    }
  }
  StampBuffer(out, frame.times);
  return out;
}

GstFlowReturn VideoChain(GstPad*, GstObject* parent, GstBuffer* buffer) {
  auto* self = ORVANTA_DETECT(parent);
  OrvantaDetectState& s = St(self);
  std::unique_lock lock(s.core_mu);
  if (!s.have_video) {
    lock.unlock();
    gst_buffer_unref(buffer);
    return GST_FLOW_NOT_NEGOTIATED;
  }
  if (!s.core.running()) {
    // Not attached, not run yet, or stopped after a clip: frames pass to the preview as
    // they came.
    const bool hold = s.block && LoadShared(s.block->output_hold);
    lock.unlock();
    if (hold) {
      gst_buffer_unref(buffer);
      return GST_FLOW_OK;
    }
    return PushPreview(self, buffer);
  }

  buffer = gst_buffer_make_writable(buffer);
  GstVideoFrame vf;
  if (!gst_video_frame_map(&vf, &s.vinfo, buffer, GST_MAP_READWRITE)) {
    lock.unlock();
    gst_buffer_unref(buffer);
    GST_ELEMENT_ERROR(self, STREAM, FAILED, ("video frame does not match its format"), (nullptr));
    return GST_FLOW_ERROR;
  }
  auto* base = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&vf, 0));
  bool in_place = s.layout.in_place();
  for (guint p = 0; in_place && p < GST_VIDEO_FRAME_N_PLANES(&vf); ++p)
    in_place = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&vf, p)) ==
                   base + GST_VIDEO_INFO_PLANE_OFFSET(&s.vinfo, p) &&
               GST_VIDEO_FRAME_PLANE_STRIDE(&vf, p) == GST_VIDEO_INFO_PLANE_STRIDE(&s.vinfo, p);
  if (GST_VIDEO_INFO_FORMAT(&s.vinfo) == GST_VIDEO_FORMAT_RGB8P)
    memcpy(s.palette.data(), GST_VIDEO_FRAME_PLANE_DATA(&vf, 1), kPaletteBytes);
  uint8_t* frame = base;
  const size_t bytes = s.layout.packed_size();
  if (!in_place) {
    s.packed.resize(bytes);
    s.layout.Pack(vf, s.packed.data());
    frame = s.packed.data();
  }
  s.preview_wanted = false;
  if (GST_BUFFER_PTS_IS_VALID(buffer))
    s.frame_time_ms = static_cast<gint64>(GST_BUFFER_PTS(buffer) / GST_MSECOND);
  s.core.ReceiveVideo(frame, bytes, TimesOf(buffer));
  if (!in_place && s.preview_wanted) s.layout.Unpack(frame, bytes, vf);
  gst_video_frame_unmap(&vf);

  const bool preview = s.preview_wanted;
  PushCoreResults(self, lock);
  if (!preview) {
    gst_buffer_unref(buffer);
    return GST_FLOW_OK;
  }
  // While running the preview's result is not the frame path's, unless the output is
  // shutting down.
  GstFlowReturn ret = PushPreview(self, buffer);
  return ret == GST_FLOW_FLUSHING ? ret : GST_FLOW_OK;
}

gboolean ForwardToVideoOutputs(OrvantaDetect* self, GstEvent* event) {
  OrvantaDetectState& s = St(self);
  gboolean a = s.preview_q.PushEvent(gst_event_ref(event));
  gboolean b = s.capture_q.PushEvent(event);
  return a && b;
}

// The end of the stream finishes the clip being recorded; a flush (a seek) does too, and
// the frames after it no longer follow those in the ring. A flush stays off the clip
// outputs: it would drop clip frames still queued for the recording branch.
gboolean VideoStreamBreak(OrvantaDetect* self, GstEvent* event) {
  OrvantaDetectState& s = St(self);
  const GstEventType type = GST_EVENT_TYPE(event);
  if (type == GST_EVENT_FLUSH_START) return s.preview_q.PushEvent(event);
  std::unique_lock lock(s.core_mu);
  if (type == GST_EVENT_EOS) {
    s.core.EndOfStream();
  } else {
    s.core.Restart();
  }
  PushCoreResults(self, lock);
  if (type == GST_EVENT_FLUSH_STOP) return s.preview_q.PushEvent(event);
  return ForwardToVideoOutputs(self, event);
}

// Clip outputs carry their own clock from the filter's run, so they get a segment of their
// own, followed by a gap: a clip output is silent most of the time, and its sink must not
// hold the pipeline's preroll waiting for data.
void StartClipOutput(OutputQueue& q, GstEvent* from) {
  GstSegment segment;
  gst_segment_init(&segment, GST_FORMAT_TIME);
  GstEvent* event = gst_event_new_segment(&segment);
  gst_event_set_seqnum(event, gst_event_get_seqnum(from));
  q.PushEvent(event);
  q.PushEvent(gst_event_new_gap(0, 0));
}

gboolean VideoEvent(GstPad*, GstObject* parent, GstEvent* event) {
  auto* self = ORVANTA_DETECT(parent);
  OrvantaDetectState& s = St(self);
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
      GstCaps* caps;
      gst_event_parse_caps(event, &caps);
      if (!SetVideoCaps(self, caps)) {
        gst_event_unref(event);
        return FALSE;
      }
      return ForwardToVideoOutputs(self, event);
    }
    case GST_EVENT_SEGMENT: {
      StartClipOutput(s.capture_q, event);
      return s.preview_q.PushEvent(event);
    }
    case GST_EVENT_EOS:
    case GST_EVENT_FLUSH_START:
    case GST_EVENT_FLUSH_STOP:
      return VideoStreamBreak(self, event);
    default:
      return ForwardToVideoOutputs(self, event);
  }
}

gboolean VideoQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
  auto* self = ORVANTA_DETECT(parent);
  switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_CAPS: {
      GstCaps* filter;
      gst_query_parse_caps(query, &filter);
      GstCaps* caps = VideoCapsFor(self, pad, filter);
      gst_query_set_caps_result(query, caps);
      gst_caps_unref(caps);
      return TRUE;
    }
    case GST_QUERY_ACCEPT_CAPS: {
      // Any size of an accepted format: a size the block does not expect is refused when
      // the caps are set, with the reason left in the block.
      GstCaps* caps;
      gst_query_parse_accept_caps(query, &caps);
      GstCaps* templ = gst_pad_get_pad_template_caps(pad);
      gst_query_set_accept_caps_result(query, gst_caps_is_subset(caps, templ));
      gst_caps_unref(templ);
      return TRUE;
    }
    case GST_QUERY_ALLOCATION:
      // Frames are drawn on and copied here; upstream keeps its own buffers.
      return FALSE;
    default:
      return gst_pad_query_default(pad, parent, query);
  }
}

// ---------------------------------------------------------------------------------------
// Audio input

GstCaps* AudioCapsFor(OrvantaDetect* self, GstPad* pad, GstCaps* filter) {
  OrvantaDetectState& s = St(self);
  GstCaps* caps = gst_pad_get_pad_template_caps(pad);
  auto narrow = [&](GstCaps* other) {
    GstCaps* c = gst_caps_intersect_full(caps, other, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(caps);
    gst_caps_unref(other);
    caps = c;
  };
  bool only_48k;
  {
    std::lock_guard lock(s.core_mu);
    only_48k = s.block && s.block->audio_48k;
  }
  if (only_48k) {
    caps = gst_caps_make_writable(caps);
    gst_caps_set_simple(caps, "rate", G_TYPE_INT, 48000, nullptr);
  }
  if (filter) narrow(gst_caps_ref(filter));
  if (pad == self->audio_in) {
    if (gst_pad_is_linked(self->audio_out)) narrow(gst_pad_peer_query_caps(self->audio_out, caps));
  } else {
    GstCaps* current = gst_pad_get_current_caps(self->audio_in);
    narrow(current ? current : gst_pad_peer_query_caps(self->audio_in, caps));
  }
  return caps;
}

bool SetAudioCaps(OrvantaDetect* self, GstCaps* caps) {
  OrvantaDetectState& s = St(self);
  GstAudioInfo info;
  if (!gst_audio_info_from_caps(&info, caps) || !GST_AUDIO_INFO_IS_INTEGER(&info)) return false;
  {
    std::lock_guard lock(s.core_mu);
    if (s.block && s.block->audio_48k && GST_AUDIO_INFO_RATE(&info) != 48000) {
      GST_WARNING_OBJECT(self, "audio refused: the source must deliver 48000 Hz");
      return false;
    }
  }
  s.audio.SetFormat(GST_AUDIO_INFO_WIDTH(&info), GST_AUDIO_INFO_CHANNELS(&info),
                    GST_AUDIO_INFO_RATE(&info));
  return true;
}

GstFlowReturn AudioChain(GstPad*, GstObject* parent, GstBuffer* buffer) {
  auto* self = ORVANTA_DETECT(parent);
  OrvantaDetectState& s = St(self);
  std::vector<GstBuffer*> out;
  GstMapInfo map;
  if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
    s.audio.Receive(map.data, map.size, TimesOf(buffer), [&](const OutFrame& f) {
      GstBuffer* b = gst_buffer_new_memdup(f.data, f.bytes);
      StampBuffer(b, f.times);
      out.push_back(b);
      return true;
    });
    gst_buffer_unmap(buffer, &map);
  }
  gst_buffer_unref(buffer);
  GstFlowReturn ret = GST_FLOW_OK;
  for (GstBuffer* b : out)
    if (s.audio_q.Push(b) == GST_FLOW_FLUSHING) ret = GST_FLOW_FLUSHING;
  return ret;
}

gboolean AudioEvent(GstPad*, GstObject* parent, GstEvent* event) {
  // Handled here, not by the default handler, which would hand an end of stream of the
  // audio to the video outputs as well.
  auto* self = ORVANTA_DETECT(parent);
  OrvantaDetectState& s = St(self);
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
      GstCaps* caps;
      gst_event_parse_caps(event, &caps);
      if (!SetAudioCaps(self, caps)) {
        gst_event_unref(event);
        return FALSE;
      }
      return s.audio_q.PushEvent(event);
    }
    case GST_EVENT_SEGMENT: {
      StartClipOutput(s.audio_q, event);
      gst_event_unref(event);
      return TRUE;
    }
    default:
      return s.audio_q.PushEvent(event);
  }
}

gboolean AudioQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
  auto* self = ORVANTA_DETECT(parent);
  switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_CAPS: {
      GstCaps* filter;
      gst_query_parse_caps(query, &filter);
      GstCaps* caps = AudioCapsFor(self, pad, filter);
      gst_query_set_caps_result(query, caps);
      gst_caps_unref(caps);
      return TRUE;
    }
    case GST_QUERY_ACCEPT_CAPS: {
      GstCaps* caps;
      gst_query_parse_accept_caps(query, &caps);
      GstCaps* allowed = AudioCapsFor(self, pad, nullptr);
      gst_query_set_accept_caps_result(query, gst_caps_is_subset(caps, allowed));
      gst_caps_unref(allowed);
      return TRUE;
    }
    case GST_QUERY_ALLOCATION:
      return FALSE;
    default:
      return gst_pad_query_default(pad, parent, query);
  }
}

// ---------------------------------------------------------------------------------------
// Outputs

gboolean OutputEvent(GstPad* pad, GstObject* parent, GstEvent* event) {
  auto* self = ORVANTA_DETECT(parent);
  // Seeking goes upstream from the preview only, as one output owns the source's position.
  if (GST_EVENT_TYPE(event) == GST_EVENT_SEEK && pad != self->preview_out) {
    gst_event_unref(event);
    return FALSE;
  }
  GstPad* in = pad == self->audio_out ? self->audio_in : self->video_in;
  return gst_pad_push_event(in, event);
}

gboolean OutputQuery(GstPad* pad, GstObject* parent, GstQuery* query) {
  auto* self = ORVANTA_DETECT(parent);
  if (GST_QUERY_TYPE(query) == GST_QUERY_CAPS) {
    GstCaps* filter;
    gst_query_parse_caps(query, &filter);
    GstCaps* caps =
        pad == self->audio_out ? AudioCapsFor(self, pad, filter) : VideoCapsFor(self, pad, filter);
    gst_query_set_caps_result(query, caps);
    gst_caps_unref(caps);
    return TRUE;
  }
  return gst_pad_query_default(pad, parent, query);
}

OutputQueue& QueueOf(OrvantaDetect* self, GstPad* pad) {
  OrvantaDetectState& s = St(self);
  return pad == self->preview_out   ? s.preview_q
         : pad == self->capture_out ? s.capture_q
                                    : s.audio_q;
}

gboolean OutputActivateMode(GstPad* pad, GstObject* parent, GstPadMode mode, gboolean active) {
  if (mode != GST_PAD_MODE_PUSH) return FALSE;
  return QueueOf(ORVANTA_DETECT(parent), pad).Activate(active);
}

GstIterator* InternalLinks(GstPad* pad, GstObject* parent) {
  auto* self = ORVANTA_DETECT(parent);
  if (pad == self->video_in)
    return gst_iterator_new_list(GST_TYPE_PAD, GST_OBJECT_GET_LOCK(self), &self->links_cookie,
                                 &self->video_links, G_OBJECT(self), nullptr);
  GstPad* other = pad == self->audio_in    ? self->audio_out
                  : pad == self->audio_out ? self->audio_in
                                           : self->video_in;
  GValue value = G_VALUE_INIT;
  g_value_init(&value, GST_TYPE_PAD);
  g_value_set_object(&value, other);
  GstIterator* it = gst_iterator_new_single(GST_TYPE_PAD, &value);
  g_value_unset(&value);
  return it;
}

// ---------------------------------------------------------------------------------------
// Object

GstStateChangeReturn ChangeState(GstElement* element, GstStateChange transition) {
  auto* self = ORVANTA_DETECT(element);
  OrvantaDetectState& s = St(self);
  if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
    std::lock_guard lock(s.core_mu);
    s.core.Stop();
  }
  GstStateChangeReturn ret =
      GST_ELEMENT_CLASS(orvanta_detect_parent_class)->change_state(element, transition);
  if (ret == GST_STATE_CHANGE_FAILURE) return ret;
  switch (transition) {
    case GST_STATE_CHANGE_PAUSED_TO_PLAYING: {
      std::lock_guard lock(s.core_mu);
      if (s.core.running()) {
        // Between clips: the host has a new recording branch in place; detection has gone
        // on all along and the ring keeps its frames.
        GST_DEBUG_OBJECT(self, "recording outputs released");
      } else {
        s.run_pending = !s.have_video;
        if (!s.run_pending) {
          s.core.Run();
          s.audio.Run(s.core.frame_duration());
        }
        GST_DEBUG_OBJECT(self, "run%s", s.run_pending ? " once the format is known" : "");
      }
      s.capture_q.Release();
      s.audio_q.Release();
      break;
    }
    case GST_STATE_CHANGE_PAUSED_TO_READY: {
      std::lock_guard lock(s.core_mu);
      s.have_video = false;
      s.run_pending = false;
      DropPool(s.capture_pool);
      DropPool(s.preview_pool);
      for (GstBuffer* b : s.captured) gst_buffer_unref(b);
      s.captured.clear();
      if (s.clip_end) gst_structure_free(s.clip_end);
      s.clip_end = nullptr;
      s.clip_delivered = 0;
      break;
    }
    default:
      break;
  }
  return ret;
}

enum { kPropStreamClock = 1 };

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec) {
  auto* self = ORVANTA_DETECT(object);
  if (id == kPropStreamClock) {
    St(self).stream_clock_ms.store(g_value_get_int64(value));
  } else {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec) {
  auto* self = ORVANTA_DETECT(object);
  if (id == kPropStreamClock) {
    g_value_set_int64(value, St(self).stream_clock_ms.load());
  } else {
    G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
  }
}

void Finalize(GObject* object) {
  auto* self = ORVANTA_DETECT(object);
  g_list_free(self->video_links);
  self->video_links = nullptr;
  if (self->state) {
    self->state->alive = false;
    DropPool(self->state->capture_pool);
    DropPool(self->state->preview_pool);
    for (GstBuffer* b : self->state->captured) gst_buffer_unref(b);
    if (self->state->clip_end) gst_structure_free(self->state->clip_end);
    delete self->state;
    self->state = nullptr;
  }
  G_OBJECT_CLASS(orvanta_detect_parent_class)->finalize(object);
}

GstPad* AddPad(OrvantaDetect* self, GstStaticPadTemplate* templ, const char* name) {
  GstPad* pad = gst_pad_new_from_static_template(templ, name);
  gst_pad_set_iterate_internal_links_function(pad, InternalLinks);
  gst_element_add_pad(GST_ELEMENT(self), pad);
  return pad;
}

}  // namespace

static void orvanta_detect_class_init(OrvantaDetectClass* klass) {
  GST_DEBUG_CATEGORY_INIT(orvanta_detect_debug, "orvantadetect", 0, "Orvanta detection filter");
  auto* object_class = G_OBJECT_CLASS(klass);
  auto* element_class = GST_ELEMENT_CLASS(klass);
  object_class->finalize = Finalize;
  object_class->set_property = SetProperty;
  object_class->get_property = GetProperty;
  g_object_class_install_property(
      object_class, kPropStreamClock,
      g_param_spec_int64("stream-clock", "Stream clock",
                         "Frame clock reading in ms at stream time 0, for a run over a file: "
                         "frames are stamped from their stream time instead of the system "
                         "clock; -1 for the system clock",
                         -1, G_MAXINT64, -1,
                         static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
  element_class->change_state = ChangeState;

  gst_element_class_set_static_metadata(
      element_class, "OrvantaIP Motion Detector", "Filter/Analyzer/Video",
      "Keeps a time-shift ring of the live video, detects moving objects such as meteors, and "
      "delivers each clip from before its trigger with the time burnt in and its sound",
      "Orvanta");
  gst_element_class_add_static_metadata(element_class, "class-id", orvanta::kZavipfClassId);
  gst_element_class_add_static_metadata(element_class, "interface-id", orvanta::kZavipfInterfaceId);
  gst_element_class_add_static_metadata(element_class, "interface-version", "473");
  gst_element_class_add_static_metadata(element_class, "factory-name", "Orvanta MotionDetector");
  gst_element_class_add_static_metadata(element_class, "merit", "0x200000");

  gst_element_class_add_static_pad_template(element_class, &video_in_template);
  gst_element_class_add_static_pad_template(element_class, &preview_template);
  gst_element_class_add_static_pad_template(element_class, &capture_template);
  gst_element_class_add_static_pad_template(element_class, &audio_in_template);
  gst_element_class_add_static_pad_template(element_class, &audio_out_template);

  // The host's interface: its block in, the interface version and a reserved value out.
  g_signal_new_class_handler("attach-block", G_TYPE_FROM_CLASS(klass),
                             static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION),
                             G_CALLBACK(AttachBlock), nullptr, nullptr, nullptr, G_TYPE_INT, 3,
                             G_TYPE_POINTER, G_TYPE_POINTER, G_TYPE_POINTER);
  // The interface's second method: answers success and does nothing.
  g_signal_new_class_handler("nop", G_TYPE_FROM_CLASS(klass),
                             static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION),
                             G_CALLBACK(SecondMethod), nullptr, nullptr, nullptr, G_TYPE_INT, 0);
}

static void orvanta_detect_init(OrvantaDetect* self) {
  self->video_in = AddPad(self, &video_in_template, "Input");
  self->preview_out = AddPad(self, &preview_template, "Output1");
  self->capture_out = AddPad(self, &capture_template, "Output2");
  self->audio_in = AddPad(self, &audio_in_template, "Input Audio");
  self->audio_out = AddPad(self, &audio_out_template, "Audio Capture");

  self->video_links = g_list_append(nullptr, self->preview_out);
  self->video_links = g_list_append(self->video_links, self->capture_out);

  gst_pad_set_chain_function(self->video_in, VideoChain);
  gst_pad_set_event_function(self->video_in, VideoEvent);
  gst_pad_set_query_function(self->video_in, VideoQuery);
  gst_pad_set_chain_function(self->audio_in, AudioChain);
  gst_pad_set_event_function(self->audio_in, AudioEvent);
  gst_pad_set_query_function(self->audio_in, AudioQuery);
  for (GstPad* out : {self->preview_out, self->capture_out, self->audio_out}) {
    gst_pad_set_event_function(out, OutputEvent);
    gst_pad_set_query_function(out, OutputQuery);
    gst_pad_set_activatemode_function(out, OutputActivateMode);
  }

  self->state = new OrvantaDetectState(self, self->preview_out, self->capture_out, self->audio_out);
  DetectCore& core = self->state->core;
  OrvantaDetectState* s = self->state;
  orvanta::detect::CoreOutputs outputs;
  outputs.preview = [s](const OutFrame&) {
    s->preview_wanted = true;
    return true;
  };
  outputs.capture = [s](const OutFrame& frame) {
    s->captured.push_back(CaptureBuffer(*s, frame));
    ++s->clip_delivered;
    GstFlowReturn last = s->capture_q.last_flow();
    return last == GST_FLOW_OK || last == GST_FLOW_NOT_LINKED;
  };
  outputs.clip_end = [s] {
    if (s->clip_end) gst_structure_free(s->clip_end);
    s->clip_end = ClipEndStructure(*s->block, s->clip_delivered);
    s->clip_delivered = 0;
    s->audio.NewClip();
  };
  core.SetOutputs(std::move(outputs));
  core.SetClock([s] {
    const gint64 base = s->stream_clock_ms.load(std::memory_order_relaxed);
    if (base < 0) return orvanta::detect::SystemClock();
    const gint64 ms = base + s->frame_time_ms;
    return FrameTime{ms / 1000, static_cast<int32_t>(ms % 1000)};
  });
}
