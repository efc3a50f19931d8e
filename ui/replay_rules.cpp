#include "ui/replay_rules.h"

#include <cmath>
#include <cstdio>

namespace orvanta::ui {
namespace {

// Frame times are kept in whole 100-ns units: a 29.97 fps frame starts a fraction of a unit
// before k x 333,667. A thousandth of a frame absorbs that without reaching the next frame.
constexpr double kFrameTolerance = 1e-3;

}  // namespace

int64_t HeadSeekMs(double fps, int fs_head) {
  if (fps <= 0.01) return 1000;
  return static_cast<int64_t>(1000.0 / fps * fs_head);
}

int SnapshotNumber(int64_t position, double clip_fps, bool deinterlace, int bbf, int field_odd) {
  if (clip_fps <= 0 || position < 0) return 0;
  const double frame = 10000000.0 / clip_fps;
  if (!deinterlace)
    return static_cast<int>(std::floor(static_cast<double>(position) / frame + kFrameTolerance));
  int n =
      static_cast<int>(std::floor(2.0 * static_cast<double>(position) / frame + kFrameTolerance));
  if ((bbf == 1 && field_odd == 0) || (bbf == 0 && field_odd == 1)) ++n;
  return n;
}

std::string SnapshotStem(const std::string& clip_video_path) {
  if (clip_video_path.size() < 4) return "";
  std::string stem = clip_video_path.substr(0, clip_video_path.size() - 4);
  const size_t slash = stem.rfind('/');
  const size_t first = slash == std::string::npos ? 0 : slash + 1;
  if (first < stem.size()) stem[first] = 'z';
  return stem;
}

std::string SnapshotPath(const std::string& stem, int number, const char* extension) {
  char tail[32];
  std::snprintf(tail, sizeof tail, "_%03ds.%s", number, extension);
  return stem + tail;
}

std::string ReplayCachePath(const std::string& cache_dir, const std::string& clip_name) {
  std::string path = cache_dir;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + clip_name + ".avi";
}

}  // namespace orvanta::ui
