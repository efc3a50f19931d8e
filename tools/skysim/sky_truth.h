// What really happened in a simulated night: the ground truth the detection
// is measured against.
#pragma once

#include <string>
#include <vector>

namespace orvanta::skysim {

enum class EventKind { Meteor, Aircraft, Satellite, Cloud, Repeat, Jump };
const char* EventKindName(EventKind kind);

struct PathPoint {
  double x;
  double y;
};

struct SkyEvent {
  EventKind kind;
  int first_frame;  // frames counted from 0
  int last_frame;   // inclusive
  // Centre of the object in each frame from first_frame to last_frame (for a
  // meteor the middle of that frame's streak); empty for repeats and jumps.
  std::vector<PathPoint> path;
  // Brightness above the sky at the object's brightest pixel, in DN, before
  // the picture clips at 255 (a value above 255 minus the sky saturates).
  double peak;
  double speed;  // pixels per frame; 0 for events that do not move
};

struct SkyTruth {
  int width = 0;
  int height = 0;
  double fps = 0.0;
  int frames = 0;
  std::vector<SkyEvent> events;
};

// {"width", "height", "fps", "frames", "events": [{"kind", "first_frame",
// "last_frame", "path": [[x, y], ...], "peak", "speed"}]}
std::string TruthToJson(const SkyTruth& truth);

}  // namespace orvanta::skysim
