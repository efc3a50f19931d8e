// The detection filter element `orvantadetect`: a GStreamer adapter over DetectCore and
// AudioRing. Pads, in this order: "Input" (video in), "Output1" (live picture with
// overlays), "Output2" (clip frames), "Input Audio", "Audio Capture" (clip audio).
//
// The host hands over its DetectionBlock with the action signal
//   gint attach-block (gpointer block, gpointer version_out, gpointer reserved_out)
// (version 473, result 0), runs the filter by taking the element to PLAYING (again after
// each clip: PAUSED then PLAYING, the source may keep running), and hears the end of every
// clip as the element message "ClipEnd" on the bus when the block's host_thread_id is set.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define ORVANTA_TYPE_DETECT (orvanta_detect_get_type())
G_DECLARE_FINAL_TYPE(OrvantaDetect, orvanta_detect, ORVANTA, DETECT, GstElement)

GST_ELEMENT_REGISTER_DECLARE(orvantadetect);

G_END_DECLS
