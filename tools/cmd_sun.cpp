// zavip-tool sun: sunrise, sunset and the two schedule windows tied to them
// for a site and a date, as "Auto Adjust to Sun" would set them.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "app/app_uty.h"
#include "schedule/sun_schedule.h"
#include "tools/tool_args.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

using schedule::CivilDate;
using schedule::HourMinute;

// The windows' sun offsets from a settings file; keys it lacks keep the
// defaults.
bool ReadOffsets(const std::string& path, AppParams& ap, std::string& error) {
  CAppUty uty;
  const ReadResult read = uty.ReadFile(path);
  if (!read.ok()) {
    error = read.error.empty() ? "empty file" : read.error;
    return false;
  }
  uty.GetInt("AP.sd[0].o1", &ap.sd[0].o1);
  uty.GetInt("AP.sd[0].o2", &ap.sd[0].o2);
  uty.GetInt("AP.sd[1].o1", &ap.sd[1].o1);
  uty.GetInt("AP.sd[1].o2", &ap.sd[1].o2);
  return true;
}

std::string Clock(HourMinute t) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", t.hour, t.minute);
  return text;
}

int RunSun(const std::vector<std::string>& args) {
  double lng = 0, lat = 0;
  int tz_bias = 0;
  CivilDate date;
  std::string settings;
  bool have_lng = false, have_lat = false, have_tz = false, have_date = false;
  const std::string bad_option = ReadOptions(
      args, {}, [&](const std::string& option, const std::string& value) -> std::string {
        if (option == "--lng") {
          if (!ParseDouble(value, lng)) return "--lng: not a number of degrees: " + value;
          have_lng = true;
        } else if (option == "--lat") {
          if (!ParseDouble(value, lat)) return "--lat: not a number of degrees: " + value;
          have_lat = true;
        } else if (option == "--tz-bias") {
          long long seconds = 0;
          if (!ParseInt(value, seconds) || seconds < INT32_MIN || seconds > INT32_MAX)
            return "--tz-bias: not a number of seconds: " + value;
          tz_bias = static_cast<int>(seconds);
          have_tz = true;
        } else if (option == "--date") {
          const std::optional<Date> day = ParseDate(value);
          if (!day) return "--date: not a date YYYY-MM-DD: " + value;
          date = {day->year, day->month, day->day};
          have_date = true;
        } else if (option == "--settings") {
          settings = value;
        } else {
          return UnknownOption(option);
        }
        return "";
      });
  if (!bad_option.empty()) return Fail(bad_option);
  if (!have_lng || !have_lat || !have_tz || !have_date) {
    return Fail("sun needs --lng, --lat, --tz-bias and --date");
  }

  static AppParams ap;
  static DetectionBlock ib;
  static ReplayBlock rib;
  SetDefaults(ap, ib, rib);
  std::string error;
  if (!settings.empty() && !ReadOffsets(settings, ap, error)) {
    return Fail("cannot read " + settings + ": " + error);
  }

  const schedule::SunTimes sun = schedule::SunScheduleFor(date, lng, lat, tz_bias, ap.sd);
  if (sun.crossing != schedule::SunCrossing::RisesAndSets) {
    std::printf("no sunrise or sunset\n");
    return 0;
  }
  std::printf("sunrise %s sunset %s window1 %s-%s window2 %s-%s\n", Clock(sun.sunrise).c_str(),
              Clock(sun.sunset).c_str(), Clock(sun.window1_start).c_str(),
              Clock(sun.window1_end).c_str(), Clock(sun.window2_start).c_str(),
              Clock(sun.window2_end).c_str());
  return 0;
}

const CommandRegistrar kRegistrar({"sun",
                                   "sun --lng DEG --lat DEG --tz-bias SECONDS --date YYYY-MM-DD "
                                   "[--settings FILE]",
                                   RunSun});

}  // namespace
}  // namespace orvanta::tool
