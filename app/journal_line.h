// Messages as the system journal takes them from a service's standard error: one line per
// message (line breaks folded), the priority as a "<N>" prefix, and a message repeated
// back to back written once, with its count when another message follows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvanta {

enum class LogPriority : int { kCritical = 2, kError = 3, kWarning = 4, kNotice = 5, kInfo = 6 };

// "<N>TEXT" with every run of line breaks and the spaces around them made one space.
std::string JournalLine(LogPriority priority, std::string_view text);

// Drops a line equal to the one before it; the next different line is preceded by a
// notice of how often the previous one was repeated.
class RepeatFilter {
 public:
  // The lines to write for this one (none while it repeats the previous).
  std::vector<std::string> Next(const std::string& line);

 private:
  std::string last_;
  int repeats_ = 0;
};

// True when standard error is connected to the journal (JOURNAL_STREAM names it).
bool StderrIsJournal();

}  // namespace orvanta
