#include "station/station_services.h"

#include <utility>

#include "app/messages.h"
#include "capture/live_controller.h"
#include "capture/live_graph.h"
#include "detectfilter/shared_field.h"
#include "station/service_supervisor.h"
#include "station/status_service.h"

namespace orvanta::station {

StationServices::StationServices(AppContext& app) : app_(app) {}

StationServices::~StationServices() = default;

StationStatus StationServices::ReadStatus() const {
  StationStatus status;
  status.level = LoadShared(app_.ib.level);
  status.clip_no = LoadShared(app_.ib.clip_no);
  status.live_state = page_ ? page_->live_state() : 0;
  std::lock_guard lock(last_clip_mutex_);
  status.last_clip = last_clip_;
  return status;
}

void StationServices::FollowFinishedClips(capture::CaptureHooks& hooks) {
  hooks.clip_finished = [this, before = std::move(hooks.clip_finished)](
                            const std::string& path, const capture::FinishedClip& clip) {
    if (before) before(path, clip);
    std::lock_guard lock(last_clip_mutex_);
    last_clip_ = path;
  };
}

void StationServices::AttachWindow(capture::CaptureHooks& hooks,
                                   const capture::LiveController& page) {
  FollowFinishedClips(hooks);
  page_ = &page;
  status_service_ = std::make_unique<StatusService>(
      [this] { return ReadStatus(); },
      [](const std::string& line) { LogLine(LogPriority::kNotice, line); });
}

void StationServices::Attach(HeadlessOptions& options) {
  options.customize = [this, before = std::move(options.customize)](capture::CaptureHooks& hooks) {
    if (before) before(hooks);
    FollowFinishedClips(hooks);
  };
  options.graph_built = [this, before = std::move(options.graph_built)](capture::LiveGraph& g) {
    graph_.store(&g, std::memory_order_relaxed);
    if (before) before(g);
  };
  options.started = [this, before = std::move(options.started)](const capture::LiveController& page,
                                                                bool scheduled) {
    if (before) before(page, scheduled);
    page_ = &page;
    scheduled_ = scheduled;
    auto log = [](const std::string& line) { LogLine(LogPriority::kNotice, line); };
    status_service_ = std::make_unique<StatusService>([this] { return ReadStatus(); }, log);
    ServiceSupervisor::Inputs inputs;
    // The graph's own count of frames reaching the filter (it runs on across rebuilds).
    inputs.frames = [this]() -> uint64_t {
      const capture::LiveGraph* graph = graph_.load(std::memory_order_relaxed);
      return graph ? static_cast<uint64_t>(graph->frames_in()) : 0;
    };
    inputs.live_state = [this] { return page_ ? page_->live_state() : 0; };
    inputs.status = [this] { return ReadStatus(); };
    inputs.scheduled = scheduled_;
    supervisor_ = std::make_unique<ServiceSupervisor>(ServiceNotifier::FromEnvironment(),
                                                      WatchdogPeriod(), std::move(inputs), log);
    supervisor_->Start();
  };
  options.ending = [this, before = std::move(options.ending)] {
    if (before) before();
    if (supervisor_) supervisor_->Stopping();
    // The live page goes away with the run: nothing reads it from here on.
    supervisor_.reset();
    status_service_.reset();
    page_ = nullptr;
  };
}

}  // namespace orvanta::station
