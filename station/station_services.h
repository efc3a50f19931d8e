// What a running station offers around its engine: the status query on the session bus
// and the service manager's readiness, watchdog and status line. Hooked into the headless
// run through its options; the status is read from the block, the live page and the last
// finished clip.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "app/app_params.h"
#include "station/headless_station.h"
#include "station/station_status.h"

namespace orvanta::station {

class ServiceSupervisor;
class StatusService;

class StationServices {
 public:
  explicit StationServices(AppContext& app);
  ~StationServices();
  StationServices(const StationServices&) = delete;
  StationServices& operator=(const StationServices&) = delete;

  // Adds its hooks to the options (after those already there).
  void Attach(HeadlessOptions& options);
  // The window's share: the status query only (a desktop login has no service manager
  // watching it), the last finished clip taken through the capture hooks.
  void AttachWindow(capture::CaptureHooks& hooks, const capture::LiveController& page);

  StationStatus ReadStatus() const;

 private:
  void FollowFinishedClips(capture::CaptureHooks& hooks);

  AppContext& app_;
  std::atomic<const capture::LiveGraph*> graph_{nullptr};  // set on the live thread
  mutable std::mutex last_clip_mutex_;                     // written on the live thread
  std::string last_clip_;
  const capture::LiveController* page_ = nullptr;
  bool scheduled_ = false;
  std::unique_ptr<StatusService> status_service_;
  std::unique_ptr<ServiceSupervisor> supervisor_;
};

}  // namespace orvanta::station
