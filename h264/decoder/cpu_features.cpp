#include "h264/decoder/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define SCOPEMARK_HAS_CPUID 1
#endif

uint32_t cpu_feature_mask_from_edx(uint32_t edx) {
  uint32_t mask = 0;
  if (edx & (1u << 23)) mask |= CPU_MMX;
  if (edx & (1u << 15)) mask |= CPU_CMOV;
  if (edx & (1u << 25)) mask |= CPU_SSE;
  if (edx & (1u << 26)) mask |= CPU_SSE2;
  return mask;
}

uint32_t cpu_level_from_mask(uint32_t mask) {
  if (!(mask & CPU_MMX)) return 0;
  if (!(mask & CPU_CMOV)) return 1;
  if (!(mask & CPU_SSE)) return 2;
  if (!(mask & CPU_SSE2)) return 3;
  return 4;
}

#ifdef SCOPEMARK_HAS_CPUID
uint32_t decoder_cpu_feature_mask() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
  return cpu_feature_mask_from_edx(edx);
}

uint32_t decoder_cpu_level() {
  return cpu_level_from_mask(decoder_cpu_feature_mask());
}
#else
uint32_t decoder_cpu_feature_mask() {
  return 0;
}

uint32_t decoder_cpu_level() {
  return 2;
}
#endif
