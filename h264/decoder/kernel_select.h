// Choice of the reconstruction kernel build of a decoder instance (internal to the decoder, its
// tests and tools).
#pragma once

#include <cstdint>

#include "h264/recon/recon_kernels.h"

struct DecoderContext;

enum KernelBuild : int {
  KERNELS_PORTABLE = 0,
  KERNELS_SSE2 = 1,
  KERNELS_SSSE3 = 2,
  KERNEL_BUILD_COUNT = 3,
};

// SCOPEMARK_X86_KERNELS (1 on x86 targets, 0 elsewhere) says whether the x86 builds exist.
#ifndef SCOPEMARK_X86_KERNELS
#define SCOPEMARK_X86_KERNELS 0
#endif

// The best build for a processor of this cpu level and these vector extensions
// (cpu_features.h): the portable build where the x86 builds do not exist.
KernelBuild decoder_kernel_build_for(uint32_t cpu_level, uint32_t vector_extensions);

// The build that decoder_create installs for a processor of this cpu level with this processor's
// vector extensions.
KernelBuild decoder_kernel_build_for_level(uint32_t cpu_level);

// Whether this target has the build and this processor can run it.
bool decoder_kernel_build_runs_here(int build);

// The build's name for options and reports ("portable", "sse2", "ssse3"), null for an unknown
// build; and the build of a name, -1 for an unknown name.
const char* decoder_kernel_build_name(int build);
int decoder_kernel_build_from_name(const char* name);

// Fills every slot, the de-interlacing line included, with the given build; false (table
// untouched) for an unknown build or one this target lacks.
bool decoder_fill_kernels(ReconKernels* kernels, int build);

// Replaces the instance's kernel table; call before the first decoder_decode. False for a null
// instance or an unknown build.
bool decoder_select_kernels(DecoderContext* ctx, int build);
