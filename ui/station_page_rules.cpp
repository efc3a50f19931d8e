#include "ui/station_page_rules.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/settings_ranges.h"

namespace orvanta::ui {
namespace {

std::string Clock(schedule::HourMinute t, bool known) {
  if (!known) return "--:--";
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", t.hour, t.minute);
  return text;
}

}  // namespace

int WrapStep(int value, int delta, int lo, int hi) {
  const int span = hi - lo + 1;
  int v = (value - lo + delta) % span;
  if (v < 0) v += span;
  return lo + v;
}

SiteText SiteTextFromTyped(const SettingsKey& key, std::u16string_view typed) {
  SiteText out;
  out.stored.assign(typed);
  for (char16_t& c : out.stored) {
    if (c == u' ') {
      c = u'_';
      out.rewrite = true;
    }
  }
  while (!out.stored.empty() && !TextFits(key, out.stored)) {
    out.stored.pop_back();
    // Never leave half of a surrogate pair behind.
    if (!out.stored.empty() && out.stored.back() >= 0xD800 && out.stored.back() <= 0xDBFF)
      out.stored.pop_back();
  }
  return out;
}

std::optional<double> SiteNumber(const SettingsKey& key, const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  if (end == begin || !std::isfinite(v)) return std::nullopt;
  return ClampToRange(key, v);
}

std::string SiteLine(double lng, double lat) {
  char text[96];
  std::snprintf(text, sizeof text, "Longitude : %.4f, Latitude : %.4f", lng, lat);
  return text;
}

std::string SunLine(const schedule::SunTimes& sun) {
  const bool known = sun.crossing == schedule::SunCrossing::RisesAndSets;
  char text[128];
  std::snprintf(text, sizeof text, "Month %02d  Day %02d (LT)  Sunrise %s  Sunset %s", sun.month,
                sun.day, Clock(sun.sunrise, known).c_str(), Clock(sun.sunset, known).c_str());
  return text;
}

std::string WindowLine(int window, const schedule::SunTimes& sun) {
  const schedule::HourMinute from = window == 0 ? sun.window1_start : sun.window2_start;
  const schedule::HourMinute to = window == 0 ? sun.window1_end : sun.window2_end;
  char text[128];
  std::snprintf(text, sizeof text, "%s%s     to    %s",
                window == 0 ? "Schedule1 (Day)         " : "Schedule2 (Night)       ",
                Clock(from, true).c_str(), Clock(to, true).c_str());
  return text;
}

std::string VersionText(int version) {
  char text[32];
  std::snprintf(text, sizeof text, "V%5.2f(64bit)", version / 100.0);
  return text;
}

}  // namespace orvanta::ui
