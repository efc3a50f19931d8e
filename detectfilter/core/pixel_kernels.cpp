#include "detectfilter/core/pixel_kernels.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace orvanta::detect {

void GrowCandidates(CandidateList& list) {
  size_t capacity = list.capacity ? list.capacity * 2 : 4096;
  auto* data = static_cast<Candidate*>(std::realloc(list.data, capacity * sizeof(Candidate)));
  if (data == nullptr) throw std::bad_alloc();
  list.data = data;
  list.capacity = capacity;
}

void StarBandRowsFull(const StarMaskArgs& a, int band, int& first, int& last) {
  first = band * a.rows_per_band + 2;
  last = band * a.rows_per_band + a.rows_per_band + 2;
  if (last > a.cy - 2) last = a.cy - 2;
}

void StarBandRowsHalf(const StarMaskArgs& a, int band, int& first, int& last) {
  first = band * a.rows_per_band + 1;
  last = band * a.rows_per_band + a.rows_per_band + 1;
  if (last > a.cy / 2 - 1) last = a.cy / 2 - 1;
}

const KernelSet& Kernels() {
  static const KernelSet& chosen = []() -> const KernelSet& {
    const char* force = std::getenv("ORVANTA_KERNELS");
    if (force != nullptr && std::strcmp(force, "baseline") == 0) return BaselineKernels();
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? Avx2Kernels() : BaselineKernels();
  }();
  return chosen;
}

}  // namespace orvanta::detect
