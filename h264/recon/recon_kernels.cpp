#include "h264/recon/recon_kernels.h"

#include "h264/recon/deinterlace.h"
#include "h264/recon/portable_kernels.h"

void decoder_recon_kernels_portable(ReconKernels* kernels) {
  *kernels = ReconKernels{};
  decoder_install_portable_transforms(kernels);
  decoder_install_portable_intra(kernels);
  decoder_install_portable_deblock(kernels);
  decoder_install_portable_strengths(kernels);
  decoder_install_portable_inter(kernels);
  kernels->deinterlace_line = deinterlace_line_portable;
}
