// Keeps a camera running through the night without a person: when it stops sending pictures
// or its graph fails after it had been delivering, the drop is reported once, the capture is
// stopped (the clip being recorded is kept) and started again with a growing pause until
// pictures come back; detection then goes on.
#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <string>

#include "app/app_params.h"
#include "app/messages.h"
#include "capture/live_controller.h"
#include "capture/live_thread.h"
#include "capture/source_watch.h"

namespace orvanta::station {

class SourceRecovery {
 public:
  SourceRecovery(const AppContext& app, capture::LiveController& page, capture::CLiveThread& live,
                 QObject* context, capture::SourceWatchTimes times = {});
  ~SourceRecovery();
  SourceRecovery(const SourceRecovery&) = delete;
  SourceRecovery& operator=(const SourceRecovery&) = delete;

  // Cameras and network cameras drop and come back; a file's end is its end.
  static bool AppliesTo(const DetectionBlock& block);

  // The capture has stopped on its own (a failure, the stream's end). True when the
  // recovery takes it over and the run must go on; false when the source never delivered.
  bool TakeOverStop();
  // The source has delivered: its failures from now on are drops (any thread).
  bool armed() const { return armed_.load(); }

 private:
  void Tick();
  void Carry(capture::SourceWatch::Step step);
  void Quiet(bool quiet);

  std::string source_name_;
  capture::LiveController& page_;
  capture::CLiveThread& live_;
  capture::SourceWatch watch_;
  QTimer timer_;
  std::atomic<bool> armed_{false};
  bool quiet_ = false;
  MessageHandler loud_;
};

}  // namespace orvanta::station
