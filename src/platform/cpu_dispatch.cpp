#include "platform/cpu_dispatch.h"

namespace qm {

bool CpuSupports(CpuFeature feature) {
#ifdef QM_X86
  // Dispatch may run while static objects are constructed, before the compiler's own
  // initialisation of the processor model.
  __builtin_cpu_init();
  switch (feature) {
    case CpuFeature::kNone:
      return true;
    case CpuFeature::kSse2:
      return __builtin_cpu_supports("sse2");
    case CpuFeature::kSsse3:
      return __builtin_cpu_supports("ssse3");
    case CpuFeature::kAvx2:
      return __builtin_cpu_supports("avx2");
    case CpuFeature::kAvx2Fma:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case CpuFeature::kAvx512f:
      return __builtin_cpu_supports("avx512f");
  }
  return false;
#else
  return feature == CpuFeature::kNone;
#endif
}

}  // namespace qm
