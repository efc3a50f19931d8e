// The schedule actions that the station's own state supplies, so that the
// GUI and the headless engine wire them the same way.
#pragma once

#include <functional>

#include "app/app_params.h"
#include "schedule/detection_schedule.h"

namespace orvanta::station {

// Fills switch_profile (the settings' profile switch), move_clips
// (MoveClipsAfterDetect, silent; with db_latest the date follows the clock
// first), keep_alive (WriteKeepAlive) and shutdown (ShutdownSystem through
// systemd-logind, then close_program). Set reread_clip_list before:
// move_clips takes it along. The caller supplies the live page's actions,
// the pages' and, for tests, wait.
void AddStationActions(schedule::ScheduleActions& actions, AppContext& app,
                       std::function<void()> close_program);

}  // namespace orvanta::station
