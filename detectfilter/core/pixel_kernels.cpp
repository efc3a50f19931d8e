#include "detectfilter/core/pixel_kernels.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "detectfilter/core/pixel_format.h"

namespace orvanta::detect {

PixelKind PixelKindOf(int type_index, bool red_mode) {
  switch (type_index) {
    case kTypeYUY2:
      return red_mode ? PixelKind::Yuy2Red : PixelKind::Yuy2;
    case kTypeUYVY:
      return red_mode ? PixelKind::UyvyRed : PixelKind::Uyvy;
    case kTypeRGB24:
      return PixelKind::Rgb24;
    case kTypeRGB32:
      return PixelKind::Rgb32;
    default:
      return PixelKind::Luma1;
  }
}

PeakKind PeakKindOf(int type_index) {
  switch (type_index) {
    case kTypeI420:
      return PeakKind::I420;
    case kTypeNV12:
      return PeakKind::NV12;
    case kTypeYUY2:
      return PeakKind::Yuy2;
    case kTypeUYVY:
      return PeakKind::Uyvy;
    case kTypeRGB24:
      return PeakKind::Rgb24;
    case kTypeRGB32:
      return PeakKind::Rgb32;
    default:
      return PeakKind::Luma1;
  }
}

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
