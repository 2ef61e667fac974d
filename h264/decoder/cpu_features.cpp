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

uint32_t cpu_vector_extensions_from(const CpuIdWords& words) {
  constexpr uint32_t kSsse3 = 1u << 9, kOsxsave = 1u << 27, kAvx = 1u << 28;  // leaf 1 ECX
  constexpr uint32_t kAvx2 = 1u << 5;                                         // leaf 7 EBX
  constexpr uint64_t kXmmYmmState = 0x6;                                      // XCR0 bits 1, 2
  uint32_t ext = 0;
  if (words.leaf1_ecx & kSsse3) ext |= CPU_VEC_SSSE3;
  // VEX-encoded code needs the processor's AVX and the system saving the YMM state.
  const bool avx = (words.leaf1_ecx & kOsxsave) && (words.leaf1_ecx & kAvx) &&
                   (words.xcr0 & kXmmYmmState) == kXmmYmmState;
  if (avx) ext |= CPU_VEC_AVX;
  if (avx && (words.leaf7_ebx & kAvx2)) ext |= CPU_VEC_AVX2;
  return ext;
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

uint32_t decoder_cpu_vector_extensions() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
  CpuIdWords words{ecx, 0, 0};
  if (__get_cpuid_max(0, nullptr) >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    words.leaf7_ebx = ebx;
  }
  if (words.leaf1_ecx & (1u << 27)) {  // OSXSAVE: XGETBV is allowed
    uint32_t lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    words.xcr0 = (static_cast<uint64_t>(hi) << 32) | lo;
  }
  return cpu_vector_extensions_from(words);
}
#else
uint32_t decoder_cpu_feature_mask() {
  return 0;
}

uint32_t decoder_cpu_level() {
  return 2;
}

uint32_t decoder_cpu_vector_extensions() {
  return 0;
}
#endif
