#include "tools/skysim/sky_draw.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvanta::skysim {

void AddStar(SignalImage img, double x, double y, double amp, double sigma) {
  if (amp <= 0.0) return;
  // Out to where the light falls below a tenth of a DN.
  const double reach = sigma * std::sqrt(2.0 * std::log(std::max(amp / 0.1, 1.0001)));
  const int r = std::clamp(static_cast<int>(std::ceil(reach)), 1, 16);
  const int cx = static_cast<int>(std::floor(x + 0.5)), cy = static_cast<int>(std::floor(y + 0.5));
  if (cx + r < 0 || cy + r < 0 || cx - r >= img.width || cy - r >= img.height) return;
  const double k = -0.5 / (sigma * sigma);
  float gx[33], gy[33];
  for (int i = -r; i <= r; ++i) {
    const double dx = cx + i - x, dy = cy + i - y;
    gx[i + r] = static_cast<float>(std::exp(k * dx * dx));
    gy[i + r] = static_cast<float>(amp * std::exp(k * dy * dy));
  }
  const int x_lo = std::max(0, cx - r), x_hi = std::min(img.width - 1, cx + r);
  const int y_lo = std::max(0, cy - r), y_hi = std::min(img.height - 1, cy + r);
  for (int py = y_lo; py <= y_hi; ++py) {
    float* row = img.data + static_cast<long>(py) * img.width;
    const float wy = gy[py - cy + r];
    for (int px = x_lo; px <= x_hi; ++px) row[px] += wy * gx[px - cx + r];
  }
}

void AddStreak(SignalImage img, double x0, double y0, double a0, double x1, double y1, double a1,
               double sigma) {
  const double amax = std::max(a0, a1);
  if (amax <= 0.0) return;
  const double reach = sigma * std::sqrt(2.0 * std::log(std::max(amax / 0.1, 1.0001)));
  const int x_lo = std::max(0, static_cast<int>(std::floor(std::min(x0, x1) - reach)));
  const int x_hi = std::min(img.width - 1, static_cast<int>(std::ceil(std::max(x0, x1) + reach)));
  const int y_lo = std::max(0, static_cast<int>(std::floor(std::min(y0, y1) - reach)));
  const int y_hi = std::min(img.height - 1, static_cast<int>(std::ceil(std::max(y0, y1) + reach)));
  const double ux = x1 - x0, uy = y1 - y0, len2 = ux * ux + uy * uy;
  const double k = -0.5 / (sigma * sigma);
  for (int py = y_lo; py <= y_hi; ++py) {
    float* row = img.data + static_cast<long>(py) * img.width;
    for (int px = x_lo; px <= x_hi; ++px) {
      const double wx = px - x0, wy = py - y0;
      const double t = len2 > 0.0 ? std::clamp((wx * ux + wy * uy) / len2, 0.0, 1.0) : 0.0;
      const double ex = wx - t * ux, ey = wy - t * uy;
      const double d2 = ex * ex + ey * ey;
      if (d2 > reach * reach) continue;
      row[px] += static_cast<float>((a0 + (a1 - a0) * t) * std::exp(k * d2));
    }
  }
}

double CloudShare(double d2, double r) {
  const double q = d2 / (r * r);
  return q >= 9.0 ? 0.0 : std::exp(-q);
}

void AddCloudGlow(SignalImage img, double cx, double cy, double r, double glow) {
  // The profile by squared distance, tabulated: a cloud covers many pixels.
  constexpr int kSteps = 1024;
  static thread_local std::vector<float> table;
  table.resize(kSteps + 1);
  const double reach2 = 9.0 * r * r;
  for (int i = 0; i <= kSteps; ++i)
    table[i] = static_cast<float>(glow * CloudShare(reach2 * i / kSteps, r));
  const double reach = 3.0 * r;
  const int x_lo = std::max(0, static_cast<int>(cx - reach));
  const int x_hi = std::min(img.width - 1, static_cast<int>(cx + reach));
  const int y_lo = std::max(0, static_cast<int>(cy - reach));
  const int y_hi = std::min(img.height - 1, static_cast<int>(cy + reach));
  const double scale = kSteps / reach2;
  for (int py = y_lo; py <= y_hi; ++py) {
    float* row = img.data + static_cast<long>(py) * img.width;
    const double dy2 = (py - cy) * (py - cy);
    for (int px = x_lo; px <= x_hi; ++px) {
      const double d2 = (px - cx) * (px - cx) + dy2;
      if (d2 >= reach2) continue;
      row[px] += table[static_cast<int>(d2 * scale)];
    }
  }
}

}  // namespace orvanta::skysim
