// What zavip-tool's commands read from their arguments, read one way for all of them: the
// option loop, numbers, dates and frame-clock times.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvanta::tool {

// Takes one option and its value ("" for a flag); returns an error text, empty when taken.
using OptionTaker = std::function<std::string(const std::string& option, const std::string& value)>;

// Reads the options in order: the names in `flags` stand alone, every other option takes the
// next argument as its value. Returns the first error ("option --x needs a value",
// "unexpected argument x", or what `take` said), empty when every option was taken.
std::string ReadOptions(const std::vector<std::string>& args,
                        std::initializer_list<std::string_view> flags, const OptionTaker& take);
// The error text for an option no command knows.
std::string UnknownOption(const std::string& option);

// A decimal whole number, or a finite number, with nothing around it.
bool ParseInt(const std::string& text, long long& value);
bool ParseDouble(const std::string& text, double& value);

struct Date {
  int year = 1970;
  int month = 1;
  int day = 1;
};
// "YYYY-MM-DD", a day that exists.
std::optional<Date> ParseDate(std::string_view text);

// "YYYY-MM-DD HH:MM:SS" (or 'T' between date and time), seconds with an optional fraction,
// from 1970 on: the frame clock's reading in milliseconds.
std::optional<int64_t> ParseClockTime(std::string_view text);
// What ParseClockTime takes, in the words of a refusal.
inline constexpr const char* kClockTimeForm =
    "a real date and time from 1970-01-01 00:00:00 to 9999-12-31 23:59:59, written "
    "YYYY-MM-DDTHH:MM:SS (a space may stand for the T, the seconds may have a fraction)";

}  // namespace orvanta::tool
