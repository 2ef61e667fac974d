// Installers of the portable kernel build, one per kernel family.
#pragma once

#include "h264/recon/recon_kernels.h"

void decoder_install_portable_transforms(ReconKernels* kernels);
void decoder_install_portable_intra(ReconKernels* kernels);
void decoder_install_portable_deblock(ReconKernels* kernels);
void decoder_install_portable_strengths(ReconKernels* kernels);
