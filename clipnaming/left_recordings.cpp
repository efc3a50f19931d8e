#include "clipnaming/left_recordings.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>

#include "products/avi_mend.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

bool Digits(const std::string& s, size_t from, size_t count) {
  if (s.size() < from + count) return false;
  for (size_t i = from; i < from + count; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

// "T20240102_021000_..." and the like: the letter, then the date and time of the name.
bool RecordingName(const std::string& name) {
  return name.size() > 16 && name[0] == 'T' && Digits(name, 1, 8) && name[9] == '_' &&
         Digits(name, 10, 6);
}

// The frame-clock second the name was formed from (broken down as UTC).
uint64_t NameTime(const std::string& name) {
  std::tm t{};
  t.tm_year = std::stoi(name.substr(1, 4)) - 1900;
  t.tm_mon = std::stoi(name.substr(5, 2)) - 1;
  t.tm_mday = std::stoi(name.substr(7, 2));
  t.tm_hour = std::stoi(name.substr(10, 2));
  t.tm_min = std::stoi(name.substr(12, 2));
  t.tm_sec = std::stoi(name.substr(14, 2));
  const time_t s = ::timegm(&t);
  return s > 0 ? static_cast<uint64_t>(s) : 0;
}

}  // namespace

LeftRecording MendRecording(const std::string& path, const ClipRecordInputs& known) {
  LeftRecording left;
  left.path = path;
  const fs::path p(path);
  const std::string name = p.filename().string();
  Result<AviFacts> facts = MendAvi(path);
  if (!facts) {
    // Nothing playable in it; a file that could not even be opened is left to the user.
    if (facts.message().starts_with("cannot ")) {
      left.message =
          "The unfinished recording " + path + " could not be mended: " + facts.message();
      return left;
    }
    ::unlink(path.c_str());
    left.message = "The unfinished recording " + path + " held no whole frame and was removed";
    return left;
  }
  left.frames = facts->frames;
  std::string clip_name = name;
  clip_name[0] = 'M';
  const std::string clip = (p.parent_path() / clip_name).string();
  if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, clip.c_str(), RENAME_NOREPLACE) != 0) {
    left.message = "The unfinished recording " + path + " was mended but keeps its name: " + clip +
                   (errno == EEXIST ? " exists" : " cannot be made");
    return left;
  }
  left.clip = clip;
  ClipRecordInputs in = known;
  if (in.trig_sec == 0 && RecordingName(name)) in.trig_sec = NameTime(name);
  in.clip_frames = static_cast<int32_t>(facts->frames);
  in.cx = static_cast<int32_t>(facts->width);
  in.cy = static_cast<int32_t>(facts->height);
  if (facts->us_per_frame > 0) {
    in.fps = 1e6 / facts->us_per_frame;
    in.avg_time_per_frame = static_cast<int32_t>(facts->us_per_frame * 10);
  }
  WriteClipRecord(ClipProductPath(clip, ".xml"), clip, in);
  left.message = "The unfinished recording " + path + " was mended into the clip " + clip + " (" +
                 std::to_string(facts->frames) + " frames)";
  return left;
}

std::vector<LeftRecording> MendLeftRecordings(const std::string& db_dir,
                                              const ClipRecordInputs& known) {
  std::vector<LeftRecording> found;
  std::vector<std::string> recordings;
  std::error_code ec;
  if (db_dir.empty()) return found;
  auto it =
      fs::recursive_directory_iterator(db_dir, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it.depth() > 3) it.disable_recursion_pending();  // year/month/day is as deep as clips go
    if (!it->is_regular_file(ec)) continue;
    const std::string name = it->path().filename().string();
    if (RecordingName(name)) {
      recordings.push_back(it->path().string());
    } else if (name.starts_with("M") && name.ends_with(".part")) {
      ::unlink(it->path().c_str());
    }
  }
  ClipRecordInputs unknown_clip = known;
  unknown_clip.trig_sec = 0;
  unknown_clip.trig_ms = 0;
  unknown_clip.trig_kind = 0;
  unknown_clip.trig_dlev = 0;
  unknown_clip.late_frames = 0;
  unknown_clip.timelog = {};
  for (const std::string& path : recordings) found.push_back(MendRecording(path, unknown_clip));
  return found;
}

}  // namespace orvanta
