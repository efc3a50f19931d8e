#include "station/station_actions.h"

#include <ctime>
#include <utility>

#include "app/profiles.h"
#include "schedule/housekeeping.h"
#include "schedule/latest_date.h"
#include "schedule/shutdown_system.h"

namespace orvanta::station {

void AddStationActions(schedule::ScheduleActions& actions, AppContext& app,
                       std::function<void()> close_program) {
  actions.switch_profile = [&app](const std::u16string& name) { SwitchProfile(app, name); };
  actions.move_clips = [&app, reread = actions.reread_clip_list] {
    // The night to move is the date the clip list shows; when that follows the clock it is
    // taken now, so a station whose list was never shown (no window) moves last night too.
    if (app.ap.db_latest) schedule::SetLatestDate(app.ap, app.ib.si_utc != 0, std::time(nullptr));
    schedule::MoveClipsAfterDetect(app.ap, false, reread);
  };
  actions.keep_alive = [&app] { schedule::WriteKeepAlive(app.ap); };
  actions.shutdown = [close = std::move(close_program)] {
    schedule::ShutdownSystem(*schedule::LogindPowerService(), close);
  };
}

}  // namespace orvanta::station
