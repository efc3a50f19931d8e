#include "detectfilter/core/detect_core.h"

#include <chrono>

namespace orvanta::detect {

FrameTime SystemClock() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return FrameTime{ms / 1000, static_cast<int32_t>(ms % 1000)};
}

struct DetectCore::State {
  Clock clock;
  CoreOutputs outputs;
  DetectionBlock* block = nullptr;
  bool running = false;
  int64_t duration = 0;
  int type_index = 0;
  size_t image_size = 0;
};

DetectCore::DetectCore(Clock clock) : s_(std::make_unique<State>()) {
  s_->clock = std::move(clock);
}
DetectCore::~DetectCore() = default;
void DetectCore::SetOutputs(CoreOutputs outputs) {
  s_->outputs = std::move(outputs);
}
int DetectCore::AttachBlock(DetectionBlock* block) {
  if (block) {
    s_->block = block;
    s_->running = false;
  }
  return kZavipfVersion;
}
bool DetectCore::SetMediaType(const VideoFormat&) {
  return false;
}
int64_t DetectCore::frame_duration() const {
  return s_->duration;
}
int DetectCore::type_index() const {
  return s_->type_index;
}
size_t DetectCore::image_size() const {
  return s_->image_size;
}
void DetectCore::Run() {
  s_->running = s_->block != nullptr;
}
void DetectCore::Stop() {}
bool DetectCore::running() const {
  return s_->running;
}
bool DetectCore::ReceiveVideo(uint8_t* frame, size_t bytes, const SampleTimes& times) {
  if (!s_->outputs.preview) return true;
  return s_->outputs.preview(OutFrame{frame, bytes, times});
}

}  // namespace orvanta::detect
