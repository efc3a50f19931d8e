#include "bench/quality/quality_score.h"

#include <algorithm>
#include <cmath>

namespace orvanta::quality {

using skysim::EventKind;
using skysim::SkyEvent;
using skysim::SkyTruth;

namespace {
constexpr int kLookBack = 3;        // frames before the trigger that may have set it off
constexpr double kNearPixels = 12;  // a hit this close to an object's streak is its own

// Distance from (x, y) to the object's streak in frame f: the path point of
// the frame, spread over one frame's motion.
double StreakDistance(const SkyEvent& e, int f, double x, double y) {
  const int k = f - e.first_frame;
  const auto& c = e.path[k];
  double vx = 0, vy = 0;
  if (k + 1 < static_cast<int>(e.path.size())) {
    vx = e.path[k + 1].x - c.x;
    vy = e.path[k + 1].y - c.y;
  } else if (k > 0) {
    vx = c.x - e.path[k - 1].x;
    vy = c.y - e.path[k - 1].y;
  }
  const double x0 = c.x - vx / 2, y0 = c.y - vy / 2;
  const double len2 = vx * vx + vy * vy;
  const double t = len2 > 0 ? std::clamp(((x - x0) * vx + (y - y0) * vy) / len2, 0.0, 1.0) : 0.0;
  return std::hypot(x - (x0 + t * vx), y - (y0 + t * vy));
}
}  // namespace

const char* CauseName(Cause cause) {
  switch (cause) {
    case Cause::Aircraft:
      return "aircraft";
    case Cause::Satellite:
      return "satellite";
    case Cause::StarOrNoise:
      return "star or noise";
    case Cause::Other:
      return "other";
  }
  return "";
}

int BrightnessClass(double peak) {
  return peak < 30 ? 0 : peak < 80 ? 1 : peak < 200 ? 2 : 3;
}
int SpeedClass(double speed) {
  return speed < 10 ? 0 : speed < 40 ? 1 : 2;
}

const char* BrightnessClassName(int c) {
  static const char* const kNames[kBrightnessClasses] = {"faint", "medium", "bright", "saturating"};
  return c >= 0 && c < kBrightnessClasses ? kNames[c] : "";
}

const char* SpeedClassName(int c) {
  static const char* const kNames[kSpeedClasses] = {"slow", "medium", "fast"};
  return c >= 0 && c < kSpeedClasses ? kNames[c] : "";
}

bool HoldsMeteor(const ClipRecord& clip, const SkyEvent& meteor) {
  return clip.first_frame >= 0 && clip.first_frame <= meteor.last_frame &&
         meteor.first_frame <= clip.last_frame;
}

Cause CauseOf(const SkyTruth& truth, const ClipRecord& clip) {
  const int from = clip.trigger_frame - kLookBack, to = clip.trigger_frame;
  int near[3] = {};  // aircraft, satellite, meteor
  bool glitch = false;
  for (const SkyEvent& e : truth.events) {
    if (e.last_frame < from || e.first_frame > to) continue;
    switch (e.kind) {
      case EventKind::Jump:
        glitch |= e.first_frame >= from;  // only the step up brightens
        continue;
      case EventKind::Repeat:
      case EventKind::Cloud:
        glitch = true;
        continue;
      default:
        break;
    }
    const int slot = e.kind == EventKind::Aircraft ? 0 : e.kind == EventKind::Satellite ? 1 : 2;
    for (const HitPixel& h : clip.trigger_hits) {
      for (int f = std::max(from, e.first_frame); f <= std::min(to, e.last_frame); ++f) {
        if (StreakDistance(e, f, h.x, h.y) <= kNearPixels) {
          ++near[slot];
          break;
        }
      }
    }
  }
  const int best = static_cast<int>(std::max_element(near, near + 3) - near);
  if (near[best] > 0 && best == 0) return Cause::Aircraft;
  if (near[best] > 0 && best == 1) return Cause::Satellite;
  if (near[best] > 0 || glitch) return Cause::Other;
  return Cause::StarOrNoise;
}

QualityScore Score(const SkyTruth& truth, const std::vector<ClipRecord>& clips) {
  QualityScore score;
  score.hours = truth.fps > 0 ? truth.frames / truth.fps / 3600.0 : 0.0;
  score.clips = static_cast<int>(clips.size());
  for (const SkyEvent& e : truth.events) {
    if (e.kind != EventKind::Meteor) continue;
    const bool caught = std::any_of(clips.begin(), clips.end(),
                                    [&](const ClipRecord& c) { return HoldsMeteor(c, e); });
    for (Tally* t : {&score.meteors, &score.by_brightness[BrightnessClass(e.peak)],
                     &score.by_speed[SpeedClass(e.speed)]}) {
      ++t->present;
      t->caught += caught;
    }
  }
  for (const ClipRecord& clip : clips) {
    const bool meteor = std::any_of(
        truth.events.begin(), truth.events.end(),
        [&](const SkyEvent& e) { return e.kind == EventKind::Meteor && HoldsMeteor(clip, e); });
    if (meteor) {
      ++score.meteor_clips;
      score.clip_cause.push_back(-1);
      continue;
    }
    const Cause cause = CauseOf(truth, clip);
    ++score.false_clips[static_cast<int>(cause)];
    score.clip_cause.push_back(static_cast<int>(cause));
  }
  return score;
}

}  // namespace orvanta::quality
