// The status query on the session bus: the station owns kStatusServiceName (a second
// station the per-process name) and serves kStatusObjectPath. Method ZAV_QUERY (no
// arguments) broadcasts the signal ZAV_ANSER(int32 level, int32 clip_no) from that object
// on every call; method Status returns the rest (live state name, last clip's path).
// The window and the headless station build it the same way, from a function that reads
// the current status.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "station/station_status.h"

namespace orvanta::station {

class StatusService {
 public:
  using Reader = std::function<StationStatus()>;
  using Log = std::function<void(const std::string& line)>;

  // Needs a QCoreApplication; read is called on its thread. Without a session bus the
  // station runs without the query and says so once through log.
  StatusService(Reader read, Log log);
  ~StatusService();
  StatusService(const StatusService&) = delete;
  StatusService& operator=(const StatusService&) = delete;

  // The name owned on the bus; empty without one.
  const std::string& bus_name() const { return bus_name_; }

 private:
  class Object;
  std::unique_ptr<Object> object_;
  std::string bus_name_;
};

}  // namespace orvanta::station
