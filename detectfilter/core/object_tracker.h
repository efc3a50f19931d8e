// The table of tracked objects of the object path: up to 19 moving things, each with a box in
// the object map. New objects that are too small in their first frame are dropped; an object
// that stays longer than 3 s and moves slower than `so_vel` becomes slow: its pixels no longer
// count as hits, and it vetoes the clip it has outlasted.
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
  int Process(const ObjectFrame& f, FrameTime now, int64_t& hits, int rec_remain, int recorded);

  const TrackedObject& object(int number) const { return objects_[number]; }
  int highest() const { return highest_; }

 private:
  struct Box {
    int x0, x1, y0, y1;
  };
  int Allocate();
  void Release(int number);
  void SetCentre(const ObjectFrame& f, TrackedObject& o);
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
};

}  // namespace orvanta::detect
