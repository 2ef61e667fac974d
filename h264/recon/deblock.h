// Boundary strengths and filter thresholds of the deblocking filter (clause 8.7.2).
#pragma once

#include <cstdint>

#include "h264/recon/mb_work_area.h"
#include "h264/recon/recon_kernels.h"

// Strengths of an intra macroblock: 4 on the left edge and on the top edge (3 on the top edge of
// a field macroblock), 3 on internal edges, 0 on internal edges 1 and 3 with the 8x8 transform.
// An outer edge that is not filtered (picture border, or a slice border with
// disable_deblocking_filter_idc 2) gets 0.
void decoder_bs_intra(uint8_t* bs, bool filter_left, bool filter_top, bool field,
                      bool transform_8x8);

// Internal strengths of an inter macroblock of any partition kind: 2 where either 4x4 block has
// coefficients, else 1 where the blocks differ in reference picture or a motion vector component
// differs by 4 (vertical: mvy_limit) or more, else 0. Edges 1 and 3 are 0 with the 8x8 transform.
void decoder_bs_internal_inter(uint8_t* bs, const MbInfo* cur, const MbMotion* motion,
                               int mvy_limit);

// Clears internal edges 1 and 3 in both directions (macroblocks with the 8x8 transform).
void decoder_bs_clear_transform_8x8_edges(uint8_t* bs);

// Thresholds of one edge for one component: qPav from the QPs on both sides, indexA and indexB
// with the slice's filter offsets, tC0 per segment from the four strengths (-1 where bS is 0).
void decoder_edge_filter_params(EdgeFilterParams* e, int qp_p, int qp_q, int offset_a, int offset_b,
                                const uint8_t* bs);
