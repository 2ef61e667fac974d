// Boundary strengths and filter thresholds of the deblocking filter (clause 8.7.2).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "h264/recon/mb_work_area.h"
#include "h264/recon/recon_kernels.h"
#include "h264/recon/recon_tables.h"

// Strengths of an intra macroblock: 4 on the left edge and on the top edge (3 on the top edge of
// a field macroblock), 3 on internal edges, 0 on internal edges 1 and 3 with the 8x8 transform.
// An outer edge that is not filtered (picture border, or a slice border with
// disable_deblocking_filter_idc 2) gets 0.
void decoder_bs_intra(uint8_t* bs, bool filter_left, bool filter_top, bool field,
                      bool transform_8x8);

// Internal strengths of an inter macroblock of any partition kind (through the kernel): 2 where
// either 4x4 block has coefficients, else 1 where the blocks differ in reference picture or a
// motion vector component differs by 4 (vertical: mvy_limit) or more, else 0. Edges 1 and 3 are 0
// with the 8x8 transform.
void decoder_bs_internal_inter(const ReconKernels* k, uint8_t* bs, const MbInfo* cur,
                               const MbMotion* motion, int mvy_limit);

// The macroblock edges of an inter macroblock as the filter sees them.
struct InterEdgeNeighbours {
  const MbInfo* left;  // read only when filter_left is set
  const MbMotion* left_motion;
  const MbInfo* top;  // read only when filter_top is set
  const MbMotion* top_motion;
  bool filter_left;  // false in the first column and across a slice edge with idc 2
  bool filter_top;
  bool field;  // field picture: vertical vectors compared with limit 2
};

// All strengths of an inter macroblock (cur->coded_blocks must be 0 for P_Skip): 4 on an edge
// to an intra neighbour (3 on the top edge in a field picture), the edge kernels otherwise, and
// the internal edges by macroblock kind through the kernels.
void decoder_bs_inter_mb(const ReconKernels* k, uint8_t* bs, const MbInfo* cur,
                         const MbMotion* motion, const InterEdgeNeighbours* n);

// Clears internal edges 1 and 3 in both directions (macroblocks with the 8x8 transform).
void decoder_bs_clear_transform_8x8_edges(uint8_t* bs);

// Thresholds of one component for edges between two macroblocks: alpha and beta from qPav of
// their QPs and the slice's filter offsets, tC0 by strength 0..4 (-1 for strength 0). Each part
// is written in one store and the filter parameters are assembled in a register: byte stores
// read back by wider loads would stall on store forwarding.
struct EdgeThresholds {
  int32_t alpha;
  int32_t beta;
  uint8_t tc0[8];
};

inline EdgeThresholds decoder_edge_thresholds(int qp_p, int qp_q, int offset_a, int offset_b) {
  const int qpav = (qp_p + qp_q + 1) >> 1;
  const int index_a = std::clamp(qpav + offset_a, 0, 51);
  const int index_b = std::clamp(qpav + offset_b, 0, 51);
  const uint8_t* tc0 = decoder_tc0[index_a];
  const uint64_t by_bs =
      0xffu | uint64_t{tc0[0]} << 8 | uint64_t{tc0[1]} << 16 | uint64_t{tc0[2]} << 24;
  EdgeThresholds t{decoder_alpha[index_a], decoder_beta[index_b], {}};
  std::memcpy(t.tc0, &by_bs, sizeof by_bs);
  return t;
}

// The thresholds of a slice's filter offsets for every qPav (0..51): the finish step looks them
// up by the QPs on both sides of each edge.
inline constexpr int kQpavCount = 52;
inline void decoder_slice_thresholds(EdgeThresholds* by_qpav, int offset_a, int offset_b) {
  for (int qpav = 0; qpav < kQpavCount; ++qpav) {
    by_qpav[qpav] = decoder_edge_thresholds(qpav, qpav, offset_a, offset_b);
  }
}

// Filter parameters of one edge with the four segment strengths bs (each 0..4).
inline EdgeFilterParams decoder_edge_filter_params(const EdgeThresholds& t, const uint8_t* bs) {
  const uint32_t tc0 = uint32_t{t.tc0[bs[0]]} | uint32_t{t.tc0[bs[1]]} << 8 |
                       uint32_t{t.tc0[bs[2]]} << 16 | uint32_t{t.tc0[bs[3]]} << 24;
  EdgeFilterParams e{t.alpha, t.beta, {}};
  std::memcpy(e.tc0, &tc0, sizeof tc0);
  return e;
}

// What the macroblock finish step needs besides the work area.
struct MbFinishContext {
  const ReconKernels* kernels;
  uint8_t* luma;  // the macroblock's first sample in each plane of the current picture
  uint8_t* cb;
  uint8_t* cr;
  int32_t luma_stride;  // between the picture rows of the macroblock (doubled for fields)
  int32_t chroma_stride;
  int32_t disable_deblocking_filter_idc;
  const EdgeThresholds* thresholds;  // by qPav, from decoder_slice_thresholds
  MbInfo* cur;
  const MbInfo* left;  // QPs for the left and top edges; read only where their strengths
  const MbInfo* top;   // are nonzero
};

// Saves the unfiltered right column (into the work area) and bottom row (into cur) for intra
// prediction of later macroblocks, stores the macroblock into the picture and deblocks it there
// unless disable_deblocking_filter_idc is 1.
void decoder_finish_mb(const MbFinishContext* c, MbWorkArea* wa);

// Filters the edges of the macroblock stored in the picture with strengths bs, in the order of
// clause 8.7 (vertical edges left to right, then horizontal edges top to bottom); the filter
// reaches into the left and upper neighbours.
void decoder_deblock_mb(const MbFinishContext* c, const uint8_t* bs);
