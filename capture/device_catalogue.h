// The station's knowledge of the devices and elements around the live graph: elements
// found by their displayed names, the capture format asked of a device, the subtype
// expected from a source element, the compressor list and the capture inputs.
#pragma once

#include <gst/gst.h>

#include <string>
#include <vector>

#include "capture/media/forced_format.h"
#include "capture/media/media_result.h"
#include "detectfilter/zavipf.h"

namespace orvanta::capture {

enum class DeviceCategory { None, VideoInput, AudioInput, VideoCompressor, AllFilters };

inline constexpr const char* kUncompressedEntry = "AVI(uncompressed)";

// Lists the category. Video and audio inputs and compressors are labelled "%d:%s" from
// `counter` up (counter > 0; it is advanced), all filters carry plain names. Labels go to
// `list` when given. An empty `wanted` with counter >= 0 takes the first label. The label
// equal to `wanted` is made into an element in `element` (a new, sunk reference) when
// asked. Returns the position of `wanted` in `list`, or -1 (always -1 without a list).
int FindFilterByName(DeviceCategory category, std::vector<std::string>* list, std::string* wanted,
                     GstElement** element, int* counter);

// A capture device as the settings name it ("%d:%s", numbered as FindFilterByName numbers
// them) with the formats it says it offers.
struct DeviceFormat {
  std::string subtype;  // the name the forced-format setting takes ("YUY2"), else the media type
  std::string size;     // "640x480", a range "160x120-1920x1080", or "" (sound, or not said)
  std::vector<std::string> rates;  // frame rates ("30", "29.97", "5-30"), or for sound "48000 Hz"
  int channels = 0;                // sound only
};
struct CaptureDevice {
  std::string name;
  std::vector<DeviceFormat> formats;
};
// The video (VideoInput) or audio (AudioInput) capture devices in list order.
std::vector<CaptureDevice> ListCaptureDevices(DeviceCategory category);

// The frame format asked of a capture device. The device element is followed by a caps
// filter that holds the format; the device must be able to deliver it.
struct CaptureFormatRequest {
  int cx = 0;
  int cy = 0;
  double fps = 0;
  std::string forcc;  // forced format name; empty or 'a'... = automatic
};
struct CaptureFormatResult {
  media::Result result = media::kFail;
  Guid host_subtype{};
  bool subtype_set = false;
  int red_mode = 0;
  bool unknown_name = false;  // "UM012:Media type not matched" was due
  GstCaps* caps = nullptr;    // the accepted caps (owned by the caller) or null
};
// `device_caps` are the caps the device can deliver (its source pad's caps).
CaptureFormatResult SetCaptureFormat(GstCaps* device_caps, const CaptureFormatRequest& request);
// Frame duration in 100-ns units for the rate: 10,000,000 / fps above 0.01, else 500000.
int64_t FrameDurationFor(double fps);

// The subtype a filter source is expected to deliver.
struct SourceSubtypeChoice {
  bool changed = false;  // false: an unrecognised name ("UM012:un supported fourcc")
  Guid host_subtype{};
  int red_mode = 0;
};
SourceSubtypeChoice ChooseSourceSubtype(const std::string& forcc);

// "AVI(uncompressed)" first, then the compressors numbered from 1; rec_mode 1 when the
// chosen codec is the uncompressed entry, else 3.
struct CodecList {
  std::vector<std::string> entries;
  int selected = -1;
  int rec_mode = 1;
};
CodecList FillCodecList(const std::string& dv_out_codec);

// Connector names of capture inputs by physical type, and whether the type is video.
const char* ConnectorName(int physical_type);
bool IsVideoConnector(int physical_type);

// The capture inputs of a device element (V4L2 inputs), as "%d:%s" labels from 1.
struct CaptureInputs {
  std::vector<std::string> video;
  std::vector<std::string> audio;
};
CaptureInputs ListCrossbarInputs(GstElement* video_device, GstElement* audio_device, int vpin,
                                 int apin);
// Routes input `vpin` of the device; false when the device has no such input.
bool RouteCrossbars(GstElement* video_device, GstElement* audio_device, int vpin, int apin);

}  // namespace orvanta::capture
