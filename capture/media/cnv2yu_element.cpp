#include "capture/media/cnv2yu_element.h"

#include <gst/base/gstbasetransform.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <mutex>

#include "capture/media/nv12_to_yuy2.h"

namespace {

struct Cnv2yu {
  GstBaseTransform parent;
  GstVideoInfo in_info;
  GstVideoInfo out_info;
};
struct Cnv2yuClass {
  GstBaseTransformClass parent_class;
};

GType cnv2yu_get_type();
#define ORVANTA_CNV2YU(obj) (reinterpret_cast<Cnv2yu*>(obj))

G_DEFINE_TYPE(Cnv2yu, cnv2yu, GST_TYPE_BASE_TRANSFORM)

GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("NV12")));
GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(GST_VIDEO_CAPS_MAKE("YUY2")));

// Same frame size and rate on both sides; only the format changes.
GstCaps* cnv2yu_transform_caps(GstBaseTransform*, GstPadDirection direction, GstCaps* caps,
                               GstCaps* filter) {
  const char* to = direction == GST_PAD_SINK ? "YUY2" : "NV12";
  GstCaps* out = gst_caps_copy(caps);
  for (guint i = 0; i < gst_caps_get_size(out); ++i)
    gst_structure_set(gst_caps_get_structure(out, i), "format", G_TYPE_STRING, to, nullptr);
  if (filter) {
    GstCaps* both = gst_caps_intersect_full(filter, out, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(out);
    out = both;
  }
  return out;
}

gboolean cnv2yu_set_caps(GstBaseTransform* trans, GstCaps* incaps, GstCaps* outcaps) {
  Cnv2yu* self = ORVANTA_CNV2YU(trans);
  return gst_video_info_from_caps(&self->in_info, incaps) &&
         gst_video_info_from_caps(&self->out_info, outcaps) &&
         GST_VIDEO_INFO_WIDTH(&self->in_info) == GST_VIDEO_INFO_WIDTH(&self->out_info) &&
         GST_VIDEO_INFO_HEIGHT(&self->in_info) == GST_VIDEO_INFO_HEIGHT(&self->out_info);
}

gboolean cnv2yu_get_unit_size(GstBaseTransform*, GstCaps* caps, gsize* size) {
  GstVideoInfo info;
  if (!gst_video_info_from_caps(&info, caps)) return FALSE;
  *size = GST_VIDEO_INFO_SIZE(&info);
  return TRUE;
}

GstFlowReturn cnv2yu_transform(GstBaseTransform* trans, GstBuffer* inbuf, GstBuffer* outbuf) {
  Cnv2yu* self = ORVANTA_CNV2YU(trans);
  GstVideoFrame in, out;
  if (!gst_video_frame_map(&in, &self->in_info, inbuf, GST_MAP_READ)) return GST_FLOW_ERROR;
  if (!gst_video_frame_map(&out, &self->out_info, outbuf, GST_MAP_WRITE)) {
    gst_video_frame_unmap(&in);
    return GST_FLOW_ERROR;
  }
  orvanta::media::Nv12ToYuy2(static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&in, 0)),
                             GST_VIDEO_FRAME_PLANE_STRIDE(&in, 0),
                             static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&in, 1)),
                             GST_VIDEO_FRAME_PLANE_STRIDE(&in, 1),
                             static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&out, 0)),
                             GST_VIDEO_FRAME_PLANE_STRIDE(&out, 0), GST_VIDEO_FRAME_WIDTH(&in),
                             GST_VIDEO_FRAME_HEIGHT(&in));
  gst_video_frame_unmap(&out);
  gst_video_frame_unmap(&in);
  return GST_FLOW_OK;
}

void cnv2yu_class_init(Cnv2yuClass* klass) {
  GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
  GstBaseTransformClass* trans_class = GST_BASE_TRANSFORM_CLASS(klass);
  gst_element_class_set_static_metadata(element_class, "NV2YU Converter", "Filter/Converter/Video",
                                        "Converts NV12 frames to YUY2 for the AVI recording",
                                        "Orvanta");
  gst_element_class_add_metadata(element_class, "class-id", orvanta::media::kCnv2yuClassId);
  gst_element_class_add_static_pad_template(element_class, &sink_template);
  gst_element_class_add_static_pad_template(element_class, &src_template);
  trans_class->transform_caps = cnv2yu_transform_caps;
  trans_class->set_caps = cnv2yu_set_caps;
  trans_class->get_unit_size = cnv2yu_get_unit_size;
  trans_class->transform = cnv2yu_transform;
  trans_class->passthrough_on_same_caps = FALSE;
}

void cnv2yu_init(Cnv2yu* self) {
  gst_video_info_init(&self->in_info);
  gst_video_info_init(&self->out_info);
}

}  // namespace

namespace orvanta::media {

bool RegisterCnv2yu() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    ok = gst_element_register(nullptr, kCnv2yuFactory, GST_RANK_NONE, cnv2yu_get_type());
  });
  return ok;
}

}  // namespace orvanta::media
