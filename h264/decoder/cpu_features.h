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
