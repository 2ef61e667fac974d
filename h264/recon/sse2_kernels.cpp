#include "h264/recon/sse2_kernels.h"

void decoder_recon_kernels_sse2(ReconKernels* kernels) {
  decoder_recon_kernels_portable(kernels);
  decoder_install_sse2_transforms(kernels);
  decoder_install_sse2_deblock(kernels);
  decoder_install_sse2_strengths(kernels);
  decoder_install_sse2_intra(kernels);
  decoder_install_sse2_inter(kernels);
}
