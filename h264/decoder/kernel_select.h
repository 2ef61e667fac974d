// Choice of the reconstruction kernel build of a decoder instance (internal to the decoder, its
// tests and tools).
#pragma once

#include <cstdint>

#include "h264/recon/recon_kernels.h"

struct DecoderContext;

enum KernelBuild : int {
  KERNELS_PORTABLE = 0,
  KERNELS_SSE2 = 1,
};

// SCOPEMARK_X86_KERNELS (1 on x86 targets, 0 elsewhere) says whether the SSE2 build exists.
#ifndef SCOPEMARK_X86_KERNELS
#define SCOPEMARK_X86_KERNELS 0
#endif

// The build that decoder_create installs for a processor of this cpu level: the portable build
// where the SSE2 build does not exist.
KernelBuild decoder_kernel_build_for_level(uint32_t cpu_level);

// Fills every slot, the de-interlacing line included, with the given build; false (table
// untouched) for an unknown build or one this target lacks.
bool decoder_fill_kernels(ReconKernels* kernels, int build);

// Replaces the instance's kernel table; call before the first decoder_decode. False for a null
// instance or an unknown build.
bool decoder_select_kernels(DecoderContext* ctx, int build);
