// Names and small helpers the live graph's building steps share (live_graph.cpp,
// live_sources.cpp, filter_hosting.cpp, record_branch.cpp).
#pragma once

#include <gst/gst.h>

#include <cstddef>
#include <string>

#include "app/text_utf.h"
#include "capture/media/media_graph.h"

namespace orvanta::capture {

// The media layer's names the building steps speak in.
using media::Failed;
using media::MediaKind;
using media::PinCategory;
using media::Result;

// A device or decoder setting names one; "-" (or nothing) names none.
inline bool Named(const std::string& name) {
  return !name.empty() && name[0] != '-';
}

inline bool HasProperty(GstElement* element, const char* name) {
  return g_object_class_find_property(G_OBJECT_GET_CLASS(element), name) != nullptr;
}

template <size_t N>
void SetText(char16_t (&field)[N], const std::string& text) {
  SetField(field, Utf8ToUtf16(text));
}

}  // namespace orvanta::capture
