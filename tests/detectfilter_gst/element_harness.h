// A live pipeline around one orvantadetect element: appsrc for video (and audio when asked)
// into it, an appsink on each output, and a record of the bus messages.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "detectfilter/zavipf.h"

namespace orvanta::detect::testing {

struct Received {
  std::vector<uint8_t> data;
  GstClockTime pts = GST_CLOCK_TIME_NONE;
};

class ElementHarness {
 public:
  // `audio_caps` empty: the audio pads stay unlinked.
  explicit ElementHarness(const std::string& video_caps, const std::string& audio_caps = "");
  ~ElementHarness();
  ElementHarness(const ElementHarness&) = delete;
  ElementHarness& operator=(const ElementHarness&) = delete;

  GstElement* filter() const { return filter_; }
  // Emits attach-block; answers the result, with version and reserved written.
  int Attach(DetectionBlock* block, int* version = nullptr, int* reserved = nullptr);
  bool Play();
  // The host's way to run the filter again after a clip: the element alone to PAUSED and
  // back to PLAYING while the source goes on.
  bool Rerun();

  void PushVideo(const std::vector<uint8_t>& frame);
  void PushAudio(const std::vector<uint8_t>& data);
  void EndVideo();
  void EndAudio();

  // Waits until `done` holds (checked whenever something arrives, and every 10 ms).
  bool WaitFor(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
  bool WaitEos() {
    return WaitFor([this] { return eos_; });
  }

  std::vector<Received> preview() const;
  std::vector<Received> capture() const;
  std::vector<Received> audio() const;
  int clip_ends() const;
  std::vector<std::string> errors() const;

 private:
  static GstBusSyncReply OnBus(GstBus*, GstMessage* message, gpointer self);
  GstElement* AddSink(const char* pad, std::vector<Received>* store);

  GstElement* pipeline_ = nullptr;
  GstElement* filter_ = nullptr;
  GstElement* video_src_ = nullptr;
  GstElement* audio_src_ = nullptr;
  int video_count_ = 0;
  mutable std::mutex mu_;
  std::condition_variable changed_;
  std::vector<Received> preview_, capture_, audio_;
  int clip_ends_ = 0;
  bool eos_ = false;
  std::vector<std::string> errors_;
};

}  // namespace orvanta::detect::testing
