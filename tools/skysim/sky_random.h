// The simulated sky's own random numbers. The standard library's
// distributions differ between library versions, so a seed would not give the
// same sky everywhere; these generators are fixed by their code alone.
#pragma once

#include <cmath>
#include <cstdint>

namespace orvanta::skysim {

// One step of splitmix64: turns any 64-bit value into a well-mixed one.
inline uint64_t SplitMix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// A seed for an independent stream, derived from a base seed and two labels
// (say, a purpose and a frame number).
inline uint64_t MixSeed(uint64_t seed, uint64_t a, uint64_t b = 0) {
  uint64_t s = seed;
  uint64_t x = SplitMix64(s) ^ (a * 0xD1B54A32D192ED03ull);
  s = x;
  x = SplitMix64(s) ^ (b * 0xABC98388FB8FAC03ull);
  s = x;
  return SplitMix64(s);
}

// xoshiro256** with a few distributions built on it.
class SkyRandom {
 public:
  explicit SkyRandom(uint64_t seed) {
    for (auto& word : s_) word = SplitMix64(seed);
  }

  uint64_t Next() {
    const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 45);
    return result;
  }

  // Uniform in [0, 1), 53 bits.
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  // Uniform in [lo, hi] for integers; hi >= lo.
  int64_t Int(int64_t lo, int64_t hi) {
    const uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
    return lo + static_cast<int64_t>(Next() % span);
  }
  // Log-uniform in [lo, hi]; lo > 0.
  double LogUniform(double lo, double hi) { return lo * std::exp(Uniform() * std::log(hi / lo)); }
  // Standard normal (Box-Muller, the second value kept for the next call).
  double Normal() {
    if (have_spare_) {
      have_spare_ = false;
      return spare_;
    }
    double u1 = Uniform();
    while (u1 <= 0.0) u1 = Uniform();
    const double u2 = Uniform();
    const double r = std::sqrt(-2.0 * std::log(u1));
    const double a = 6.283185307179586 * u2;
    spare_ = r * std::sin(a);
    have_spare_ = true;
    return r * std::cos(a);
  }
  // Waiting time of a Poisson process with the given rate; rate > 0.
  double Exponential(double rate) { return -std::log(1.0 - Uniform()) / rate; }
  bool Chance(double p) { return Uniform() < p; }

 private:
  static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t s_[4];
  double spare_ = 0.0;
  bool have_spare_ = false;
};

}  // namespace orvanta::skysim
