#include "clipnaming/clip_name.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "app/clip_kinds.h"

namespace orvanta {
namespace {

std::mutex day_dir_mutex;
std::string day_dir_value;

}  // namespace

std::string RecordingExtension(int rec_mode, const std::string& out_ext) {
  if (rec_mode == 1) return ".avi";
  return out_ext.substr(0, kClipExtensionMaxChars);
}

char ClipSeparator(int trig_kind) {
  switch (trig_kind) {
    case kTriggerAudio:
      return '-';
    case kTriggerTimer:
      return '=';
    case kTriggerByHand:
      return '+';
    default:
      return '_';
  }
}

Status CreateDateDir(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) return {};
  if (mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return {};
  return Error{"Cannot Create Date Dir " + path};
}

Result<ClipNameParts> FormClipName(const ClipNameSettings& settings, int64_t t, char letter,
                                   char separator) {
  std::tm tm{};
  const std::time_t tt = static_cast<std::time_t>(t);
  if (!gmtime_r(&tt, &tm)) return Error{"clip time out of range"};
  ClipNameParts parts;
  char text[64];
  std::snprintf(text, sizeof text, "%02d%02d", tm.tm_hour, tm.tm_min);
  parts.hhmm = text;
  parts.minute_stamp = tm.tm_yday * 1440 + tm.tm_hour * 60 + tm.tm_min;

  std::string dir = settings.db_dir;
  if (settings.db_ymddir) {
    std::tm d = tm;
    if (settings.db_night && tm.tm_hour < 12) {
      const std::time_t evening = tt - 43200;
      gmtime_r(&evening, &d);
    }
    const int year = d.tm_year + 1900, month = d.tm_mon + 1;
    std::snprintf(text, sizeof text, "/%4d", year);
    const std::string year_dir = dir + text;
    std::snprintf(text, sizeof text, "/%04d%02d", year, month);
    const std::string month_dir = year_dir + text;
    std::snprintf(text, sizeof text, "/%04d%02d%02d", year, month, d.tm_mday);
    const std::string day = month_dir + text;
    if (settings.create_dirs) {
      for (const std::string* p : {&year_dir, &month_dir, &day})
        if (Status s = CreateDateDir(*p); !s) return Error{s.message()};
    }
    dir = day;
  }
  parts.day_dir = dir;

  std::snprintf(text, sizeof text, "/%c%d_%06d_", letter,
                (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday,
                tm.tm_hour * 10000 + tm.tm_min * 100 + tm.tm_sec);
  parts.path = dir + text + settings.ccode + settings.lid + separator + settings.cid +
               settings.extension.substr(0, kClipExtensionMaxChars);
  // A cut name would lose its extension or its camera code: refuse it instead.
  if (parts.path.size() > kClipNameMaxChars) return Error{"clip name too long: " + parts.path};
  return parts;
}

std::string DayDir() {
  std::lock_guard<std::mutex> lock(day_dir_mutex);
  return day_dir_value;
}

void SetDayDir(const std::string& dir) {
  std::lock_guard<std::mutex> lock(day_dir_mutex);
  day_dir_value = dir;
}

}  // namespace orvanta
