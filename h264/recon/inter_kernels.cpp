// Inter kernels: the residual addition of one quadrant of an inter macroblock.
#include "h264/recon/portable_kernels.h"
#include "h264/recon/recon_tables.h"

namespace {

void add_residual(uint8_t* dst, const int16_t* residual, int size) {
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      dst[8 * y + x] = clip_pixel(dst[8 * y + x] + residual[8 * y + x]);
}

void combine(MbWorkArea* wa, int quadrant) {
  if ((wa->coded_block_pattern >> quadrant) & 1)
    add_residual(wa->luma + 64 * quadrant, wa->residual + 64 * quadrant, 8);
  if (wa->coded_block_pattern >> 4) {
    const int offset = decoder_chroma4x4_offset[quadrant];
    add_residual(wa->cb + offset, wa->residual + kResidualCb + offset, 4);
    add_residual(wa->cr + offset, wa->residual + kResidualCr + offset, 4);
  }
}

}  // namespace

void decoder_install_portable_inter(ReconKernels* kernels) {
  kernels->combine = combine;
}
