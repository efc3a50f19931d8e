// The per-pixel loops for CPUs with AVX2 (this file is built with -mavx2; it is only called
// after the CPU has been checked).
#define KERNEL_NS avx2
#define KERNEL_NAME "avx2"
#include "detectfilter/core/pixel_kernels.inc"

namespace orvanta::detect {
const KernelSet& Avx2Kernels() {
  return avx2::kKernelSet;
}
}  // namespace orvanta::detect
