// The input page's value rules, without widgets: what a typed number becomes (held to the
// settings key's range, so the settings file takes it back at the next start), the head
// limit that keeps a clip's frames inside the ring, and the "ChangeDate" text.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace orvanta::ui {

struct IntRange {
  int lo = 0;
  int hi = 0;
};

// The valid range of an integer settings key ("IF.cx").
IntRange KeyIntRange(const char* key);

// What a number edit stores: the typed number truncated toward zero to a multiple of
// `step`, then held to `range`; nothing when the text does not read as a number.
std::optional<int> StepEditValue(const std::string& text, IntRange range, int step = 1);
// A floating edit ("Fps"): the number the text begins with, held to the key's range; nothing
// for text that is no finite number.
std::optional<double> DoubleEditValue(const std::string& text, const char* key);

// The largest "Head" that leaves room for "Diff" and "Min(frm)" in the ring of clip frames
// (the host refuses a larger frame space when it starts).
int HeadLimit(int fs_diff, int dmin);

// "ChangeDate": "%8d_%6d" read into the date and time of day, each held to its key's range.
std::optional<std::pair<int, int>> ReadDatePair(const std::string& text);
// Shown as "%08d_%06d".
std::string DatePairText(int yyyymmdd, int hhmmss);

}  // namespace orvanta::ui
