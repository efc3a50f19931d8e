// The live page's value rules, without widgets: the compressed scale that the detection
// size trackbar and the hits meter share, and the clamps of the number edits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace orvanta::ui {

inline constexpr int kDsizeMin = 1;
inline constexpr int kDsizeMax = 1310720;
inline constexpr int kDsizeTrackMin = 1;
inline constexpr int kDsizeTrackMax = 512;
inline constexpr int kHitsMeterMax = 511;
inline constexpr int kDlevMin = 1;
inline constexpr int kDlevMax = 255;
inline constexpr int kDlevTrackMax = 255;
inline constexpr int kAlevMax = 32767;

// A value below 300 shows as itself, above as hundreds offset by 297.
int ToCompressed(int value);
// A trackbar position back to a value: below 300 itself, above p x 100 - 29700.
int FromCompressed(int position);

// The whole number a number edit's text begins with (spaces and a sign allowed, digits
// beyond 2^40 saturating); nothing when the text does not begin with one.
std::optional<int64_t> ReadEditNumber(const std::string& text);
// What a number edit holds after the user leaves it: the typed number clamped to
// [lo, hi]; text that is no number at all keeps `previous`.
int ClampEditText(const std::string& text, int lo, int hi, int previous);

}  // namespace orvanta::ui
