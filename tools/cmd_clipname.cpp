// zavip-tool clipname: the file name a clip gets for a frame-clock time, with
// the date directories it is filed in, as the station forms it.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "capture/clip_name.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

// "YYYY-MM-DD HH:MM:SS" (or with 'T' between) as frame-clock seconds.
bool ParseTime(const std::string& text, int64_t& t) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char sep = 0, tail = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%c", &y, &mo, &d, &sep, &h, &mi, &s,
                  &tail) != 7 ||
      (sep != ' ' && sep != 'T'))
    return false;
  if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || h < 0 ||
      mi < 0 || s < 0)
    return false;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  t = timegm(&tm);
  return tm.tm_mday == d;  // 31 April and the like are refused
}

int RunClipName(const std::vector<std::string>& args) {
  ClipNameSettings settings;
  settings.db_dir = ".";
  settings.extension = ".avi";
  settings.create_dirs = false;
  char letter = 'M';
  int kind = 1;
  int64_t t = 0;
  bool have_time = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--ymd") {
      settings.db_ymddir = true;
      continue;
    }
    if (option == "--night") {
      settings.db_night = true;
      continue;
    }
    if (option == "--mkdir") {
      settings.create_dirs = true;
      continue;
    }
    if (i + 1 >= args.size()) return Fail("option " + option + " needs a value");
    const std::string& value = args[++i];
    if (option == "--time") {
      if (!ParseTime(value, t)) return Fail("--time: not a time YYYY-MM-DD HH:MM:SS: " + value);
      have_time = true;
    } else if (option == "--db") {
      settings.db_dir = value;
    } else if (option == "--ccode") {
      settings.ccode = value;
    } else if (option == "--lid") {
      settings.lid = value;
    } else if (option == "--cid") {
      settings.cid = value;
    } else if (option == "--ext") {
      settings.extension = value;
    } else if (option == "--letter") {
      if (value != "M" && value != "T") return Fail("--letter: M or T: " + value);
      letter = value[0];
    } else if (option == "--kind") {
      if (value.size() != 1 || value[0] < '1' || value[0] > '4')
        return Fail("--kind: 1 video, 2 audio, 3 timer, 4 by hand: " + value);
      kind = value[0] - '0';
    } else {
      return Fail("unknown option " + option);
    }
  }
  if (!have_time) return Fail("clipname needs --time");

  // A recording file always carries the video separator.
  auto parts = FormClipName(settings, t, letter, letter == 'T' ? '_' : ClipSeparator(kind));
  if (!parts) return Fail(parts.message());
  std::printf("%s\nday_dir %s\nminute %d\nhhmm %s\n", parts->path.c_str(), parts->day_dir.c_str(),
              parts->minute_stamp, parts->hhmm.c_str());
  return 0;
}

const CommandRegistrar kRegistrar({"clipname",
                                   "clipname --time \"YYYY-MM-DD HH:MM:SS\" [--db DIR] [--ymd] "
                                   "[--night] [--mkdir] [--ccode CC] [--lid ID] [--cid ID] "
                                   "[--ext .avi] [--letter M|T] [--kind 1-4]",
                                   RunClipName});

}  // namespace
}  // namespace orvanta::tool
