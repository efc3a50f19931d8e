#include "tools/skysim/sky_plan.h"

#include <algorithm>
#include <cmath>

namespace orvanta::skysim {

namespace {
constexpr double kPi = 3.141592653589793;

// Purposes of the independent random streams drawn from one seed.
enum Stream : uint64_t {
  kStarStream = 1,
  kHotStream,
  kMeteorStream,
  kAircraftStream,
  kSatelliteStream,
  kCloudStream,
  kRepeatStream,
  kJumpStream
};

// Start frames of a Poisson process from `from` to the end of the run.
std::vector<int> Arrivals(SkyRandom& rng, double per_minute, double fps, int from, int frames) {
  std::vector<int> starts;
  if (per_minute <= 0.0) return starts;
  const double rate = per_minute / 60.0 / fps;  // per frame
  double t = from;
  while (true) {
    t += rng.Exponential(rate);
    if (t >= frames) break;
    starts.push_back(static_cast<int>(t));
  }
  return starts;
}

void PlanMeteors(const SkyScenario& sc, int w, int h, double fps, int frames, int from,
                 uint64_t seed, std::vector<Body>& bodies) {
  SkyRandom rng(MixSeed(seed, kMeteorStream));
  const double margin = 8.0;
  const double max_length = 0.8 * std::min(w, h);
  for (int start : Arrivals(rng, sc.meteors_per_minute, fps, from, frames)) {
    Body m{};
    m.kind = EventKind::Meteor;
    const double speed = rng.LogUniform(3.0, 100.0);
    int n = std::clamp(static_cast<int>(std::lround(rng.LogUniform(0.15, 1.2) * fps)), 3, 60);
    if (speed * n > max_length) n = std::max(2, static_cast<int>(max_length / speed));
    const double angle = rng.Uniform(0.0, 2.0 * kPi);
    m.vx = speed * std::cos(angle);
    m.vy = speed * std::sin(angle);
    const double dx = m.vx * n, dy = m.vy * n;
    m.x0 = dx >= 0 ? rng.Uniform(margin, w - margin - dx) : rng.Uniform(margin - dx, w - margin);
    m.y0 = dy >= 0 ? rng.Uniform(margin, h - margin - dy) : rng.Uniform(margin - dy, h - margin);
    m.peak = rng.LogUniform(12.0, 400.0);
    m.rise = rng.Uniform(0.3, 0.8);
    m.first_frame = start;
    m.last_frame = start + n - 1;
    if (m.last_frame < frames) bodies.push_back(m);
  }
}

// Frames until a body at (x, y) moving (vx, vy) leaves the picture grown by `pad`.
int FramesInside(double x, double y, double vx, double vy, int w, int h, double pad) {
  int n = 0;
  while (n < 1000000 && x >= -pad && y >= -pad && x <= w + pad && y <= h + pad) {
    x += vx;
    y += vy;
    ++n;
  }
  return n;
}

void PlanAircraft(const SkyScenario& sc, int w, int h, double fps, int frames, int from,
                  uint64_t seed, std::vector<Body>& bodies) {
  SkyRandom rng(MixSeed(seed, kAircraftStream));
  for (int start : Arrivals(rng, sc.aircraft_per_minute, fps, from, frames)) {
    Body a{};
    a.kind = EventKind::Aircraft;
    const double speed = rng.Uniform(1.0, 4.0);
    // Enter through one edge, heading inwards within 60 degrees of square on.
    const int edge = static_cast<int>(rng.Int(0, 3));
    double inward = 0.0;
    switch (edge) {
      case 0:
        a.x0 = -8.0;
        a.y0 = rng.Uniform(0, h);
        inward = 0.0;
        break;
      case 1:
        a.x0 = w + 8.0;
        a.y0 = rng.Uniform(0, h);
        inward = kPi;
        break;
      case 2:
        a.x0 = rng.Uniform(0, w);
        a.y0 = -8.0;
        inward = kPi / 2;
        break;
      default:
        a.x0 = rng.Uniform(0, w);
        a.y0 = h + 8.0;
        inward = -kPi / 2;
        break;
    }
    const double angle = inward + rng.Uniform(-kPi / 3, kPi / 3);
    a.vx = speed * std::cos(angle);
    a.vy = speed * std::sin(angle);
    a.light_amp = rng.Uniform(25.0, 80.0);
    a.peak = rng.Uniform(150.0, 240.0);
    a.wing_span = rng.Uniform(4.0, 12.0);
    a.strobe_period = std::max(2, static_cast<int>(std::lround(fps * rng.Uniform(0.9, 1.3))));
    a.strobe_phase = static_cast<int>(rng.Int(0, a.strobe_period - 1));
    a.first_frame = start;
    a.last_frame =
        std::min(frames - 1, start + FramesInside(a.x0, a.y0, a.vx, a.vy, w, h, 9.0) - 1);
    bodies.push_back(a);
  }
}

void PlanSatellites(const SkyScenario& sc, int w, int h, double fps, int frames, int from,
                    uint64_t seed, std::vector<Body>& bodies) {
  SkyRandom rng(MixSeed(seed, kSatelliteStream));
  for (int start : Arrivals(rng, sc.satellites_per_minute, fps, from, frames)) {
    Body s{};
    s.kind = EventKind::Satellite;
    const double speed = rng.Uniform(0.3, 1.6);
    const double angle = rng.Uniform(0.0, 2.0 * kPi);
    s.vx = speed * std::cos(angle);
    s.vy = speed * std::sin(angle);
    s.x0 = rng.Uniform(0.1 * w, 0.9 * w);
    s.y0 = rng.Uniform(0.1 * h, 0.9 * h);
    s.peak = rng.LogUniform(15.0, 70.0);
    s.fade_frames = std::max(1, static_cast<int>(fps));
    const int life = static_cast<int>(rng.Uniform(8.0, 30.0) * fps);
    const int inside = FramesInside(s.x0, s.y0, s.vx, s.vy, w, h, 0.0);
    s.first_frame = start;
    s.last_frame = std::min(frames - 1, start + std::min(life, inside) - 1);
    bodies.push_back(s);
  }
}

void PlanCloud(int w, int h, double fps, int frames, int from, uint64_t seed,
               std::vector<Body>& bodies) {
  SkyRandom rng(MixSeed(seed, kCloudStream));
  Body c{};
  c.kind = EventKind::Cloud;
  c.cloud_radius = rng.Uniform(0.15, 0.25) * std::min(w, h);
  c.glow = rng.Uniform(4.0, 10.0);
  c.transmission = rng.Uniform(0.2, 0.5);
  c.vx = rng.Uniform(0.8, 1.6);
  c.vy = rng.Uniform(-0.2, 0.2);
  c.x0 = -2.0 * c.cloud_radius;
  c.y0 = rng.Uniform(0.3, 0.7) * h;
  c.peak = c.glow;
  c.first_frame = from + static_cast<int>(rng.Uniform(0.0, 0.3) * std::max(0, frames - from));
  if (c.first_frame >= frames) return;
  const int crossing = static_cast<int>((w + 4.0 * c.cloud_radius) / c.vx);
  c.last_frame = std::min(frames - 1, c.first_frame + crossing);
  (void)fps;
  bodies.push_back(c);
}

}  // namespace

double MeteorProfile(double u, double rise) {
  u = std::clamp(u, 0.0, 1.0);
  const double p = u < rise ? std::pow(u / rise, 1.5) : std::pow((1.0 - u) / (1.0 - rise), 0.8);
  return std::max(p, 0.12);
}

SkyPlan PlanSky(const SkyScenario& sc, int w, int h, double fps, int frames, uint64_t seed,
                double settle_seconds) {
  SkyPlan plan;
  SkyRandom star_rng(MixSeed(seed, kStarStream));
  plan.pole_x = w * star_rng.Uniform(0.2, 0.8);
  plan.pole_y = -h * star_rng.Uniform(0.4, 1.2);
  plan.rotation_sign = star_rng.Chance(0.5) ? 1.0 : -1.0;

  // Stars over the picture and the margin they drift in from during the run.
  const double far = std::hypot(std::max(plan.pole_x, w - plan.pole_x), h - plan.pole_y);
  const double margin = 12.0 + far * kSiderealRate * frames / fps;
  const double x_lo = -margin, x_hi = w + margin, y_lo = -margin, y_hi = h + margin;
  const double area = (x_hi - x_lo) * (y_hi - y_lo);
  const int star_count = static_cast<int>(sc.stars_per_mp * area / 1e6);
  plan.stars.reserve(star_count);
  for (int i = 0; i < star_count; ++i) {
    const double x = star_rng.Uniform(x_lo, x_hi), y = star_rng.Uniform(y_lo, y_hi);
    Star s{};
    s.radius = std::hypot(x - plan.pole_x, y - plan.pole_y);
    s.angle = std::atan2(y - plan.pole_y, x - plan.pole_x);
    // Pareto brightness: many faint stars, few bright ones.
    s.amp = std::min(sc.star_max, 2.0 * std::pow(1.0 - star_rng.Uniform(), -1.0 / sc.star_slope));
    s.twinkle = sc.twinkle * star_rng.Uniform(0.6, 1.4);
    plan.stars.push_back(s);
  }

  SkyRandom hot_rng(MixSeed(seed, kHotStream));
  const int hot_count = static_cast<int>(sc.hot_pixels_per_mp * w * h / 1e6);
  for (int i = 0; i < hot_count; ++i) {
    HotPixel p{};
    p.index = static_cast<int>(hot_rng.Int(0, static_cast<int64_t>(w) * h - 1));
    p.level = static_cast<float>(hot_rng.LogUniform(15.0, 220.0));
    p.lit_odds =
        hot_rng.Chance(sc.flicker_share) ? static_cast<float>(hot_rng.Uniform(0.1, 0.4)) : 1.0f;
    plan.hot_pixels.push_back(p);
  }

  const int from = std::min(frames, static_cast<int>(std::ceil(settle_seconds * fps)));
  PlanMeteors(sc, w, h, fps, frames, from, seed, plan.bodies);
  PlanAircraft(sc, w, h, fps, frames, from, seed, plan.bodies);
  PlanSatellites(sc, w, h, fps, frames, from, seed, plan.bodies);
  if (sc.cloud) PlanCloud(w, h, fps, frames, from, seed, plan.bodies);

  plan.source.resize(frames);
  for (int f = 0; f < frames; ++f) plan.source[f] = f;
  SkyRandom repeat_rng(MixSeed(seed, kRepeatStream));
  for (int f : Arrivals(repeat_rng, sc.repeats_per_minute, fps, std::max(from, 1), frames)) {
    if (!plan.repeats.empty() && plan.repeats.back() >= f) continue;
    plan.repeats.push_back(f);
    plan.source[f] = plan.source[f - 1];
  }

  SkyRandom jump_rng(MixSeed(seed, kJumpStream));
  for (int start : Arrivals(jump_rng, sc.jumps_per_minute, fps, from, frames)) {
    Body j{};
    j.kind = EventKind::Jump;
    j.peak = jump_rng.Uniform(30.0, 60.0);
    j.first_frame = start;
    j.last_frame = std::min(frames - 1, start + static_cast<int>(jump_rng.Uniform(1.0, 3.0) * fps));
    plan.jumps.push_back(j);
  }
  return plan;
}

SkyTruth TruthOf(const SkyPlan& plan, int width, int height, double fps, int frames) {
  SkyTruth truth;
  truth.width = width;
  truth.height = height;
  truth.fps = fps;
  truth.frames = frames;
  for (const Body& b : plan.bodies) {
    SkyEvent e{b.kind, b.first_frame, b.last_frame, {}, b.peak, std::hypot(b.vx, b.vy)};
    // Moving bodies are centred on their exposure; a cloud on its position.
    const double mid = b.kind == EventKind::Cloud ? 0.0 : 0.5;
    for (int f = b.first_frame; f <= b.last_frame; ++f) {
      const double k = f - b.first_frame + mid;
      e.path.push_back({b.x0 + b.vx * k, b.y0 + b.vy * k});
    }
    if (b.kind == EventKind::Meteor) {
      const int n = b.last_frame - b.first_frame + 1;
      double best = 0.0;
      for (int k = 0; k <= n; ++k) best = std::max(best, MeteorProfile(double(k) / n, b.rise));
      e.peak = b.peak * best;
    }
    truth.events.push_back(std::move(e));
  }
  for (int f : plan.repeats) truth.events.push_back({EventKind::Repeat, f, f, {}, 0.0, 0.0});
  for (const Body& j : plan.jumps)
    truth.events.push_back({EventKind::Jump, j.first_frame, j.last_frame, {}, j.peak, 0.0});
  std::stable_sort(
      truth.events.begin(), truth.events.end(),
      [](const SkyEvent& a, const SkyEvent& b) { return a.first_frame < b.first_frame; });
  return truth;
}

}  // namespace orvanta::skysim
