#include "station/source_recovery.h"

#include <chrono>

namespace orvanta::station {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

SourceRecovery::SourceRecovery(const AppContext& app, capture::LiveController& page,
                               capture::CLiveThread& live, QObject* context,
                               capture::SourceWatchTimes times)
    : source_name_(capture::InputName(app.ap, app.ib)), page_(page), live_(live), watch_(times) {
  QObject::connect(&timer_, &QTimer::timeout, context, [this] { Tick(); });
  timer_.start(250);
}

SourceRecovery::~SourceRecovery() {
  Quiet(false);
}

bool SourceRecovery::AppliesTo(const DetectionBlock& block) {
  return !block.filterinmode || block.rtspinmode;
}

bool SourceRecovery::TakeOverStop() {
  if (!watch_.armed()) return false;
  Carry(watch_.Failed(NowMs()));
  return true;
}

void SourceRecovery::Tick() {
  // Only a capture that should be running is watched; a stopped one waits for its retry.
  if (!watch_.lost() && page_.live_state() == capture::kIdle) return;
  Carry(watch_.Tick(NowMs(), live_.graph().frames_in()));
  armed_ = watch_.armed();
}

void SourceRecovery::Carry(capture::SourceWatch::Step step) {
  using Step = capture::SourceWatch::Step;
  switch (step) {
    case Step::kNone:
      return;
    case Step::kLost:
      ReportMessage(
          "The video source %s has stopped sending pictures: the capture stops, the clip being "
          "recorded is kept, and the source is tried again in %lld s, then less and less often",
          source_name_.c_str(), static_cast<long long>(watch_.retry_pause_ms() / 1000));
      // What the failing starts have to say is known already.
      Quiet(true);
      live_.MarkSourceLost();
      if (page_.live_state() != capture::kIdle) page_.Stop();
      return;
    case Step::kStopAgain:
      if (page_.live_state() != capture::kIdle) page_.Stop();
      return;
    case Step::kRetry:
      page_.Detect();
      return;
    case Step::kBack:
      Quiet(false);
      ReportMessage("The video source %s sends pictures again: detection goes on",
                    source_name_.c_str());
      return;
  }
}

void SourceRecovery::Quiet(bool quiet) {
  if (quiet == quiet_) return;
  quiet_ = quiet;
  if (quiet) {
    loud_ = SetMessageHandler({});
    SetMessageHandler({[](const std::string&) { return 1; }, loud_.fatal});
  } else {
    SetMessageHandler(loud_);
  }
}

}  // namespace orvanta::station
