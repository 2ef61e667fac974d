#include "h264/stream/cabac_neighbours.h"

CabacConds cabac_coded_block_flag_conds(int cat, int blk, uint32_t cur_flags, bool cur_intra,
                                        const MbInfo& a, const MbInfo& b) {
  const CbfNeighbourBits& bits = cabac_cbf_neighbour_bits(cat, blk);
  return {((cur_flags | cabac_cbf_neighbour_word(a, cur_intra)) >> bits.left & 1) != 0,
          ((cur_flags | cabac_cbf_neighbour_word(b, cur_intra)) >> bits.up & 1) != 0};
}
