// Drawing light into a floating-point signal image (DN above nothing).
#pragma once

namespace orvanta::skysim {

struct SignalImage {
  float* data;
  int width;
  int height;
};

// A point source with a Gaussian spread of `sigma` pixels and peak `amp`.
void AddStar(SignalImage img, double x, double y, double amp, double sigma);

// A source moving from (x0, y0) to (x1, y1) during the exposure: a streak
// whose centre line brightness goes from a0 to a1, `sigma` pixels wide.
void AddStreak(SignalImage img, double x0, double y0, double a0, double x1, double y1, double a1,
               double sigma);

// Share of a cloud's full effect at squared distance d2 from its centre,
// for a cloud of radius r: 1 at the centre, fading smoothly beyond r.
double CloudShare(double d2, double r);

// The sky glow of a cloud, `glow` DN at its centre.
void AddCloudGlow(SignalImage img, double cx, double cy, double r, double glow);

}  // namespace orvanta::skysim
