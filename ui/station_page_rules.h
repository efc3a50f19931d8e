// The rules of the operation and profile pages and the two dialogs opened from the
// operation page, without widgets: the wrapping schedule steps, the site texts and
// numbers as the settings file keeps them, and the lines the schedule dialog shows.
#pragma once

#include <optional>
#include <string>

#include "app/settings_keys.h"
#include "schedule/sun_schedule.h"

namespace orvanta::ui {

// An hour or minute of a schedule window stepped by `delta`: up from `hi` gives `lo`, down
// from `lo` gives `hi`.
int WrapStep(int value, int delta, int lo, int hi);

// A site text as the profile page stores it: spaces become '_', then the text is cut to the
// longest start that the settings file can load back. `rewrite` when the edit must show the
// stored form (a space was replaced).
struct SiteText {
  std::u16string stored;
  bool rewrite = false;
};
SiteText SiteTextFromTyped(const SettingsKey& key, std::u16string_view typed);

// A typed coordinate, altitude or height: nothing when the text does not read as a number,
// else the number held to the key's range.
std::optional<double> SiteNumber(const SettingsKey& key, const std::string& text);

// The schedule dialog's lines.
std::string SiteLine(double lng, double lat);
std::string SunLine(const schedule::SunTimes& sun);
std::string WindowLine(int window, const schedule::SunTimes& sun);  // window 0 or 1

// "V 5.01(64bit)" of the settings version 501.
std::string VersionText(int version);

}  // namespace orvanta::ui
