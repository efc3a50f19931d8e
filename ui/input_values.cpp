#include "ui/input_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/settings_keys.h"
#include "app/settings_ranges.h"
#include "detectfilter/zavipf.h"
#include "ui/live_values.h"

namespace orvanta::ui {

IntRange KeyIntRange(const char* key) {
  const SettingsKey* k = FindSettingsKey(key);
  const std::optional<ValueRange> range = k ? RangeOf(*k) : std::nullopt;
  if (!range) return {INT32_MIN, INT32_MAX};
  return {static_cast<int>(range->min), static_cast<int>(range->max)};
}

std::optional<int> StepEditValue(const std::string& text, IntRange range, int step) {
  const std::optional<int64_t> typed = ReadEditNumber(text);
  if (!typed) return std::nullopt;
  const int64_t stepped = step > 1 ? *typed / step * step : *typed;
  return static_cast<int>(std::clamp<int64_t>(stepped, range.lo, range.hi));
}

std::optional<double> DoubleEditValue(const std::string& text, const char* key) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  if (end == begin || !std::isfinite(v)) return std::nullopt;
  const SettingsKey* k = FindSettingsKey(key);
  return k ? ClampToRange(*k, v) : v;
}

int HeadLimit(int fs_diff, int dmin) {
  // The ring holds Head + Diff + Min(frm) + 15 frames and must stay below kRingMax.
  return std::max(0, kRingMax - 16 - fs_diff - dmin);
}

std::optional<std::pair<int, int>> ReadDatePair(const std::string& text) {
  int ymd = 0;
  int hms = 0;
  if (std::sscanf(text.c_str(), "%8d_%6d", &ymd, &hms) != 2) return std::nullopt;
  const IntRange days = KeyIntRange("AP.si_yyyymmdd");
  const IntRange times = KeyIntRange("AP.si_hhmmss");
  return std::pair{std::clamp(ymd, days.lo, days.hi), std::clamp(hms, times.lo, times.hi)};
}

std::string DatePairText(int yyyymmdd, int hhmmss) {
  char text[32];
  std::snprintf(text, sizeof text, "%08d_%06d", yyyymmdd, hhmmss);
  return text;
}

}  // namespace orvanta::ui
