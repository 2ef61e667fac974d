#include "h264/recon/ssse3_kernels.h"

#include "h264/recon/sse2_kernels.h"

void decoder_recon_kernels_ssse3(ReconKernels* kernels) {
  decoder_recon_kernels_sse2(kernels);
  decoder_install_ssse3_inter(kernels);
  decoder_install_ssse3_intra(kernels);
}
