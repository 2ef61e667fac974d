#include "h264/decoder/kernel_select.h"

#include "h264/decoder/decoder_context.h"
#if SCOPEMARK_X86_KERNELS
#include "h264/recon/sse2_kernels.h"
#endif

KernelBuild decoder_kernel_build_for_level(uint32_t cpu_level) {
  return SCOPEMARK_X86_KERNELS && cpu_level >= 4 ? KERNELS_SSE2 : KERNELS_PORTABLE;
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
#endif
  return false;
}

bool decoder_select_kernels(DecoderContext* ctx, int build) {
  return ctx && decoder_fill_kernels(&ctx->kernels, build);
}
