#include "capture/device_catalogue.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/file_owner.h"

namespace orvanta::capture {
namespace {

struct Entry {
  std::string name;
  GstDevice* device = nullptr;           // device categories
  GstElementFactory* factory = nullptr;  // registry categories
};

std::vector<Entry> DeviceEntries(const char* klass) {
  std::vector<Entry> entries;
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, klass, nullptr);
  GList* devices = gst_device_monitor_get_devices(monitor);
  for (GList* l = devices; l; l = l->next) {
    auto* device = GST_DEVICE(l->data);
    gchar* name = gst_device_get_display_name(device);
    if (name) entries.push_back({name, GST_DEVICE(gst_object_ref(device)), nullptr});
    g_free(name);
  }
  g_list_free_full(devices, gst_object_unref);
  gst_object_unref(monitor);
  return entries;
}

bool IsSourceOrDecoder(GstElementFactory* factory) {
  const gchar* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
  if (!klass) return false;
  return std::strstr(klass, "Source") || std::strstr(klass, "Decoder") ||
         std::strstr(klass, "Demuxer") || std::strstr(klass, "Depayloader") ||
         std::strstr(klass, "Parser");
}

std::vector<Entry> RegistryEntries(DeviceCategory category) {
  std::vector<Entry> entries;
  GList* features = gst_element_factory_list_get_elements(
      category == DeviceCategory::VideoCompressor ? GST_ELEMENT_FACTORY_TYPE_VIDEO_ENCODER
                                                  : GST_ELEMENT_FACTORY_TYPE_ANY,
      GST_RANK_NONE);
  for (GList* l = features; l; l = l->next) {
    auto* factory = GST_ELEMENT_FACTORY(l->data);
    if (category == DeviceCategory::AllFilters && !IsSourceOrDecoder(factory)) continue;
    entries.push_back(
        {GST_OBJECT_NAME(factory), nullptr, GST_ELEMENT_FACTORY(gst_object_ref(factory))});
  }
  gst_plugin_feature_list_free(features);
  // The registry has no order of its own; names keep the list (and its numbers) stable.
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return entries;
}

// The label a numbered list gives a device: "%d:%s".
std::string Numbered(int number, const std::string& name) {
  return std::to_string(number) + ":" + name;
}

void Release(std::vector<Entry>& entries) {
  for (auto& e : entries) {
    if (e.device) gst_object_unref(e.device);
    if (e.factory) gst_object_unref(e.factory);
  }
}

GstElement* MakeElement(const Entry& entry) {
  GstElement* element = entry.device ? gst_device_create_element(entry.device, nullptr)
                                     : gst_element_factory_create(entry.factory, nullptr);
  if (element) gst_object_ref_sink(element);
  return element;
}

GstCaps* RequestCaps(const char* format, const CaptureFormatRequest& r) {
  GstCaps* caps;
  if (format && std::strcmp(format, "video/x-dv") == 0) {
    caps = gst_caps_new_empty_simple("video/x-dv");
  } else {
    caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, r.cx, "height", G_TYPE_INT, r.cy,
                               nullptr);
    if (format) {
      gst_caps_set_simple(caps, "format", G_TYPE_STRING, format, nullptr);
    } else {
      // The device's own format, among those the detection filter knows, in this order.
      GValue list = G_VALUE_INIT;
      g_value_init(&list, GST_TYPE_LIST);
      using enum PixelFormat;
      for (PixelFormat f : {YUY2, UYVY, NV12, I420, YV12, RGB24, RGB32, Y800}) {
        GValue v = G_VALUE_INIT;
        g_value_init(&v, G_TYPE_STRING);
        g_value_set_string(&v, Info(f).raw_caps);
        gst_value_list_append_and_take_value(&list, &v);
      }
      gst_caps_set_value(caps, "format", &list);
      g_value_unset(&list);
    }
  }
  if (r.fps > 0.01)
    gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, 10000000,
                        static_cast<int>(FrameDurationFor(r.fps)), nullptr);
  return caps;
}

// The caps format asked of a device: DV by its media type, raw video by its format name.
const char* CapsFormatOf(PixelFormat format) {
  if (format == PixelFormat::DVSD) return "video/x-dv";
  return Info(format).raw_caps;
}

}  // namespace

int FindFilterByName(DeviceCategory category, std::vector<std::string>* list, std::string* wanted,
                     GstElement** element, int* counter) {
  if (element) *element = nullptr;
  std::vector<Entry> entries;
  switch (category) {
    case DeviceCategory::VideoInput:
      entries = DeviceEntries("Video/Source");
      break;
    case DeviceCategory::AudioInput:
      entries = DeviceEntries("Audio/Source");
      break;
    case DeviceCategory::VideoCompressor:
    case DeviceCategory::AllFilters:
      entries = RegistryEntries(category);
      break;
    case DeviceCategory::None:
      break;
  }
  for (const auto& entry : entries) {
    std::string label = entry.name;
    if (counter && *counter > 0) label = Numbered((*counter)++, entry.name);
    if (list) list->push_back(label);
    if (wanted->empty() && (counter ? *counter : 0) >= 0) *wanted = label;
    if (label == *wanted && element && !*element) *element = MakeElement(entry);
  }
  Release(entries);
  if (!list) return -1;
  auto it = std::find(list->begin(), list->end(), *wanted);
  return it == list->end() ? -1 : static_cast<int>(it - list->begin());
}

namespace {

std::string RateText(int n, int d) {
  if (d <= 0) return "0";
  if (n % d == 0) return std::to_string(n / d);
  char text[32];
  std::snprintf(text, sizeof text, "%.3g", static_cast<double>(n) / d);
  return text;
}

// Every value of a field that is one value, a list of them or a range, as texts.
std::vector<std::string> ValueTexts(const GValue* v) {
  std::vector<std::string> out;
  if (!v) return out;
  if (GST_VALUE_HOLDS_LIST(v) || GST_VALUE_HOLDS_ARRAY(v)) {
    const guint n =
        GST_VALUE_HOLDS_LIST(v) ? gst_value_list_get_size(v) : gst_value_array_get_size(v);
    for (guint i = 0; i < n; ++i) {
      const GValue* item = GST_VALUE_HOLDS_LIST(v) ? gst_value_list_get_value(v, i)
                                                   : gst_value_array_get_value(v, i);
      for (std::string& t : ValueTexts(item)) out.push_back(std::move(t));
    }
  } else if (G_VALUE_HOLDS_INT(v)) {
    out.push_back(std::to_string(g_value_get_int(v)));
  } else if (GST_VALUE_HOLDS_INT_RANGE(v)) {
    out.push_back(std::to_string(gst_value_get_int_range_min(v)) + "-" +
                  std::to_string(gst_value_get_int_range_max(v)));
  } else if (GST_VALUE_HOLDS_FRACTION(v)) {
    out.push_back(
        RateText(gst_value_get_fraction_numerator(v), gst_value_get_fraction_denominator(v)));
  } else if (GST_VALUE_HOLDS_FRACTION_RANGE(v)) {
    const GValue* lo = gst_value_get_fraction_range_min(v);
    const GValue* hi = gst_value_get_fraction_range_max(v);
    out.push_back(
        RateText(gst_value_get_fraction_numerator(lo), gst_value_get_fraction_denominator(lo)) +
        "-" +
        RateText(gst_value_get_fraction_numerator(hi), gst_value_get_fraction_denominator(hi)));
  } else if (G_VALUE_HOLDS_STRING(v)) {
    out.push_back(g_value_get_string(v));
  }
  return out;
}

std::string SizeText(const GstStructure* s) {
  const std::vector<std::string> w = ValueTexts(gst_structure_get_value(s, "width"));
  const std::vector<std::string> h = ValueTexts(gst_structure_get_value(s, "height"));
  if (w.size() != 1 || h.size() != 1) return "";
  const size_t wd = w[0].find('-');
  const size_t hd = h[0].find('-');
  if (wd == std::string::npos && hd == std::string::npos) return w[0] + "x" + h[0];
  auto lo = [](const std::string& t, size_t d) {
    return d == std::string::npos ? t : t.substr(0, d);
  };
  auto hi = [](const std::string& t, size_t d) {
    return d == std::string::npos ? t : t.substr(d + 1);
  };
  return lo(w[0], wd) + "x" + lo(h[0], hd) + "-" + hi(w[0], wd) + "x" + hi(h[0], hd);
}

// The subtype names of one caps structure: one per raw format it lists.
std::vector<std::string> SubtypeNames(const GstStructure* s) {
  const std::string media = gst_structure_get_name(s);
  if (media == "video/x-raw") {
    std::vector<std::string> names;
    for (const std::string& f : ValueTexts(gst_structure_get_value(s, "format"))) {
      const PixelFormat format = PixelFormatOfRawCaps(f);
      names.push_back(format == PixelFormat::Other ? f : Info(format).name);
    }
    if (names.empty()) names.push_back("video/x-raw");
    return names;
  }
  if (media == "video/x-dv") return {"DVSD"};
  if (media == "image/jpeg") return {"MJPG"};
  if (media == "audio/x-raw") {
    std::vector<std::string> names = ValueTexts(gst_structure_get_value(s, "format"));
    if (names.empty()) names.push_back(media);
    return names;
  }
  return {media};
}

}  // namespace

std::vector<CaptureDevice> ListCaptureDevices(DeviceCategory category) {
  std::vector<CaptureDevice> out;
  if (category != DeviceCategory::VideoInput && category != DeviceCategory::AudioInput) return out;
  std::vector<Entry> entries =
      DeviceEntries(category == DeviceCategory::VideoInput ? "Video/Source" : "Audio/Source");
  int number = 1;
  for (const Entry& entry : entries) {
    CaptureDevice device{Numbered(number++, entry.name), {}};
    GstCaps* caps = gst_device_get_caps(entry.device);
    for (guint i = 0; caps && i < gst_caps_get_size(caps); ++i) {
      const GstStructure* s = gst_caps_get_structure(caps, i);
      const bool sound = g_str_has_prefix(gst_structure_get_name(s), "audio/");
      DeviceFormat format;
      if (sound) {
        for (const std::string& r : ValueTexts(gst_structure_get_value(s, "rate")))
          format.rates.push_back(r + " Hz");
        gst_structure_get_int(s, "channels", &format.channels);
      } else {
        format.size = SizeText(s);
        format.rates = ValueTexts(gst_structure_get_value(s, "framerate"));
      }
      for (const std::string& name : SubtypeNames(s)) {
        format.subtype = name;
        device.formats.push_back(format);
      }
    }
    if (caps) gst_caps_unref(caps);
    out.push_back(std::move(device));
  }
  Release(entries);
  return out;
}

int64_t FrameDurationFor(double fps) {
  return fps > 0.01 ? static_cast<int64_t>(10000000 / fps) : 500000;
}

CaptureFormatResult SetCaptureFormat(GstCaps* device_caps, const CaptureFormatRequest& request) {
  CaptureFormatResult out;
  auto ask = [&](PixelFormat format, bool own) {
    GstCaps* wanted = RequestCaps(own ? nullptr : CapsFormatOf(format), request);
    GstCaps* meet = gst_caps_intersect(device_caps, wanted);
    gst_caps_unref(wanted);
    if (gst_caps_is_empty(meet)) {
      gst_caps_unref(meet);
      out.result = media::kTypeNotAccepted;
      return false;
    }
    meet = gst_caps_fixate(meet);
    out.result = media::kOk;
    if (out.caps) gst_caps_unref(out.caps);
    out.caps = meet;
    // The device's own format is the one the fixed caps name.
    const GstStructure* s = gst_caps_get_structure(meet, 0);
    if (gst_structure_has_name(s, "video/x-dv")) {
      format = PixelFormat::DVSD;
    } else if (own) {
      const char* f = gst_structure_get_string(s, "format");
      format = PixelFormatOfRawCaps(f ? f : "");
      if (format == PixelFormat::Other) format = PixelFormat::Null;
    }
    out.host_subtype = Info(format).guid;
    out.subtype_set = true;
    return true;
  };
  auto forced = media::ParseForcedFormat(request.forcc);
  if (!forced) {
    out.unknown_name = true;
    ask(PixelFormat::Null, true);
    return out;
  }
  if (!forced->automatic) {
    out.red_mode = forced->red_mode;
    ask(forced->format, false);
    return out;
  }
  using enum PixelFormat;
  if (ask(Null, true)) return out;
  for (PixelFormat f : {UYVY, YUY2, NV12, I420, IYUV, YV12, DVSD, RGB24, RGB32, Y800, RGB8})
    if (ask(f, false)) return out;
  ask(YUY2, false);
  return out;
}

SourceSubtypeChoice ChooseSourceSubtype(const std::string& forcc) {
  SourceSubtypeChoice choice;
  auto forced = media::ParseForcedFormat(forcc);
  if (!forced) return choice;
  choice.changed = true;
  choice.red_mode = forced->red_mode;
  choice.host_subtype = Info(forced->automatic ? PixelFormat::YUY2 : forced->format).guid;
  return choice;
}

CodecList FillCodecList(const std::string& dv_out_codec) {
  CodecList list;
  list.entries.push_back(kUncompressedEntry);
  if (dv_out_codec == kUncompressedEntry) list.selected = 0;
  std::string wanted = dv_out_codec;
  int counter = 1;
  int pos =
      FindFilterByName(DeviceCategory::VideoCompressor, &list.entries, &wanted, nullptr, &counter);
  if (list.selected < 0) list.selected = pos;
  list.rec_mode = dv_out_codec == kUncompressedEntry ? 1 : 3;
  return list;
}

const char* ConnectorName(int type) {
  static const char* const kVideo[] = {
      "Tuner", "Composite", "S-Video", "RGB", "YRYBY",   "Serial Digital", "Parallel Digital",
      "SCSI",  "AUX",       "1394",    "USB", "Decoder", "Encoder"};
  static const char* const kAudio[] = {"Tuner",  "Line",   "Microphone", "AES/EBU Digital",
                                       "S/PDIF", "SCSI",   "AUX",        "1394",
                                       "USB",    "Decoder"};
  if (type >= 1 && type <= 13) return kVideo[type - 1];
  if (type >= 4096 && type <= 4105) return kAudio[type - 4096];
  return "Unknown";
}

bool IsVideoConnector(int type) {
  return type >= 1 && type <= 13;
}

namespace {

// The V4L2 node behind a device element, or "".
std::string DeviceNode(GstElement* element) {
  if (!element || !g_object_class_find_property(G_OBJECT_GET_CLASS(element), "device")) return "";
  gchar* node = nullptr;
  g_object_get(element, "device", &node, nullptr);
  std::string out = node ? node : "";
  g_free(node);
  return out;
}

// Physical types of the node's inputs: a tuner input counts as "Tuner", a camera input as
// "Composite" unless its name says otherwise.
std::vector<std::pair<int, std::string>> V4l2Inputs(const std::string& node) {
  std::vector<std::pair<int, std::string>> inputs;
  if (node.empty()) return inputs;
  const FileDescriptor fd(::open(node.c_str(), O_RDWR | O_NONBLOCK));
  if (!fd.valid()) return inputs;
  for (unsigned i = 0; i < 64; ++i) {
    v4l2_input input{};
    input.index = i;
    if (::ioctl(fd.get(), VIDIOC_ENUMINPUT, &input) < 0) break;
    std::string name(reinterpret_cast<const char*>(input.name));
    int type = input.type == V4L2_INPUT_TYPE_TUNER         ? 1
               : name.find("S-Video") != std::string::npos ? 3
               : name.find("USB") != std::string::npos     ? 11
                                                           : 2;
    inputs.emplace_back(type, name);
  }
  return inputs;
}

}  // namespace

CaptureInputs ListCrossbarInputs(GstElement* video_device, GstElement*, int, int) {
  CaptureInputs out;
  int video = 0;
  int audio = 0;
  for (const auto& [type, name] : V4l2Inputs(DeviceNode(video_device))) {
    std::string label =
        std::to_string((IsVideoConnector(type) ? ++video : ++audio)) + ":" + ConnectorName(type);
    (IsVideoConnector(type) ? out.video : out.audio).push_back(label);
  }
  return out;
}

bool RouteCrossbars(GstElement* video_device, GstElement*, int vpin, int) {
  const std::string node = DeviceNode(video_device);
  auto inputs = V4l2Inputs(node);
  int counter = 0;
  for (size_t i = 0; i < inputs.size(); ++i) {
    if (inputs[i].first >= 4096) continue;
    if (counter++ != vpin) continue;
    const FileDescriptor fd(::open(node.c_str(), O_RDWR | O_NONBLOCK));
    if (!fd.valid()) return false;
    int index = static_cast<int>(i);
    return ::ioctl(fd.get(), VIDIOC_S_INPUT, &index) == 0;
  }
  return false;
}

}  // namespace orvanta::capture
