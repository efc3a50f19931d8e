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

std::optional<int64_t> ReadEditNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  // Digits beyond the range only push further out; stop counting before overflow.
  int64_t v = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    v = std::min<int64_t>(v * 10 + (text[i] - '0'), INT64_C(1) << 40);
  return negative ? -v : v;
}

int ClampEditText(const std::string& text, int lo, int hi, int previous) {
  const std::optional<int64_t> v = ReadEditNumber(text);
  return v ? static_cast<int>(std::clamp<int64_t>(*v, lo, hi)) : previous;
}

}  // namespace orvanta::ui
