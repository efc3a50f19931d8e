#include "capture/live_controller.h"

#include "capture/live_commands.h"
#include "detectfilter/shared_field.h"

namespace orvanta::capture {
namespace {

int Pack(LiveButtons b) {
  return b.detect | b.preview << 1 | b.stop << 2 | b.rec << 3;
}
LiveButtons Unpack(int v) {
  return {(v & 1) != 0, (v & 2) != 0, (v & 4) != 0, (v & 8) != 0};
}

}  // namespace

LiveController::LiveController(DetectionBlock& block, LivePageHooks hooks)
    : block_(block), hooks_(std::move(hooks)) {
  SetButtons({true, true, false, false});
}

int LiveController::RefreshPeriodMs(double fps) {
  return fps > 0.01 ? static_cast<int>(fps * 4) : 1000;
}

void LiveController::Post(int command) {
  if (hooks_.post) hooks_.post(command);
}

void LiveController::SetButtons(LiveButtons buttons) {
  buttons_.store(Pack(buttons));
}
LiveButtons LiveController::buttons() const {
  return Unpack(buttons_.load());
}

std::string LiveController::rec_caption() const {
  switch (rec_caption_.load()) {
    case 1:
      return "RecOff";
    case 2:
      return "REC";
    default:
      return "Rec";
  }
}

std::string LiveController::status_suffix() const {
  std::lock_guard lock(suffix_mutex_);
  return status_suffix_;
}

void LiveController::set_status_suffix(const std::string& suffix) {
  std::lock_guard lock(suffix_mutex_);
  status_suffix_ = suffix;
}

void LiveController::Activate() {
  if (hooks_.apply_font) hooks_.apply_font();
  if (hooks_.reset_audio_meter) hooks_.reset_audio_meter();
  if (hooks_.clear_ftp_failure) hooks_.clear_ftp_failure();
  if (hooks_.start_refresh) hooks_.start_refresh(RefreshPeriodMs(block_.fps));
  Post(kStartGraph);
}

void LiveController::Deactivate() {
  if (hooks_.stop_refresh) hooks_.stop_refresh();
  Post(kStopGraph);
}

void LiveController::Detect() {
  set_status_suffix("");
  const int state = live_state_.load();
  if (state != kDetecting) {
    if (state == kIdle) Activate();
    if (hooks_.clear_ftp_failure) hooks_.clear_ftp_failure();
    Post(kDetectOn);
  }
  live_state_.store(kDetecting);
  SetButtons({false, true, true, true});
  if (hooks_.input_page_running) hooks_.input_page_running(true);
}

void LiveController::Preview() {
  set_status_suffix("");
  const int state = live_state_.load();
  if (state == kDetecting) {
    Post(kDetectOff);
  } else if (state == kIdle) {
    Activate();
    StoreShared(block_.warmup, 1);
  }
  live_state_.store(kPreviewing);
  SetButtons({true, false, true, true});
  if (hooks_.input_page_running) hooks_.input_page_running(true);
}

void LiveController::Stop() {
  if (hooks_.set_schedule_holdoff) hooks_.set_schedule_holdoff(65);
  if (rec_on_.load()) {
    rec_caption_.store(2);
    Post(kForceRecOff);
    rec_on_.store(false);
  }
  const int state = live_state_.load();
  if (state == kPreviewing) {
    Deactivate();
  } else if (state == kDetecting) {
    Post(kDetectOff);
    Deactivate();
  }
  StoreShared(block_.rec_remain, 0);
  StoreShared(block_.warmup, 0);
  live_state_.store(kIdle);
  SetButtons({true, true, false, false});
  if (hooks_.refresh_status) hooks_.refresh_status();
  if (hooks_.refill_codec_list) hooks_.refill_codec_list();
  if (hooks_.input_page_running) hooks_.input_page_running(false);
}

void LiveController::ToggleRec(bool by_timer) {
  if (!by_timer) StoreShared(block_.timer_rec, 0);
  if (rec_on_.load()) {
    rec_caption_.store(0);
    Post(kForceRecOff);
    rec_on_.store(false);
  } else {
    rec_caption_.store(1);
    Post(kForceRecOn);
    rec_on_.store(true);
  }
}

bool LiveController::CutClipShort() {
  StoreShared(block_.detect_on, 0);
  StoreShared(block_.force_rec, 0);
  if (!LoadShared(block_.clip_started)) return false;
  StoreShared(block_.rec_remain, 0);
  return true;
}

}  // namespace orvanta::capture
