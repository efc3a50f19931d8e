#include "tools/skysim/sky_simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace orvanta::skysim {
namespace {

std::unique_ptr<SkySimulator> Make(const SkyConfig& config) {
  std::string error;
  auto sim = SkySimulator::Create(config, error);
  EXPECT_TRUE(sim) << error;
  return sim;
}

SkyConfig Small(const std::string& scenario, double seconds = 120.0, uint64_t seed = 7) {
  SkyConfig c;
  c.width = 320;
  c.height = 180;
  c.fps = 30.0;
  c.frames = static_cast<int>(seconds * c.fps);
  c.seed = seed;
  c.scenario = scenario;
  return c;
}

std::vector<uint8_t> Luma(SkySimulator& sim, int frame) {
  std::vector<uint8_t> out(static_cast<size_t>(sim.config().width) * sim.config().height);
  sim.RenderLuma(frame, out.data());
  return out;
}

double Mean(const std::vector<uint8_t>& v) {
  double sum = 0;
  for (uint8_t b : v) sum += b;
  return sum / v.size();
}

const SkyEvent* FirstOf(const SkyTruth& truth, EventKind kind) {
  for (const auto& e : truth.events)
    if (e.kind == kind) return &e;
  return nullptr;
}

TEST(SkySimulator, SameSeedSameSkyOtherSeedOtherSky) {
  auto a = Make(Small("traffic", 60.0, 11));
  auto b = Make(Small("traffic", 60.0, 11));
  auto c = Make(Small("traffic", 60.0, 12));
  EXPECT_EQ(TruthToJson(a->truth()), TruthToJson(b->truth()));
  EXPECT_NE(TruthToJson(a->truth()), TruthToJson(c->truth()));
  // Out of order on purpose: a frame depends on nothing rendered before it.
  for (int frame : {1500, 3, 1200}) {
    SCOPED_TRACE(frame);
    const auto fa = Luma(*a, frame);
    EXPECT_EQ(fa, Luma(*b, frame));
    EXPECT_NE(fa, Luma(*c, frame));
  }
  EXPECT_NE(Luma(*a, 400), Luma(*a, 401)) << "noise and twinkle change every frame";
}

TEST(SkySimulator, FormatsCarryTheSameBrightness) {
  SkyConfig config = Small("quiet", 1.0);
  config.width = 34;  // rows not a multiple of 4 bytes
  config.height = 22;
  auto sim = Make(config);
  const auto luma = Luma(*sim, 5);
  const size_t pixels = luma.size();
  struct Case {
    PixelFormat format;
    size_t bytes;
  } cases[] = {{PixelFormat::Y800, pixels},
               {PixelFormat::I420, pixels + 2 * 17 * 11},
               {PixelFormat::YUY2, pixels * 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(Info(c.format).name);
    ASSERT_EQ(static_cast<size_t>(FrameBytes(c.format, 34 * 22)), c.bytes);
    std::vector<uint8_t> frame(c.bytes + 1, 0xEE);  // one guard byte
    sim->Render(5, c.format, frame.data());
    EXPECT_EQ(frame.back(), 0xEE);
    for (size_t i = 0; i < pixels; ++i) {
      const bool yuy2 = c.format == PixelFormat::YUY2;
      ASSERT_EQ(frame[yuy2 ? 2 * i : i], luma[i]) << i;
      if (yuy2) {
        ASSERT_EQ(frame[2 * i + 1], 128) << i;
      }
    }
    if (c.format == PixelFormat::I420) {
      EXPECT_TRUE(
          std::all_of(frame.begin() + pixels, frame.end() - 1, [](uint8_t b) { return b == 128; }));
    }
  }
}

TEST(SkySimulator, ScenariosHoldTheirEvents) {
  struct Case {
    const char* scenario;
    std::set<EventKind> present;
    std::set<EventKind> absent;
  } cases[] = {
      {"quiet",
       {EventKind::Meteor},
       {EventKind::Aircraft, EventKind::Satellite, EventKind::Repeat, EventKind::Jump,
        EventKind::Cloud}},
      {"twinkle", {EventKind::Meteor}, {EventKind::Aircraft, EventKind::Repeat}},
      {"traffic",
       {EventKind::Meteor, EventKind::Aircraft, EventKind::Satellite},
       {EventKind::Repeat, EventKind::Jump}},
      {"rough",
       {EventKind::Meteor, EventKind::Repeat, EventKind::Jump, EventKind::Cloud},
       {EventKind::Aircraft}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    const SkyConfig config = Small(c.scenario, 240.0);
    auto sim = Make(config);
    const SkyTruth& truth = sim->truth();
    EXPECT_EQ(truth.frames, config.frames);
    std::set<EventKind> kinds;
    int last_start = 0;
    for (const SkyEvent& e : truth.events) {
      kinds.insert(e.kind);
      EXPECT_GE(e.first_frame, last_start) << "events in order of their first frame";
      last_start = e.first_frame;
      EXPECT_GE(e.first_frame, config.settle_seconds * config.fps);
      EXPECT_LE(e.first_frame, e.last_frame);
      EXPECT_LT(e.last_frame, config.frames);
      const bool still = e.kind == EventKind::Repeat || e.kind == EventKind::Jump;
      EXPECT_EQ(e.path.size(), still ? 0u : size_t(e.last_frame - e.first_frame + 1));
      if (e.kind == EventKind::Meteor) {
        EXPECT_GE(e.speed, 3.0);
        EXPECT_LE(e.speed, 100.0);
        EXPECT_GT(e.peak, 0.0);
        for (const PathPoint& p : e.path) {
          EXPECT_GE(p.x, 0.0);
          EXPECT_LT(p.x, config.width);
          EXPECT_GE(p.y, 0.0);
          EXPECT_LT(p.y, config.height);
        }
      }
    }
    for (EventKind k : c.present) EXPECT_TRUE(kinds.count(k)) << EventKindName(k);
    for (EventKind k : c.absent) EXPECT_FALSE(kinds.count(k)) << EventKindName(k);
  }
}

TEST(SkySimulator, MeteorBrightensItsPathByItsPeak) {
  auto sim = Make(Small("quiet", 240.0));
  int checked = 0;
  for (const SkyEvent& e : sim->truth().events) {
    if (e.kind != EventKind::Meteor || e.peak < 30 || e.peak > 150 || e.speed > 30) continue;
    SCOPED_TRACE(e.first_frame);
    // The brightest spot near the path over the meteor's life, against the
    // same spots one second before it.
    const int w = sim->config().width, h = sim->config().height;
    double rise = 0.0;
    for (int f = e.first_frame; f <= e.last_frame; ++f) {
      const auto now = Luma(*sim, f);
      const auto before = Luma(*sim, f - 30);
      const PathPoint p = e.path[f - e.first_frame];
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int x = std::clamp(int(p.x) + dx, 0, w - 1),
                    y = std::clamp(int(p.y) + dy, 0, h - 1);
          rise = std::max(rise, double(now[y * w + x]) - before[y * w + x]);
        }
    }
    EXPECT_GT(rise, 0.6 * e.peak);
    EXPECT_LT(rise, e.peak + 25.0);
    if (++checked == 3) break;
  }
  EXPECT_GT(checked, 0);
}

TEST(SkySimulator, RepeatedFramesAndJumps) {
  auto sim = Make(Small("rough", 240.0));
  const SkyEvent* repeat = FirstOf(sim->truth(), EventKind::Repeat);
  ASSERT_TRUE(repeat);
  const int f = repeat->first_frame;
  EXPECT_EQ(Luma(*sim, f), Luma(*sim, f - 1));
  EXPECT_NE(Luma(*sim, f + 1), Luma(*sim, f));

  const SkyEvent* jump = FirstOf(sim->truth(), EventKind::Jump);
  ASSERT_TRUE(jump);
  const double step = Mean(Luma(*sim, jump->first_frame)) - Mean(Luma(*sim, jump->first_frame - 1));
  EXPECT_NEAR(step, jump->peak, 2.0);
  const double back = Mean(Luma(*sim, jump->last_frame + 1)) - Mean(Luma(*sim, jump->last_frame));
  EXPECT_NEAR(back, -jump->peak, 2.0);
}

TEST(SkySimulator, SkyIsDarkAndNoisy) {
  auto sim = Make(Small("quiet", 2.0));
  const auto a = Luma(*sim, 10), b = Luma(*sim, 11);
  // Median brightness near the sky level; frame-to-frame differences of
  // about sqrt(2) x the sensor noise (read noise and shot noise of the sky).
  auto sorted = a;
  std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
  const double median = sorted[sorted.size() / 2];
  EXPECT_NEAR(median, sim->scenario().background, 3.0);
  double sum2 = 0;
  for (size_t i = 0; i < a.size(); ++i) sum2 += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  const double sigma = std::sqrt(sum2 / a.size() / 2);
  const auto& s = sim->scenario();
  const double expected = std::sqrt(s.read_noise * s.read_noise + s.shot_gain * s.background);
  EXPECT_NEAR(sigma, expected, 0.25 * expected);
}

TEST(SkySimulator, RefusesUnusableConfigurations) {
  struct Case {
    const char* what;
    SkyConfig config;
    const char* error;
  };
  auto with = [](auto change) {
    SkyConfig c;
    change(c);
    return c;
  };
  const Case cases[] = {
      {"odd width", with([](SkyConfig& c) { c.width = 321; }), "even"},
      {"too small", with([](SkyConfig& c) { c.height = 8; }), "between"},
      {"no frame rate", with([](SkyConfig& c) { c.fps = 0.0; }), "frame rate"},
      {"frame rate NaN", with([](SkyConfig& c) { c.fps = std::nan(""); }), "frame rate"},
      {"no frames", with([](SkyConfig& c) { c.frames = 0; }), "one frame"},
      {"negative settle", with([](SkyConfig& c) { c.settle_seconds = -1; }), "settle"},
      {"scenario", with([](SkyConfig& c) { c.scenario = "foggy"; }), "unknown scenario \"foggy\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_FALSE(SkySimulator::Create(c.config, error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
  PixelFormat format;
  EXPECT_FALSE(ParsePixelFormat("NV12", format));
  EXPECT_FALSE(ParsePixelFormat("Y800", format));  // GStreamer's name, as the tool takes it
  ASSERT_TRUE(ParsePixelFormat("GRAY8", format));
  EXPECT_EQ(format, PixelFormat::Y800);
  ASSERT_TRUE(ParsePixelFormat("I420", format));
  EXPECT_EQ(format, PixelFormat::I420);
}

}  // namespace
}  // namespace orvanta::skysim
