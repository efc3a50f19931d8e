// Small rules of the end-of-clip sequence: the action command after a clip and the frame
// clock's offset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta::capture {

// The action command: the text up to the first space is the program, the rest (after the
// spaces that follow) its parameters. Every "%X" becomes the clip path up to its first
// '.'. The parameters are split at spaces before "%X" is replaced, so a clip path with
// spaces stays one argument and no text of the path is ever read as a command.
struct ActionCommand {
  std::string program;
  std::vector<std::string> arguments;
};
ActionCommand ParseActionCommand(const std::string& bat, const std::string& clip_path);

// Seconds subtracted from the system clock for frame times: a clock set by hand starts at
// the entered local date and time; else 0 in UTC, else the zone's bias.
struct FrameClockSettings {
  bool si_cdate = false;
  bool si_utc = false;
  int32_t si_yyyymmdd = 0;
  int32_t si_hhmmss = 0;
  int32_t tz_bias = 0;
  int32_t tz_dst = 0;
};
int64_t FrameClockOffset(const FrameClockSettings& settings, int64_t now);

}  // namespace orvanta::capture
