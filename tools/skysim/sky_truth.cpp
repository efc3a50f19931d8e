#include "tools/skysim/sky_truth.h"

#include <cstdio>

namespace orvanta::skysim {

const char* EventKindName(EventKind kind) {
  switch (kind) {
    case EventKind::Meteor:
      return "meteor";
    case EventKind::Aircraft:
      return "aircraft";
    case EventKind::Satellite:
      return "satellite";
    case EventKind::Cloud:
      return "cloud";
    case EventKind::Repeat:
      return "repeat";
    case EventKind::Jump:
      return "jump";
  }
  return "unknown";
}

namespace {
void Append(std::string& out, const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  out += text;
}
}  // namespace

std::string TruthToJson(const SkyTruth& truth) {
  std::string out = "{\"width\": " + std::to_string(truth.width) +
                    ", \"height\": " + std::to_string(truth.height) + ", \"fps\": ";
  Append(out, "%.6g", truth.fps);
  out += ", \"frames\": " + std::to_string(truth.frames) + ", \"events\": [";
  for (size_t i = 0; i < truth.events.size(); ++i) {
    const SkyEvent& e = truth.events[i];
    out += i ? ",\n  " : "\n  ";
    out += "{\"kind\": \"" + std::string(EventKindName(e.kind)) +
           "\", \"first_frame\": " + std::to_string(e.first_frame) +
           ", \"last_frame\": " + std::to_string(e.last_frame) + ", \"path\": [";
    for (size_t k = 0; k < e.path.size(); ++k) {
      if (k) out += ", ";
      Append(out, "[%.2f", e.path[k].x);
      Append(out, ", %.2f]", e.path[k].y);
    }
    out += "], \"peak\": ";
    Append(out, "%.1f", e.peak);
    out += ", \"speed\": ";
    Append(out, "%.2f", e.speed);
    out += "}";
  }
  out += truth.events.empty() ? "]}\n" : "\n]}\n";
  return out;
}

}  // namespace orvanta::skysim
