// zavip-tool clipname: the file name a clip gets for a frame-clock time, with
// the date directories it is filed in, as the station forms it.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "clipnaming/clip_name.h"
#include "tools/tool_args.h"
#include "tools/tool_command.h"

namespace orvanta::tool {
namespace {

int RunClipName(const std::vector<std::string>& args) {
  ClipNameSettings settings;
  settings.db_dir = ".";
  settings.extension = ".avi";
  settings.create_dirs = false;
  char letter = 'M';
  int kind = 1;
  int64_t t = 0;
  bool have_time = false;
  const std::string bad_option =
      ReadOptions(args, {"--ymd", "--night", "--mkdir"},
                  [&](const std::string& option, const std::string& value) -> std::string {
                    if (option == "--ymd") {
                      settings.db_ymddir = true;
                    } else if (option == "--night") {
                      settings.db_night = true;
                    } else if (option == "--mkdir") {
                      settings.create_dirs = true;
                    } else if (option == "--time") {
                      const std::optional<int64_t> ms = ParseClockTime(value);
                      if (!ms) return "--time " + value + " is not " + kClockTimeForm;
                      t = *ms / 1000;
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
                      if (value != "M" && value != "T") return "--letter: M or T: " + value;
                      letter = value[0];
                    } else if (option == "--kind") {
                      if (value.size() != 1 || value[0] < '1' || value[0] > '4')
                        return "--kind: 1 video, 2 audio, 3 timer, 4 by hand: " + value;
                      kind = value[0] - '0';
                    } else {
                      return UnknownOption(option);
                    }
                    return "";
                  });
  if (!bad_option.empty()) return Fail(bad_option);
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
