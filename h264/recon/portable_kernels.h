// Installers of the portable kernel build, one per kernel family.
#pragma once

#include "h264/recon/recon_kernels.h"

// Clip of a sample value to 0..255.
inline uint8_t clip_pixel(int v) {
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

void decoder_install_portable_inter(ReconKernels* kernels);
void decoder_install_portable_transforms(ReconKernels* kernels);
void decoder_install_portable_intra(ReconKernels* kernels);
void decoder_install_portable_deblock(ReconKernels* kernels);
void decoder_install_portable_strengths(ReconKernels* kernels);
