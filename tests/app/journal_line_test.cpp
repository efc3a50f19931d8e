#include "app/journal_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvanta {
namespace {

TEST(JournalLine, OneLinePerMessageWithItsPriority) {
  struct Case {
    LogPriority priority;
    const char* text;
    const char* line;
  };
  const Case cases[] = {
      {LogPriority::kError, "UE023: Cannot add ZavFilter to graph",
       "<3>UE023: Cannot add ZavFilter to graph"},
      {LogPriority::kError, "UM019: Cannot find ZAVIPF \n Please put libzavipf.so beside zavip",
       "<3>UM019: Cannot find ZAVIPF Please put libzavipf.so beside zavip"},
      {LogPriority::kCritical, "UM001: Cannot make Disk Free Space\r\n\n Please delete\n",
       "<2>UM001: Cannot make Disk Free Space Please delete"},
      {LogPriority::kNotice, "\nStation ready", "<5>Station ready"},
      {LogPriority::kWarning, "", "<4>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(JournalLine(c.priority, c.text), c.line);
  }
}

TEST(JournalLine, RepeatsAreWrittenOnceAndCountedWhenAnotherMessageFollows) {
  RepeatFilter filter;
  const std::string full = "<3>UM003: HDD Space limit. Please Stop and delete old files";
  const std::string other = "<3>UE023: Cannot add ZavFilter to graph";
  EXPECT_EQ(filter.Next(full), std::vector<std::string>{full});
  EXPECT_TRUE(filter.Next(full).empty());
  EXPECT_TRUE(filter.Next(full).empty());
  EXPECT_EQ(filter.Next(other),
            (std::vector<std::string>{"<5>(previous message repeated 2 times)", other}));
  EXPECT_EQ(filter.Next(full), std::vector<std::string>{full});  // not a repeat any more
}

}  // namespace
}  // namespace orvanta
