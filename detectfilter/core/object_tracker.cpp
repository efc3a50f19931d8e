#include "detectfilter/core/object_tracker.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "detectfilter/core/frame_clock.h"

namespace orvanta::detect {

namespace {
constexpr int64_t kForgetMs = 3000;  // unseen this long: released; tracked this long: judged
// More unseen frames than this in a row, and a tracked object that returns is another object.
constexpr int kRestartFrames = 6;
// A peak this bright says nothing of how bright the object really is.
constexpr int kTopOfScale = 250;

int MedianOfFive(int a, int b, int c, int d, int e) {
  int v[5] = {a, b, c, d, e};
  for (int i = 1; i < 5; ++i) {
    for (int j = i; j > 0 && v[j - 1] > v[j]; --j) std::swap(v[j - 1], v[j]);
  }
  return v[2];
}

// A new sighting: the peaks' median rising by a quarter counts as brightening; standing at
// the top of the scale (not as a lone flash) as unknown; falling to three quarters of the
// brightest as fading.
void NoteLight(TrackedObject& o, FrameTime now) {
  const int* p = o.last_peaks;
  if (o.sightings >= 4) {
    const int med = MedianOfFive(p[0], p[1], p[2], p[3], o.peak);
    const int top = std::max({p[0], p[1], p[2], p[3], o.peak});
    if (o.sightings == 4) {
      o.light_ref = o.light_max = med;
    } else {
      o.light_max = std::max(o.light_max, med);
      if (4 * med >= 5 * o.light_ref) {
        o.light_ref = med;
        o.light_changed = now;
      }
      if (4 * med <= 3 * o.light_max) o.faded = true;
    }
    if (top >= kTopOfScale && 4 * med >= 3 * top) o.light_changed = now;
  }
  std::memmove(o.last_peaks, o.last_peaks + 1, sizeof(int) * 3);
  o.last_peaks[3] = o.peak;
  ++o.sightings;
}

// The first sighting of a history.
void StartHistory(TrackedObject& o, FrameTime now) {
  o.first_seen = o.last_seen = now;
  o.first_col = o.col;
  o.first_row = o.row;
  o.frames = 0;
  o.sightings = 0;
  o.light_ref = o.light_max = 0;
  o.light_changed = now;
  o.faded = false;
  o.blinking = false;
  o.run_own = o.run_others = 0;
  o.run_others_max = 0;
  NoteLight(o, now);
}

// A slow object is left tracked while its light may still be a meteor's: not blinking, and
// faded, or risen or at the top of the scale within the last 3 s.
bool MayBeMeteor(const TrackedObject& o, FrameTime now) {
  if (o.blinking) return false;
  return o.faded || ElapsedMs(now, o.light_changed) <= kForgetMs;
}

// The clip is the object's own when its hits counted on an earlier frame of the run and
// everything else together never reached what would have made a clip.
bool OwnsRun(const TrackedObject& o, const ClipState& clip) {
  if (o.run_own < 2) return false;
  if (o.run_others >= std::max(1, clip.dmin)) return false;
  return clip.dminsize == 0 || o.run_others_max < clip.dminsize;
}
}  // namespace

void ObjectTracker::Reset() {
  for (int k = 0; k <= kMaxObjects; ++k) objects_[k] = TrackedObject{};
  for (int k = 0; k < kMaxObjects; ++k) {
    free_list_[k] = k + 1;
    objects_[k + 1].number = k + 1;
  }
  free_count_ = kMaxObjects;
  highest_ = 0;
  run_ = new_run_ = in_run_ = was_recording_ = false;
}

int ObjectTracker::Allocate() {
  if (free_count_ == 0) return 0;
  int number = free_list_[0];
  std::memmove(free_list_, free_list_ + 1, sizeof(int) * (free_count_ - 1));
  --free_count_;
  if (number > highest_) highest_ = number;
  return number;
}

void ObjectTracker::Release(int number) {
  objects_[number] = TrackedObject{};
  objects_[number].number = number;
  std::memmove(free_list_ + 1, free_list_, sizeof(int) * free_count_);
  free_list_[0] = number;
  ++free_count_;
  while (highest_ > 0 && objects_[highest_].state == kObjectFree) --highest_;
}

void ObjectTracker::NoteDirty(const Box& box) {
  if (dirty_count_ < static_cast<int>(sizeof(dirty_) / sizeof(dirty_[0]))) {
    dirty_[dirty_count_++] = box;
  } else {
    map_unknown_ = true;
  }
}

void ObjectTracker::FillBox(const ObjectFrame& f, const Box& box, int number,
                            bool over_lower_states) {
  const int state = objects_[number].state;
  for (int y = box.y0; y <= box.y1; ++y) {
    uint8_t* row = f.obj_map + static_cast<size_t>(y) * f.cx;
    for (int x = box.x0; x <= box.x1; ++x) {
      uint8_t held = row[x];
      if (held == 0 || (over_lower_states && objects_[held].state < state)) {
        row[x] = static_cast<uint8_t>(number);
      }
    }
  }
  NoteDirty(box);
}

void ObjectTracker::PrepareMap(const ObjectFrame& f) {
  if (map_unknown_) {
    std::memset(f.obj_map, 0, static_cast<size_t>(f.cx) * f.cy);
    map_unknown_ = false;
  } else {
    for (int k = 0; k < dirty_count_; ++k) {
      const Box& b = dirty_[k];
      for (int y = b.y0; y <= b.y1; ++y) {
        std::memset(f.obj_map + static_cast<size_t>(y) * f.cx + b.x0, 0,
                    static_cast<size_t>(b.x1 - b.x0 + 1));
      }
    }
  }
  dirty_count_ = 0;
  for (int number = 1; number <= highest_; ++number) {
    TrackedObject& o = objects_[number];
    o.seen = 0;
    if (o.state == kObjectFree) continue;
    o.sum_col = o.sum_row = o.count = 0;
    o.peak = 0;
    FillBox(f, Box{o.x0, o.x1, o.y0, o.y1}, number, true);
  }
}

bool ObjectTracker::Candidate(const ObjectFrame& f, int64_t index, int n) {
  const int col = static_cast<int>(index % f.cx);
  const int row = static_cast<int>(index / f.cx);
  const int held = f.obj_map[index];
  if (held != 0 && objects_[held].state == kObjectSlow) {
    TrackedObject& o = objects_[held];
    o.sum_col += col;
    o.sum_row += row;
    ++o.count;
    o.peak = std::max(o.peak, n);
    return false;
  }
  // 255 stays reserved for the centre marks.
  const uint8_t mark = static_cast<uint8_t>(n < 250 ? n : 250);
  if (mark > f.hit_map[index]) f.hit_map[index] = mark;
  if (held != 0) {
    TrackedObject& o = objects_[held];
    o.sum_col += col;
    o.sum_row += row;
    ++o.count;
    o.peak = std::max(o.peak, n);
    o.seen = 1;
    return true;
  }
  int number = Allocate();
  if (number == 0) return true;
  TrackedObject& o = objects_[number];
  o.state = kObjectNew;
  o.sum_col = col;
  o.sum_row = row;
  o.count = 1;
  o.peak = n;
  o.seen = 1;
  Box box{col - f.so_size, col + f.so_size, row - f.so_size, row + f.so_size};
  if (box.x0 < 0) box.x0 = 0;
  if (box.y0 < 0) box.y0 = 0;
  if (box.x1 > f.cx - 1) box.x1 = f.cx - 1;
  if (box.y1 > f.cy - 1) box.y1 = f.cy - 1;
  o.x0 = box.x0;
  o.x1 = box.x1;
  o.y0 = box.y0;
  o.y1 = box.y1;
  FillBox(f, box, number, false);
  return true;
}

void ObjectTracker::SetCentre(const ObjectFrame& f, TrackedObject& o) {
  o.col = static_cast<double>(o.sum_col) / o.count;
  o.row = static_cast<double>(o.sum_row) / o.count;
  auto clip = [](int v, int top) { return v < 0 ? 0 : (v > top ? top : v); };
  o.x0 = clip(static_cast<int>(o.col - f.so_size), f.cx - 1);
  o.x1 = clip(static_cast<int>(o.col + f.so_size), f.cx - 1);
  o.y0 = clip(static_cast<int>(o.row - f.so_size), f.cy - 1);
  o.y1 = clip(static_cast<int>(o.row + f.so_size), f.cy - 1);
}

void ObjectTracker::StartFrameRun(const ObjectFrame& f, const ClipState& clip, int64_t standing) {
  const bool recording = clip.rec_remain != 0;
  // A clip that ended took its run with it, even when the next one starts on the first frame.
  if (was_recording_ && !recording) run_ = false;
  was_recording_ = recording;
  in_run_ = recording || standing >= f.dsize;
  new_run_ = in_run_ && !run_;
  run_ = in_run_;
}

void ObjectTracker::Tally(const ObjectFrame& f, TrackedObject& o, bool counted, int64_t standing) {
  if (!in_run_) return;
  if (new_run_) {
    o.run_own = o.run_others = 0;
    o.run_others_max = 0;
  }
  const int64_t others = standing - (counted ? o.count : 0);
  if (counted) ++o.run_own;
  if (others >= f.dsize) ++o.run_others;
  if (others > o.run_others_max) o.run_others_max = others;
}

int ObjectTracker::Process(const ObjectFrame& f, FrameTime now, int64_t& hits,
                           const ClipState& clip) {
  int veto = 0;
  auto mark_centre = [&](const TrackedObject& o) {
    f.hit_map[static_cast<size_t>(o.row) * f.cx + static_cast<size_t>(o.col)] = 255;
  };
  int64_t standing = hits;
  for (int number = 1; number <= highest_; ++number) {
    const TrackedObject& o = objects_[number];
    if (o.state == kObjectNew && o.count < f.dsize) standing -= o.count;
  }
  StartFrameRun(f, clip, standing);
  const double limit = f.so_vel / 1000.0;
  for (int number = 1; number <= highest_; ++number) {
    TrackedObject& o = objects_[number];
    switch (o.state) {
      case kObjectNew:
        if (o.count < f.dsize) {
          hits -= o.count;
          Release(number);
          break;
        }
        SetCentre(f, o);
        StartHistory(o, now);
        Tally(f, o, true, standing);
        o.state = kObjectTracked;
        mark_centre(o);
        break;
      case kObjectTracked: {
        ++o.frames;
        if (o.count == 0) {
          ++o.unseen;
          Tally(f, o, false, standing);
          if (ElapsedMs(now, o.last_seen) > kForgetMs) Release(number);
          break;
        }
        const int gap = o.unseen;
        o.unseen = 0;
        SetCentre(f, o);
        if (gap > kRestartFrames) {
          const int slack = std::max(2, o.last_gap / 8);
          const bool same_gap = o.last_gap > kRestartFrames && std::abs(gap - o.last_gap) <= slack;
          o.last_gap = gap;
          if (same_gap) {
            o.blinking = true;
          } else {
            StartHistory(o, now);
            Tally(f, o, true, standing);
            mark_centre(o);
            break;
          }
        }
        o.last_seen = now;
        NoteLight(o, now);
        Tally(f, o, true, standing);
        const double e = static_cast<double>(ElapsedMs(now, o.first_seen));
        if (e <= kForgetMs) {
          mark_centre(o);
          break;
        }
        const double dc = o.first_col - o.col;
        const double dr = o.first_row - o.row;
        if ((dc * dc + dr * dr) / e / e >= limit * limit || MayBeMeteor(o, now)) break;
        o.state = kObjectSlow;
        if (clip.rec_remain != 0 && o.frames > clip.recorded && OwnsRun(o, clip) &&
            o.frames > veto) {
          veto = o.frames;
        }
        break;
      }
      case kObjectSlow:
        if (o.count == 0) {
          if (ElapsedMs(now, o.last_seen) > kForgetMs) Release(number);
          break;
        }
        o.last_seen = now;
        SetCentre(f, o);
        break;
      default:
        break;
    }
  }
  return veto;
}

}  // namespace orvanta::detect
