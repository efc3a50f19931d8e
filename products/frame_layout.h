// The pixel layouts a detection-filter frame can have, named from the media
// subtype GUID kept in the block.
#pragma once

#include <cstddef>

#include "detectfilter/zavipf.h"

namespace orvanta {

enum class FrameLayout { Other, I420, YV12, NV12, YUY2, UYVY, Y800, RGB8, RGB24, RGB32 };

// I420 and IYUV share one layout; unknown subtypes give Other.
FrameLayout FrameLayoutOf(const Guid& subtype);

// Bytes a frame of the layout needs at cx x cy (0 for Other). Planes and rows
// are packed; 4:2:0 chroma planes are ((cx+1)/2) x ((cy+1)/2).
size_t FrameLayoutBytes(FrameLayout layout, int cx, int cy);

// The GUIDs of the layouts, for hosts and tests that fill a block.
Guid SubtypeGuid(FrameLayout layout);

}  // namespace orvanta
