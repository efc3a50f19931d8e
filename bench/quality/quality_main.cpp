// orvanta_quality: how well the detection core does on simulated skies.
// Runs the core in process over each scenario and frame size with the
// station's default settings; prints a table for notes and writes JSON.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/quality/quality_run.h"
#include "bench/quality/quality_score.h"
#include "tools/tool_args.h"

namespace orvanta::quality {
namespace {

constexpr const char* kUsage =
    "usage: orvanta_quality [--seconds S] [--sizes WxH,...] [--scenarios a,b,...] [--seed N]\n"
    "       [--format YUY2|I420|GRAY8] [--fps F] [--set KEY=VALUE ...]\n"
    "       [--settle S] [--json FILE]\n";

struct Options {
  RunOptions run;
  std::vector<std::pair<int, int>> sizes = {{1280, 720}, {2560, 1440}};
  std::vector<std::string> scenarios = {"quiet", "twinkle", "traffic", "rough"};
  std::string json;
};

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');)
    if (!part.empty()) parts.push_back(part);
  return parts;
}

bool Parse(int argc, char** argv, Options& o, std::string& error) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  error = tool::ReadOptions(args, {}, [&](const std::string& key, const std::string& value) {
    double d = 0;
    bool ok = true;
    if (key == "--seconds") {
      ok = tool::ParseDouble(value, d) && d > 0;
      o.run.seconds = d;
    } else if (key == "--seed") {
      ok = tool::ParseDouble(value, d) && d >= 0 && d == std::floor(d);
      o.run.seed = static_cast<uint64_t>(d);
    } else if (key == "--fps") {
      ok = tool::ParseDouble(value, d) && d > 0;
      o.run.fps = d;
    } else if (key == "--set") {
      o.run.settings.push_back(value);
    } else if (key == "--settle") {
      ok = tool::ParseDouble(value, d) && d >= 0;
      o.run.settle_seconds = d;
    } else if (key == "--format") {
      ok = skysim::ParsePixelFormat(value, o.run.format);
    } else if (key == "--scenarios") {
      o.scenarios = Split(value);
      ok = !o.scenarios.empty();
    } else if (key == "--sizes") {
      o.sizes.clear();
      for (const std::string& s : Split(value)) {
        int w = 0, h = 0;
        char tail = 0;
        ok = ok && std::sscanf(s.c_str(), "%dx%d%c", &w, &h, &tail) == 2;
        o.sizes.push_back({w, h});
      }
      ok = ok && !o.sizes.empty();
    } else if (key == "--json") {
      o.json = value;
    } else {
      return tool::UnknownOption(key);
    }
    return ok ? std::string() : "invalid value for " + key + ": " + value;
  });
  return error.empty();
}

std::string Fraction(const Tally& t) {
  return std::to_string(t.caught) + "/" + std::to_string(t.present);
}

struct Row {
  RunOptions run;
  RunResult result;
  QualityScore score;
};

void PrintHeader() {
  std::printf(
      "%-8s %-9s %5s | %-7s %-6s %-6s %-6s %-6s | %-6s %-6s %-6s | %5s %5s | %8s %9s %10s %6s | "
      "%8s\n",
      "scenario", "size", "min", "meteors", "faint", "medium", "bright", "satur.", "slow", "medium",
      "fast", "clips", "false", "aircraft", "satellite", "star/noise", "other", "core fps");
  std::printf("%-8s %-9s %5s | %-7s %-6s %-6s %-6s %-6s | %-6s %-6s %-6s | %5s %5s | %38s | %8s\n",
              "", "", "", "caught", "", "", "", "", "", "", "", "", "", "false clips per hour", "");
}

void PrintRow(const Row& r) {
  const QualityScore& s = r.score;
  char size[32];
  std::snprintf(size, sizeof size, "%dx%d", r.run.width, r.run.height);
  int false_total = 0;
  for (int c : s.false_clips) false_total += c;
  auto per_hour = [&](Cause c) { return s.hours > 0 ? s.false_clips[int(c)] / s.hours : 0.0; };
  std::printf(
      "%-8s %-9s %5.1f | %-7s %-6s %-6s %-6s %-6s | %-6s %-6s %-6s | %5d %5d | %8.1f %9.1f %10.1f "
      "%6.1f | %8.1f\n",
      r.run.scenario.c_str(), size, s.hours * 60, Fraction(s.meteors).c_str(),
      Fraction(s.by_brightness[0]).c_str(), Fraction(s.by_brightness[1]).c_str(),
      Fraction(s.by_brightness[2]).c_str(), Fraction(s.by_brightness[3]).c_str(),
      Fraction(s.by_speed[0]).c_str(), Fraction(s.by_speed[1]).c_str(),
      Fraction(s.by_speed[2]).c_str(), s.clips, false_total, per_hour(Cause::Aircraft),
      per_hour(Cause::Satellite), per_hour(Cause::StarOrNoise), per_hour(Cause::Other),
      r.result.core_seconds > 0 ? r.result.frames_processed / r.result.core_seconds : 0.0);
  std::fflush(stdout);
}

std::string TallyJson(const Tally& t) {
  return "{\"present\": " + std::to_string(t.present) +
         ", \"caught\": " + std::to_string(t.caught) + "}";
}

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", v);
  return text;
}

std::string RowJson(const Row& r) {
  const QualityScore& s = r.score;
  std::string j = "{\"scenario\": \"" + r.run.scenario +
                  "\", \"width\": " + std::to_string(r.run.width) +
                  ", \"height\": " + std::to_string(r.run.height) +
                  ", \"frames\": " + std::to_string(r.result.truth.frames) +
                  ", \"minutes\": " + Num(s.hours * 60) + ", \"meteors\": " + TallyJson(s.meteors) +
                  ", \"by_brightness\": {";
  for (int c = 0; c < kBrightnessClasses; ++c)
    j += std::string(c ? ", " : "") + "\"" + BrightnessClassName(c) +
         "\": " + TallyJson(s.by_brightness[c]);
  j += "}, \"by_speed\": {";
  for (int c = 0; c < kSpeedClasses; ++c)
    j += std::string(c ? ", " : "") + "\"" + SpeedClassName(c) + "\": " + TallyJson(s.by_speed[c]);
  j += "}, \"clips\": " + std::to_string(s.clips) +
       ", \"meteor_clips\": " + std::to_string(s.meteor_clips) + ", \"false_clips\": {";
  for (int c = 0; c < kCauses; ++c)
    j += std::string(c ? ", " : "") + "\"" + CauseName(Cause(c)) +
         "\": " + std::to_string(s.false_clips[c]);
  j += "}, \"false_clips_per_hour\": {";
  for (int c = 0; c < kCauses; ++c)
    j += std::string(c ? ", " : "") + "\"" + CauseName(Cause(c)) +
         "\": " + Num(s.hours > 0 ? s.false_clips[c] / s.hours : 0);
  const RunResult& x = r.result;
  j +=
      "}, \"core_fps\": " + Num(x.core_seconds > 0 ? x.frames_processed / x.core_seconds : 0) +
      ", \"render_fps\": " + Num(x.render_seconds > 0 ? x.frames_processed / x.render_seconds : 0) +
      ", \"frames_processed\": " + std::to_string(x.frames_processed) +
      ", \"final_dlev\": " + std::to_string(x.final_dlev) +
      ", \"deliver_errors\": " + std::to_string(x.deliver_errors) + ", \"clip_list\": [";
  for (size_t i = 0; i < x.clips.size(); ++i) {
    const ClipRecord& c = x.clips[i];
    const int cause = s.clip_cause[i];
    j += std::string(i ? ", " : "") + "{\"trigger_frame\": " + std::to_string(c.trigger_frame) +
         ", \"first_frame\": " + std::to_string(c.first_frame) +
         ", \"last_frame\": " + std::to_string(c.last_frame) +
         ", \"end_status\": " + std::to_string(c.end_status) + ", \"cause\": \"" +
         (cause < 0 ? "meteor" : CauseName(Cause(cause))) +
         "\", \"trigger_hits\": " + std::to_string(c.trigger_hits.size()) + "}";
  }
  return j + "]}";
}

int Main(int argc, char** argv) {
  Options o;
  std::string error;
  if (!Parse(argc, argv, o, error)) {
    std::fprintf(stderr, "orvanta_quality: %s\n%s", error.c_str(), kUsage);
    return 1;
  }
  std::string changed, listed;
  for (const std::string& s : o.run.settings) {
    changed += " " + s;
    listed += (listed.empty() ? "\"" : ", \"") + s + "\"";
  }
  std::printf("settings: %s; %s, %.6g fps, %.6g s per run, seed %llu\n",
              changed.empty() ? "defaults" : ("defaults but" + changed).c_str(),
              Info(o.run.format).raw_caps, o.run.fps, o.run.seconds,
              static_cast<unsigned long long>(o.run.seed));
  PrintHeader();
  std::vector<Row> rows;
  for (const auto& [w, h] : o.sizes) {
    for (const std::string& scenario : o.scenarios) {
      Row row;
      row.run = o.run;
      row.run.width = w;
      row.run.height = h;
      row.run.scenario = scenario;
      row.result = RunScenario(row.run);
      if (!row.result.error.empty()) {
        std::fprintf(stderr, "orvanta_quality: %s %dx%d: %s\n", scenario.c_str(), w, h,
                     row.result.error.c_str());
        return 1;
      }
      row.score = Score(row.result.truth, row.result.clips);
      PrintRow(row);
      rows.push_back(std::move(row));
    }
  }
  if (!o.json.empty()) {
    std::ofstream out(o.json, std::ios::trunc);
    out << "{\"format\": \"" << Info(o.run.format).raw_caps << "\", \"fps\": " << o.run.fps
        << ", \"seed\": " << o.run.seed << ", \"settings\": [" << listed << "], \"runs\": [\n";
    for (size_t i = 0; i < rows.size(); ++i) out << (i ? ",\n" : "") << RowJson(rows[i]);
    out << "\n]}\n";
    out.close();
    if (!out) {
      std::fprintf(stderr, "orvanta_quality: cannot write %s\n", o.json.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace
}  // namespace orvanta::quality

int main(int argc, char** argv) {
  return orvanta::quality::Main(argc, argv);
}
