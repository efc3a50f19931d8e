#include "capture/clip_end_rules.h"

#include <ctime>

namespace orvanta::capture {
namespace {

std::string ReplaceClipMarker(const std::string& text, const std::string& stem) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 'X') {
      out += stem;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

ActionCommand ParseActionCommand(const std::string& bat, const std::string& clip_path) {
  const std::string stem = clip_path.substr(0, clip_path.find('.'));
  ActionCommand command;
  size_t space = bat.find(' ');
  command.program = ReplaceClipMarker(bat.substr(0, space), stem);
  if (space == std::string::npos) return command;
  size_t pos = bat.find_first_not_of(' ', space);
  while (pos != std::string::npos) {
    size_t end = bat.find(' ', pos);
    command.arguments.push_back(ReplaceClipMarker(bat.substr(pos, end - pos), stem));
    pos = end == std::string::npos ? end : bat.find_first_not_of(' ', end);
  }
  return command;
}

int64_t FrameClockOffset(const FrameClockSettings& s, int64_t now) {
  if (s.si_cdate) {
    std::tm t{};
    t.tm_year = s.si_yyyymmdd / 10000 - 1900;
    t.tm_mon = s.si_yyyymmdd / 100 % 100 - 1;
    t.tm_mday = s.si_yyyymmdd % 100;
    t.tm_hour = s.si_hhmmss / 10000;
    t.tm_min = s.si_hhmmss / 100 % 100;
    t.tm_sec = s.si_hhmmss % 100;
    t.tm_isdst = s.tz_dst;
    const int64_t t0 = std::mktime(&t);
    return now + s.tz_bias - t0;
  }
  return s.si_utc ? 0 : s.tz_bias;
}

}  // namespace orvanta::capture
