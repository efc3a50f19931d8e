// zavip-tool's argument reading: frame-clock times and dates as the commands accept them, and
// the option loop's errors.
#include "tools/tool_args.h"

#include <gtest/gtest.h>

namespace orvanta::tool {
namespace {

TEST(ToolArgs, ClockTimes) {
  constexpr int64_t kDay = 1704160800000;  // 2024-01-02 02:00:00 UTC, in ms
  struct Case {
    const char* text;
    std::optional<int64_t> ms;
  };
  const Case cases[] = {
      {"2024-01-02 02:00:00", kDay},
      {"2024-01-02T02:00:00", kDay},
      {"2024-1-2 2:0:0", kDay},
      {"2024-01-02T02:00:00.5", kDay + 500},
      {"2024-01-02T02:00:00.0004", kDay},
      {"2024-01-02T02:00:00.9996", kDay + 1000},
      {"2024-01-02T02:00:60", kDay + 60000},  // a leap second runs into the next minute
      {"2024-02-29 00:00:00", 1709164800000},
      {"1970-01-01 00:00:00", 0},
      {"2023-02-29 00:00:00", std::nullopt},
      {"2024-04-31 00:00:00", std::nullopt},
      {"2024-13-01 00:00:00", std::nullopt},
      {"2024-01-02 24:00:00", std::nullopt},
      {"2024-01-02 02:60:00", std::nullopt},
      {"1969-12-31 23:59:59", std::nullopt},
      {"2024-01-02", std::nullopt},
      {"2024-01-02_02:00:00", std::nullopt},
      {"2024-01-02 02:00:00.", std::nullopt},
      {"2024-01-02 02:00:00Z", std::nullopt},
      {"24-01-02 02:00:00", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseClockTime(c.text), c.ms);
  }
}

TEST(ToolArgs, Dates) {
  const std::optional<Date> leap = ParseDate("2000-02-29");
  ASSERT_TRUE(leap);
  EXPECT_EQ(leap->year * 10000 + leap->month * 100 + leap->day, 20000229);
  for (const char* bad : {"1900-02-29", "2024-06-31", "2024-06-21x", "2024-06", "0000-01-01"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseDate(bad));
  }
}

TEST(ToolArgs, OptionLoop) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
    std::string taken;
  };
  const Case cases[] = {
      {{"--a", "1", "--flag", "--b", "2"}, "", "--a=1 --flag= --b=2 "},
      {{"--a", "1", "--b"}, "option --b needs a value", "--a=1 "},
      {{"--a", "1", "stray"}, "unexpected argument stray", "--a=1 "},
      {{"--c", "3", "--a", "1"}, "unknown option --c", ""},
      {{"--a", "bad"}, "--a: bad", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    std::string taken;
    const std::string error =
        ReadOptions(c.args, {"--flag"}, [&](const std::string& option, const std::string& value) {
          if (option != "--a" && option != "--b" && option != "--flag")
            return UnknownOption(option);
          if (value == "bad") return option + ": bad";
          taken += option + "=" + value + " ";
          return std::string();
        });
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(taken, c.taken);
  }
}

}  // namespace
}  // namespace orvanta::tool
