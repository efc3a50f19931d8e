// The per-pixel loops for any x86-64 CPU.
#define KERNEL_NS baseline
#define KERNEL_NAME "baseline"
#include "detectfilter/core/pixel_kernels.inc"

namespace orvanta::detect {
const KernelSet& BaselineKernels() {
  return baseline::kKernelSet;
}
}  // namespace orvanta::detect
