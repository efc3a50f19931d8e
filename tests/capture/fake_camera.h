// A device provider for tests: the device monitor lists two identical cameras (and one
// microphone) that produce test pictures (and tones), since no capture hardware exists on
// the machines the tests run on.
#pragma once

namespace orvanta::test {

inline constexpr const char* kFakeCameraName = "Orvanta Test Camera";
inline constexpr const char* kFakeMicrophoneName = "Orvanta Test Microphone";

// Registers the provider once (gst_init first).
void RegisterFakeCameras();

}  // namespace orvanta::test
