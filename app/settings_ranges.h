// The valid range of every numeric settings key. `zavip-tool settings set` refuses a value
// outside it, a load replaces one with the key's default, and a page clamps what the user
// enters to it, so that no part of the station ever sees a frame size, ring length, level
// or time it cannot work with.
#pragma once

#include <optional>
#include <string>

#include "app/app_params.h"
#include "app/settings_keys.h"

namespace orvanta {

struct ValueRange {
  double min;
  double max;
};

// The picture sizes the station takes, in pixels each way: what uncompressed AVI
// recording holds.
inline constexpr int kMinFrameSide = 16;
inline constexpr int kMaxFrameSide = 4096;

// The range of a numeric key; nothing for a text key.
std::optional<ValueRange> RangeOf(const SettingsKey& key);
// Whether the value is valid for the key (a text key takes any number: never asked).
bool InRange(const SettingsKey& key, double value);
// The nearest valid value, for a page that takes what the user typed.
double ClampToRange(const SettingsKey& key, double value);
// "16 to 4096", as messages show it.
std::string RangeText(const SettingsKey& key);
// Whether a picture of width x height is one the station takes.
bool FrameSizeTaken(int64_t width, int64_t height);
// The plain-words refusal of a frame size, e.g. for a source of 1 x 1.
std::string FrameSizeRefusal(int64_t width, int64_t height);

// Puts every numeric value that is out of its range back to its default. Returns one line
// naming each replaced key, its stored value, its range and the default now used; empty
// when every value was valid.
std::string ReplaceOutOfRange(AppContext& app);

}  // namespace orvanta
