// Processor features that choose the kernel build.
#pragma once

#include <cstdint>

constexpr uint32_t CPU_MMX = 1u << 0;
constexpr uint32_t CPU_SSE = 1u << 1;
constexpr uint32_t CPU_SSE2 = 1u << 2;
constexpr uint32_t CPU_3DNOW = 1u << 3;
constexpr uint32_t CPU_SSE3 = 1u << 4;
constexpr uint32_t CPU_SSSE3 = 1u << 5;
constexpr uint32_t CPU_SSE41 = 1u << 6;
constexpr uint32_t CPU_SSE42 = 1u << 7;
constexpr uint32_t CPU_CMOV = 1u << 8;

// Builds the mask from the standard feature word (EDX of leaf 1).
uint32_t cpu_feature_mask_from_edx(uint32_t edx);

// 0 without MMX, 1 without CMOV, 2 without SSE, 3 without SSE2, 4 otherwise.
uint32_t cpu_level_from_mask(uint32_t mask);

// This processor's mask; 0 where there is no processor identification instruction.
uint32_t decoder_cpu_feature_mask();

// This processor's level; the portable build (level 2) where there is no identification.
uint32_t decoder_cpu_level();

// Vector extensions beyond SSE2 that pick a better kernel build. They stay out of the reported
// feature mask, whose extension bits are never set.
constexpr uint32_t CPU_VEC_SSSE3 = 1u << 0;
constexpr uint32_t CPU_VEC_AVX = 1u << 1;  // AVX with its register state saved by the system
constexpr uint32_t CPU_VEC_AVX2 = 1u << 2;

// Processor identification words that decide the vector extensions: ECX of leaf 1, EBX of leaf 7
// sub-leaf 0 (0 when the processor has no leaf 7) and XCR0 (0 when ECX lacks OSXSAVE, since XGETBV
// then faults).
struct CpuIdWords {
  uint32_t leaf1_ecx;
  uint32_t leaf7_ebx;
  uint64_t xcr0;
};

uint32_t cpu_vector_extensions_from(const CpuIdWords& words);

// This processor's vector extensions; 0 where there is no identification.
uint32_t decoder_cpu_vector_extensions();
