// Asking a running station for its status over the session bus, as `zavip-tool status`
// does: ZAV_QUERY for the level and the clip counter (answered by the broadcast ZAV_ANSER),
// then Status for the live state and the last clip.
#pragma once

#include <string>

#include "station/station_status.h"

namespace orvanta::station {

enum class StatusQuery {
  kAnswered,   // status filled
  kNoBus,      // no session bus to ask on
  kNoStation,  // nobody owns the name
  kNoAnswer,   // the owner did not answer in time
};

// Asks the station that owns `service` (ZAV_QUERY, then Status). Needs a
// QCoreApplication. error holds the reason when it is not answered.
StatusQuery QueryStationStatus(const std::string& service, int timeout_ms, StationStatus& status,
                               std::string& error);

}  // namespace orvanta::station
