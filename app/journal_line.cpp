#include "app/journal_line.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvanta {

std::string JournalLine(LogPriority priority, std::string_view text) {
  char prefix[8];
  std::snprintf(prefix, sizeof prefix, "<%d>", static_cast<int>(priority));
  std::string line = prefix;
  line.reserve(line.size() + text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c != '\n' && c != '\r') {
      line += c;
      ++i;
      continue;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    while (i < text.size() && (text[i] == '\n' || text[i] == '\r' || text[i] == ' ')) ++i;
    if (i < text.size() && line.size() > std::strlen(prefix)) line += ' ';
  }
  while (line.size() > std::strlen(prefix) && line.back() == ' ') line.pop_back();
  return line;
}

std::vector<std::string> RepeatFilter::Next(const std::string& line) {
  if (line == last_) {
    ++repeats_;
    return {};
  }
  std::vector<std::string> out;
  if (repeats_ > 0) {
    out.push_back(JournalLine(LogPriority::kNotice, "(previous message repeated " +
                                                        std::to_string(repeats_) + " times)"));
  }
  out.push_back(line);
  last_ = line;
  repeats_ = 0;
  return out;
}

bool StderrIsJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (stream == nullptr) return false;
  unsigned long long device = 0, inode = 0;
  if (std::sscanf(stream, "%llu:%llu", &device, &inode) != 2) return false;
  struct stat st {};
  if (::fstat(2, &st) != 0) return false;
  return static_cast<unsigned long long>(st.st_dev) == device &&
         static_cast<unsigned long long>(st.st_ino) == inode;
}

}  // namespace orvanta
