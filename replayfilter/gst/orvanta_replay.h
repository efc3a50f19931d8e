// The replay filter element `orvantareplay`, between a replayed clip's decoder and the
// picture. Pads: "Input" (RGB24 or NV12 video) and "Output1" (the same format).
//
// Every frame goes on unchanged, except that while the program's ReplayBlock asks for the
// field view (field_step 1) an RGB24 frame shows only the field named by field_odd, the
// other rows averaged from their neighbours. Every frame is also copied into the block's
// replay snapshot buffer as a bottom-up BGR bitmap. The filter fills in the block's clip
// format and frame duration when the format is set.
//
// The program hands over its ReplayBlock with the action signal
//   gint attach-block (gpointer block, gpointer version_out, gpointer reserved_out)
// (version 351, result 0; 0x80004003 and nothing stored when an argument is missing).
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS

#define ORVANTA_TYPE_REPLAY (orvanta_replay_get_type())
G_DECLARE_FINAL_TYPE(OrvantaReplay, orvanta_replay, ORVANTA, REPLAY, GstElement)

GST_ELEMENT_REGISTER_DECLARE(orvantareplay);

G_END_DECLS
