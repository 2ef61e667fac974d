// The SSSE3 build of the reconstruction kernels: the SSE2 build with the slots that gain from
// SSSE3's byte multiply-add and byte shuffle replaced. Built with -mssse3; nothing outside these
// files may inline their code.
#pragma once

#include "h264/recon/recon_kernels.h"

// Fills every slot with the SSSE3 build; only for processors that have SSSE3.
void decoder_recon_kernels_ssse3(ReconKernels* kernels);

// Installers of the SSSE3 build, one per kernel family.
void decoder_install_ssse3_inter(ReconKernels* kernels);
void decoder_install_ssse3_intra(ReconKernels* kernels);
