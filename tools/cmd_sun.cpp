// zavip-tool sun: sunrise, sunset and the two schedule windows tied to them
// for a site and a date, as "Auto Adjust to Sun" would set them.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_params.h"
#include "app/app_uty.h"
#include "schedule/sun_schedule.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

using schedule::CivilDate;
using schedule::HourMinute;

bool ParseDouble(const std::string& text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool ParseInt(const std::string& text, int& value) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || v < -2147483647L - 1 || v > 2147483647L) {
    return false;
  }
  value = static_cast<int>(v);
  return true;
}

bool ParseDate(const std::string& text, CivilDate& date) {
  int y = 0, m = 0, d = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return false;
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1] || (m == 2 && d == 29 && !leap)) {
    return false;
  }
  date = {y, m, d};
  return true;
}

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
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) return Fail("option " + option + " needs a value");
    const std::string& value = args[++i];
    if (option == "--lng") {
      if (!ParseDouble(value, lng)) return Fail("--lng: not a number of degrees: " + value);
      have_lng = true;
    } else if (option == "--lat") {
      if (!ParseDouble(value, lat)) return Fail("--lat: not a number of degrees: " + value);
      have_lat = true;
    } else if (option == "--tz-bias") {
      if (!ParseInt(value, tz_bias)) return Fail("--tz-bias: not a number of seconds: " + value);
      have_tz = true;
    } else if (option == "--date") {
      if (!ParseDate(value, date)) return Fail("--date: not a date YYYY-MM-DD: " + value);
      have_date = true;
    } else if (option == "--settings") {
      settings = value;
    } else {
      return Fail("unknown option " + option);
    }
  }
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
