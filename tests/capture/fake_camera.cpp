#include "tests/capture/fake_camera.h"

#include <gst/gst.h>

#include <mutex>

namespace {

struct FakeDevice {
  GstDevice parent;
  gboolean audio;
};
struct FakeDeviceClass {
  GstDeviceClass parent_class;
};
GType fake_device_get_type();
G_DEFINE_TYPE(FakeDevice, fake_device, GST_TYPE_DEVICE)

GstElement* fake_device_create_element(GstDevice* device, const gchar* name) {
  auto* self = reinterpret_cast<FakeDevice*>(device);
  GstElement* element =
      gst_element_factory_make(self->audio ? "audiotestsrc" : "videotestsrc", name);
  if (element) g_object_set(element, "is-live", TRUE, nullptr);
  return element;
}
void fake_device_class_init(FakeDeviceClass* klass) {
  GST_DEVICE_CLASS(klass)->create_element = fake_device_create_element;
}
void fake_device_init(FakeDevice*) {}

struct FakeProvider {
  GstDeviceProvider parent;
};
struct FakeProviderClass {
  GstDeviceProviderClass parent_class;
};
GType fake_provider_get_type();
G_DEFINE_TYPE(FakeProvider, fake_provider, GST_TYPE_DEVICE_PROVIDER)

// What the devices say they offer, as a camera and a microphone would: a few sizes, each
// with its frame rates.
constexpr const char* kCameraCaps =
    "video/x-raw,format=YUY2,width=640,height=480,framerate={30/1,15/1};"
    "video/x-raw,format=YUY2,width=1280,height=720,framerate=10/1;"
    "video/x-raw,format=I420,width=1920,height=1080,framerate={30/1,25/1}";
constexpr const char* kMicrophoneCaps = "audio/x-raw,format=S16LE,rate=48000,channels=2";

GstDevice* MakeDevice(const char* name, bool audio) {
  GstCaps* caps = gst_caps_from_string(audio ? kMicrophoneCaps : kCameraCaps);
  auto* device = static_cast<FakeDevice*>(
      g_object_new(fake_device_get_type(), "display-name", name, "caps", caps, "device-class",
                   audio ? "Audio/Source" : "Video/Source", nullptr));
  gst_caps_unref(caps);
  device->audio = audio;
  return GST_DEVICE(device);
}

GList* fake_provider_probe(GstDeviceProvider*) {
  GList* devices = nullptr;
  devices = g_list_append(devices, MakeDevice(orvanta::test::kFakeCameraName, false));
  devices = g_list_append(devices, MakeDevice(orvanta::test::kFakeCameraName, false));
  devices = g_list_append(devices, MakeDevice(orvanta::test::kFakeMicrophoneName, true));
  return devices;
}
void fake_provider_class_init(FakeProviderClass* klass) {
  GstDeviceProviderClass* dp = GST_DEVICE_PROVIDER_CLASS(klass);
  dp->probe = fake_provider_probe;
  gst_device_provider_class_set_static_metadata(dp, "Orvanta test cameras", "Source/Audio/Video",
                                                "Test cameras for the capture tests", "Orvanta");
}
void fake_provider_init(FakeProvider*) {}

gboolean plugin_init(GstPlugin* plugin) {
  return gst_device_provider_register(plugin, "orvantafakecameras", GST_RANK_PRIMARY,
                                      fake_provider_get_type());
}

}  // namespace

#ifdef ORVANTA_FAKE_CAMERA_PLUGIN
// The same provider as a plugin file, so that a program (zavip-tool) lists the cameras when
// GST_PLUGIN_PATH names its folder.
#define PACKAGE "orvanta"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, orvantafakecameras, "Test cameras",
                  plugin_init, "1.0", "LGPL", "orvanta", "https://example.invalid")
#else
namespace orvanta::test {

void RegisterFakeCameras() {
  static std::once_flag once;
  std::call_once(once, [] {
    gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "orvantafakecameras",
                               "Test cameras", plugin_init, "1.0", "LGPL", "orvanta", "orvanta",
                               "https://example.invalid");
  });
}

}  // namespace orvanta::test
#endif
