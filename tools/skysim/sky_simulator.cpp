#include "tools/skysim/sky_simulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/skysim/sky_draw.h"
#include "tools/skysim/sky_plan.h"

namespace orvanta::skysim {

namespace {
constexpr int kNoiseBits = 20;  // noise table of 2^20 deviates, longer than any row
constexpr uint64_t kNoiseStream = 100;
constexpr uint64_t kFrameStream = 1000;

bool Even(int v) {
  return v % 2 == 0;
}
}  // namespace

bool ParsePixelFormat(std::string_view name, PixelFormat& format) {
  for (PixelFormat f : {PixelFormat::YUY2, PixelFormat::I420, PixelFormat::Y800}) {
    if (name == Info(f).raw_caps) {
      format = f;
      return true;
    }
  }
  return false;
}

std::unique_ptr<SkySimulator> SkySimulator::Create(const SkyConfig& config, std::string& error) {
  if (config.width < 16 || config.height < 16 || config.width > 8192 || config.height > 8192 ||
      !Even(config.width) || !Even(config.height)) {
    error = "frame size must be even and between 16 and 8192 pixels each way";
    return nullptr;
  }
  if (!std::isfinite(config.fps) || config.fps <= 0.0 || config.fps > 1000.0) {
    error = "frame rate must be above 0 and at most 1000";
    return nullptr;
  }
  if (config.frames < 1) {
    error = "the video must hold at least one frame";
    return nullptr;
  }
  if (!std::isfinite(config.settle_seconds) || config.settle_seconds < 0.0) {
    error = "settle time must not be negative";
    return nullptr;
  }
  const SkyScenario* scenario = FindScenario(config.scenario);
  if (!scenario) {
    error = "unknown scenario \"" + config.scenario + "\" (known:";
    for (const auto& s : Scenarios()) error += " " + s.name;
    error += ")";
    return nullptr;
  }
  std::unique_ptr<SkySimulator> sim(new SkySimulator(config, *scenario));
  sim->Build();
  return sim;
}

SkySimulator::SkySimulator(const SkyConfig& config, const SkyScenario& scenario)
    : config_(config), scenario_(scenario) {}

SkySimulator::~SkySimulator() = default;

void SkySimulator::Build() {
  const int w = config_.width, h = config_.height;
  plan_ = std::make_unique<SkyPlan>(
      PlanSky(scenario_, w, h, config_.fps, config_.frames, config_.seed, config_.settle_seconds));
  truth_ = TruthOf(*plan_, w, h, config_.fps, config_.frames);

  // Darker towards the zenith at the top, a little vignetting towards the corners.
  base_.resize(static_cast<size_t>(w) * h);
  const double hw = w / 2.0, hh = h / 2.0;
  for (int y = 0; y < h; ++y) {
    const double level = scenario_.background + scenario_.gradient * (double(y) / (h - 1) - 0.5);
    for (int x = 0; x < w; ++x) {
      const double rr = ((x - hw) * (x - hw) + (y - hh) * (y - hh)) / (hw * hw + hh * hh);
      base_[static_cast<size_t>(y) * w + x] = static_cast<float>(level * (1.0 - 0.12 * rr));
    }
  }
  work_.resize(base_.size());
  luma_.resize(base_.size());

  SkyRandom noise_rng(MixSeed(config_.seed, kNoiseStream));
  noise_.resize(size_t{1} << kNoiseBits);
  for (float& n : noise_) n = static_cast<float>(noise_rng.Normal());
}

void SkySimulator::DrawFrame(int index) {
  const SkyPlan& plan = *plan_;
  const int w = config_.width, h = config_.height;
  const double t = index / config_.fps;
  float offset = static_cast<float>(scenario_.drift_per_minute * t / 60.0);
  for (const Body& j : plan.jumps)
    if (index >= j.first_frame && index <= j.last_frame) offset += static_cast<float>(j.peak);
  for (size_t i = 0; i < work_.size(); ++i) work_[i] = base_[i] + offset;
  const SignalImage img{work_.data(), w, h};

  std::vector<const Body*> clouds;
  for (const Body& b : plan.bodies)
    if (b.kind == EventKind::Cloud && index >= b.first_frame && index <= b.last_frame)
      clouds.push_back(&b);

  // Stars turn about the pole with the sky and twinkle independently each frame.
  SkyRandom rng(MixSeed(config_.seed, kFrameStream, static_cast<uint64_t>(index)));
  const double turn = plan.rotation_sign * kSiderealRate * t;
  for (const Star& s : plan.stars) {
    const double g = rng.Normal();
    const double x = plan.pole_x + s.radius * std::cos(s.angle + turn);
    const double y = plan.pole_y + s.radius * std::sin(s.angle + turn);
    if (x < -20 || y < -20 || x > w + 20 || y > h + 20) continue;
    double amp = s.amp * std::exp(s.twinkle * g - 0.5 * s.twinkle * s.twinkle);
    for (const Body* c : clouds) {
      const int k = index - c->first_frame;
      const double dx = x - (c->x0 + c->vx * k), dy = y - (c->y0 + c->vy * k);
      amp *= 1.0 - (1.0 - c->transmission) * CloudShare(dx * dx + dy * dy, c->cloud_radius);
    }
    AddStar(img, x, y, amp, kPsfSigma);
  }

  for (const Body& b : plan.bodies) {
    if (index < b.first_frame || index > b.last_frame) continue;
    const int k = index - b.first_frame;
    const double xa = b.x0 + b.vx * k, ya = b.y0 + b.vy * k;  // exposure start
    const double xb = xa + b.vx, yb = ya + b.vy;              // exposure end
    switch (b.kind) {
      case EventKind::Meteor: {
        const double n = b.last_frame - b.first_frame + 1;
        AddStreak(img, xa, ya, b.peak * MeteorProfile(k / n, b.rise), xb, yb,
                  b.peak * MeteorProfile((k + 1) / n, b.rise), kPsfSigma);
        break;
      }
      case EventKind::Aircraft: {
        const double speed = std::hypot(b.vx, b.vy);
        const double px = -b.vy / speed * b.wing_span / 2, py = b.vx / speed * b.wing_span / 2;
        AddStreak(img, xa + px, ya + py, b.light_amp, xb + px, yb + py, b.light_amp, kPsfSigma);
        AddStreak(img, xa - px, ya - py, b.light_amp, xb - px, yb - py, b.light_amp, kPsfSigma);
        if ((k + b.strobe_phase) % b.strobe_period == 0)
          AddStar(img, (xa + xb) / 2, (ya + yb) / 2, b.peak, kPsfSigma);
        break;
      }
      case EventKind::Satellite: {
        const double fade = std::min(
            {1.0, (k + 1.0) / b.fade_frames, (b.last_frame - index + 1.0) / b.fade_frames});
        AddStreak(img, xa, ya, b.peak * fade, xb, yb, b.peak * fade, kPsfSigma);
        break;
      }
      case EventKind::Cloud:
        AddCloudGlow(img, xa, ya, b.cloud_radius, b.glow);
        break;
      default:
        break;
    }
  }
}

const uint8_t* SkySimulator::Luma(int index) {
  index = std::clamp(index, 0, config_.frames - 1);
  const int source = plan_->source[index];
  if (luma_frame_ != source) {
    DrawFrame(source);
    const int w = config_.width, h = config_.height;
    SkyRandom rng(MixSeed(config_.seed, kFrameStream + 1, static_cast<uint64_t>(source)));
    // Each row reads its noise from a random place in the table.
    const uint64_t places = noise_.size() - static_cast<size_t>(w) + 1;
    const float read2 = static_cast<float>(scenario_.read_noise * scenario_.read_noise);
    const float gain = static_cast<float>(scenario_.shot_gain);
    for (int y = 0; y < h; ++y) {
      const float* noise = noise_.data() + rng.Next() % places;
      const float* sig = work_.data() + static_cast<size_t>(y) * w;
      uint8_t* dst = luma_.data() + static_cast<size_t>(y) * w;
      for (int x = 0; x < w; ++x) {
        const float s = sig[x];
        const float v = s + noise[x] * std::sqrt(read2 + gain * s) + 0.5f;
        dst[x] = static_cast<uint8_t>(static_cast<int>(std::clamp(v, 0.0f, 255.0f)));
      }
    }
    for (const HotPixel& p : plan_->hot_pixels) {
      if (p.lit_odds < 1.0f && rng.Uniform() >= p.lit_odds) continue;
      luma_[p.index] = static_cast<uint8_t>(std::min(255.0f, luma_[p.index] + p.level));
    }
    luma_frame_ = source;
  }
  return luma_.data();
}

void SkySimulator::RenderLuma(int index, uint8_t* out) {
  std::memcpy(out, Luma(index), luma_.size());
}

void SkySimulator::Render(int index, PixelFormat format, uint8_t* out) {
  const int w = config_.width, h = config_.height;
  const size_t pixels = static_cast<size_t>(w) * h;
  switch (format) {
    case PixelFormat::I420:
      RenderLuma(index, out);
      std::memset(out + pixels, 128,
                  static_cast<size_t>(FrameBytes(format, int64_t{w} * h)) - pixels);
      return;
    case PixelFormat::YUY2: {
      const uint8_t* luma = Luma(index);
      for (size_t i = 0; i < pixels; ++i) {
        out[2 * i] = luma[i];
        out[2 * i + 1] = 128;
      }
      return;
    }
    default:  // Y800
      RenderLuma(index, out);
      return;
  }
}

}  // namespace orvanta::skysim
