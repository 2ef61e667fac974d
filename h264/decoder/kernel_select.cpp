#include "h264/decoder/kernel_select.h"

#include <cstring>

#include "h264/decoder/cpu_features.h"
#include "h264/decoder/decoder_context.h"
#if SCOPEMARK_X86_KERNELS
#include "h264/recon/sse2_kernels.h"
#include "h264/recon/ssse3_kernels.h"
#endif

namespace {

constexpr const char* kBuildNames[KERNEL_BUILD_COUNT] = {"portable", "sse2", "ssse3"};

}  // namespace

KernelBuild decoder_kernel_build_for(uint32_t cpu_level, uint32_t vector_extensions) {
  if (!SCOPEMARK_X86_KERNELS || cpu_level < 4) return KERNELS_PORTABLE;
  return (vector_extensions & CPU_VEC_SSSE3) ? KERNELS_SSSE3 : KERNELS_SSE2;
}

KernelBuild decoder_kernel_build_for_level(uint32_t cpu_level) {
  return decoder_kernel_build_for(cpu_level, decoder_cpu_vector_extensions());
}

bool decoder_kernel_build_runs_here(int build) {
  return build >= 0 && build <= decoder_kernel_build_for_level(decoder_cpu_level());
}

const char* decoder_kernel_build_name(int build) {
  return build >= 0 && build < KERNEL_BUILD_COUNT ? kBuildNames[build] : nullptr;
}

int decoder_kernel_build_from_name(const char* name) {
  for (int build = 0; name && build < KERNEL_BUILD_COUNT; ++build)
    if (std::strcmp(name, kBuildNames[build]) == 0) return build;
  return -1;
}

bool decoder_fill_kernels(ReconKernels* kernels, int build) {
  if (build == KERNELS_PORTABLE) {
    decoder_recon_kernels_portable(kernels);
    return true;
  }
#if SCOPEMARK_X86_KERNELS
  if (build == KERNELS_SSE2) {
    decoder_recon_kernels_sse2(kernels);
    return true;
  }
  if (build == KERNELS_SSSE3) {
    decoder_recon_kernels_ssse3(kernels);
    return true;
  }
#endif
  return false;
}

bool decoder_select_kernels(DecoderContext* ctx, int build) {
  return ctx && decoder_fill_kernels(&ctx->kernels, build);
}
