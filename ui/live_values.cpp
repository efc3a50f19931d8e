#include "ui/live_values.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace orvanta::ui {

int ToCompressed(int value) {
  return value < 300 ? value : value / 100 + 297;
}

int FromCompressed(int position) {
  return position < 300 ? position : position * 100 - 29700;
}

int ClampEditText(const std::string& text, int lo, int hi, int previous) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return previous;
  // Digits beyond the range only push further out; stop counting before overflow.
  int64_t v = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    v = std::min<int64_t>(v * 10 + (text[i] - '0'), INT64_C(1) << 40);
  if (negative) v = -v;
  return static_cast<int>(std::clamp<int64_t>(v, lo, hi));
}

}  // namespace orvanta::ui
