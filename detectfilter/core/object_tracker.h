// The table of tracked objects of the object path: up to 19 moving things, each with a box in
// the object map. New objects that are too small in their first frame are dropped; an object
// that stays longer than 3 s and moves slower than `so_vel` becomes slow: its pixels no longer
// count as hits, and it vetoes the clip it has outlasted when that clip is its own.
//
// What an object is, it shows over time, so each keeps a short history:
// - Its light: the median of the peaks of its last five sightings. A meteor, even a slow
//   fireball, brightens and fades; an aircraft's or satellite's lights hold steady. An object
//   is judged slow only after its light has held steady (neither risen nor stood at the top of
//   the scale) for 3 s, and never once it has faded; a blinking light on its motion alone.
// - Its gaps: a tracked object that returns after more than a few unseen frames starts a new
//   history (another meteor crossing the box an old one left is not that old object), unless
//   it returns after the same gap as last time: a blinking light, an aircraft's strobe.
// - Its part in the current detection run: a slow object ends the clip only when its own hits
//   made and kept it, and nothing else in the run would have made a clip.
#pragma once

#include <cstdint>

#include "detectfilter/core/detect_core.h"

namespace orvanta::detect {

enum ObjectState : int { kObjectFree = 0, kObjectNew = 1, kObjectTracked = 2, kObjectSlow = 3 };

struct TrackedObject {
  int state = kObjectFree;
  int number = 0;
  FrameTime last_seen{};
  double col = 0, row = 0;  // centre
  FrameTime first_seen{};
  double first_col = 0, first_row = 0;
  int frames = 0;
  int seen = 0;
  int x0 = 0, x1 = 0, y0 = 0, y1 = 0;  // box
  int64_t sum_col = 0, sum_row = 0, count = 0;
  int peak = 0;  // brightest of its pixels in the current frame

  // Light over the sightings of the current history.
  int sightings = 0;
  int last_peaks[4] = {};  // peaks of the four sightings before the latest, oldest first
  int light_ref = 0;       // level at its last rise
  int light_max = 0;
  FrameTime light_changed{};  // when it last rose or stood at the top of the scale
  bool faded = false;
  // Gaps between sightings.
  int unseen = 0;    // frames in a row without pixels
  int last_gap = 0;  // unseen frames before its latest return after a gap
  bool blinking = false;
  // Its part in the current detection run (the detecting frames that led to the clip, and the
  // clip): frames on which it counted hits, frames on which the hits of everything else would
  // have been detecting on their own, and the most hits everything else counted in one frame.
  int run_own = 0;
  int run_others = 0;
  int64_t run_others_max = 0;
};

// The clip decision's figures as they stood before the current frame's decision.
struct ClipState {
  int rec_remain = 0;
  int recorded = 0;
  int dmin = 0;
  int dminsize = 0;
};

// The maps and settings one frame's object work uses.
struct ObjectFrame {
  uint8_t* obj_map = nullptr;
  uint8_t* hit_map = nullptr;
  int cx = 0;
  int cy = 0;
  int so_size = 0;
  int dsize = 0;
  int so_vel = 0;
};

class ObjectTracker {
 public:
  static constexpr int kMaxObjects = 19;

  ObjectTracker() { Reset(); }
  // Empties the table (attach).
  void Reset();
  // The object map's contents are unknown (new buffers, Run): the next prepare clears it all.
  void ForgetMap() { map_unknown_ = true; }

  // Before the bands: the map holds the boxes of the objects in use; slow boxes win over
  // tracked ones, tracked over new.
  void PrepareMap(const ObjectFrame& f);
  // One candidate pixel, taken in row-major order. Returns whether it counts as a hit.
  bool Candidate(const ObjectFrame& f, int64_t index, int n);
  // After the bands, with the arrival time of the frame. Lowers `hits` by the pixels of new
  // objects too small to keep; returns the veto value (0: no veto).
  int Process(const ObjectFrame& f, FrameTime now, int64_t& hits, const ClipState& clip);

  const TrackedObject& object(int number) const { return objects_[number]; }
  int highest() const { return highest_; }

 private:
  struct Box {
    int x0, x1, y0, y1;
  };
  int Allocate();
  void Release(int number);
  void SetCentre(const ObjectFrame& f, TrackedObject& o);
  // The frame's hits that stand (`standing`) and whether they belong to a detection run.
  void StartFrameRun(const ObjectFrame& f, const ClipState& clip, int64_t standing);
  void Tally(const ObjectFrame& f, TrackedObject& o, bool counted, int64_t standing);
  void FillBox(const ObjectFrame& f, const Box& box, int number, bool over_lower_states);
  void NoteDirty(const Box& box);

  TrackedObject objects_[kMaxObjects + 1];
  int free_list_[kMaxObjects];
  int free_count_ = 0;
  int highest_ = 0;
  // Boxes written into the map since it was last cleared, so clearing touches only them.
  Box dirty_[2 * kMaxObjects + 2];
  int dirty_count_ = 0;
  bool map_unknown_ = true;
  // The detection run: detecting frames in a row while idle, then the clip they led to.
  bool run_ = false;
  bool new_run_ = false;
  bool in_run_ = false;
  bool was_recording_ = false;
};

}  // namespace orvanta::detect
