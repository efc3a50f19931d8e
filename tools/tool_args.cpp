#include "tools/tool_args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace orvanta::tool {
namespace {

// Reads `min`..`max` decimal digits from the front of `text`.
bool TakeDigits(std::string_view& text, size_t min, size_t max, int& value) {
  size_t n = 0;
  value = 0;
  while (n < max && n < text.size() && text[n] >= '0' && text[n] <= '9')
    value = value * 10 + (text[n++] - '0');
  text.remove_prefix(n);
  return n >= min;
}

bool TakeChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

std::optional<Date> TakeDate(std::string_view& text) {
  Date d;
  if (!TakeDigits(text, 4, 4, d.year) || !TakeChar(text, '-') || !TakeDigits(text, 1, 2, d.month) ||
      !TakeChar(text, '-') || !TakeDigits(text, 1, 2, d.day))
    return std::nullopt;
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > kDays[d.month - 1] ||
      (d.month == 2 && d.day == 29 && !leap))
    return std::nullopt;
  return d;
}

}  // namespace

std::string ReadOptions(const std::vector<std::string>& args,
                        std::initializer_list<std::string_view> flags, const OptionTaker& take) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    bool flag = false;
    for (std::string_view f : flags) flag |= option == f;
    if (!flag && i + 1 >= args.size()) {
      return option.starts_with("--") ? "option " + option + " needs a value"
                                      : "unexpected argument " + option;
    }
    std::string error = take(option, flag ? std::string() : args[++i]);
    if (!error.empty()) return error;
  }
  return {};
}

std::string UnknownOption(const std::string& option) {
  return "unknown option " + option;
}

bool ParseInt(const std::string& text, long long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && errno == 0;
}

bool ParseDouble(const std::string& text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(value);
}

std::optional<Date> ParseDate(std::string_view text) {
  std::optional<Date> d = TakeDate(text);
  return text.empty() ? d : std::nullopt;
}

std::optional<int64_t> ParseClockTime(std::string_view text) {
  const std::optional<Date> d = TakeDate(text);
  int h = 0, mi = 0, s = 0;
  if (!d || d->year < 1970 || !(TakeChar(text, ' ') || TakeChar(text, 'T')) ||
      !TakeDigits(text, 1, 2, h) || !TakeChar(text, ':') || !TakeDigits(text, 1, 2, mi) ||
      !TakeChar(text, ':') || !TakeDigits(text, 1, 2, s) || h > 23 || mi > 59 || s > 60)
    return std::nullopt;
  double fraction = 0;
  if (TakeChar(text, '.')) {
    if (text.empty()) return std::nullopt;
    double scale = 0.1;
    for (; !text.empty() && text.front() >= '0' && text.front() <= '9'; scale /= 10) {
      fraction += scale * (text.front() - '0');
      text.remove_prefix(1);
    }
  }
  if (!text.empty()) return std::nullopt;
  std::tm tm{};
  tm.tm_year = d->year - 1900;
  tm.tm_mon = d->month - 1;
  tm.tm_mday = d->day;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<int64_t>(timegm(&tm)) * 1000 + static_cast<int64_t>(fraction * 1000 + 0.5);
}

}  // namespace orvanta::tool
