#include "h264/stream/reference_pictures.h"

#include <algorithm>

#include "h264/decoder/decoder_context.h"

namespace {

bool is_reference(const PictureStore& s) {
  return s.short_term || s.long_term;
}

uint32_t field_mask(uint32_t structure) {
  return structure == PICTURE_FRAME ? BOTH_FIELDS : structure;
}

void remove_entry(DecoderContext& ctx, uint32_t k) {
  DecodedPictureBuffer& dpb = ctx.dpb;
  ctx.stores[dpb.entries[k]].in_buffer = 0;
  for (uint32_t j = k; j + 1 < dpb.fullness; ++j) dpb.entries[j] = dpb.entries[j + 1];
  --dpb.fullness;
}

// Entries that are output and no longer references leave the buffer.
void remove_unused_entries(DecoderContext& ctx) {
  for (uint32_t k = 0; k < ctx.dpb.fullness;) {
    const PictureStore& s = ctx.stores[ctx.dpb.entries[k]];
    if (!s.output_needed && !is_reference(s)) {
      remove_entry(ctx, k);
    } else {
      ++k;
    }
  }
}

void output_pending_field(DecoderContext& ctx) {
  int32_t pending = ctx.dpb.pending_field;
  ctx.dpb.pending_field = -1;
  if (pending >= 0) output_store(ctx, pending);
}

// Outputs the waiting entry with the smallest POC; false when none waits.
bool bump(DecoderContext& ctx) {
  DecodedPictureBuffer& dpb = ctx.dpb;
  int32_t chosen = -1;
  for (uint32_t k = 0; k < dpb.fullness; ++k) {
    const PictureStore& s = ctx.stores[dpb.entries[k]];
    if (s.output_needed && (chosen < 0 || s.poc < ctx.stores[dpb.entries[chosen]].poc)) {
      chosen = static_cast<int32_t>(k);
    }
  }
  if (chosen < 0) return false;
  output_pending_field(ctx);
  int32_t store = dpb.entries[chosen];
  output_store(ctx, store);
  dpb.last_output_poc = ctx.stores[store].poc;
  if (!is_reference(ctx.stores[store])) remove_entry(ctx, static_cast<uint32_t>(chosen));
  return true;
}

// Bumps while more pictures wait for output than the stream lets a later picture precede.
void output_ordered_pictures(DecoderContext& ctx) {
  for (;;) {
    uint32_t waiting = 0;
    for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
      waiting += ctx.stores[ctx.dpb.entries[k]].output_needed;
    }
    if (waiting <= ctx.active_sps.reorder_frames || !bump(ctx)) return;
  }
}

// A picture output without being stored; a field waits for its partner.
void output_directly(DecoderContext& ctx, int32_t store) {
  const PictureStore& s = ctx.stores[store];
  if (s.fields == BOTH_FIELDS) {
    output_store(ctx, store);
    return;
  }
  output_pending_field(ctx);
  ctx.dpb.pending_field = store;
}

uint32_t current_pic_num(const DecoderContext& ctx) {
  return ctx.current_structure == PICTURE_FRAME ? ctx.current_frame_num
                                                : 2 * ctx.current_frame_num + 1;
}

void update_frame_num_wrap(DecoderContext& ctx) {
  const uint32_t frame_num = ctx.current_frame_num;
  for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
    PictureStore& s = ctx.stores[ctx.dpb.entries[k]];
    s.frame_num_wrap = static_cast<int32_t>(s.frame_num);
    if (s.frame_num > frame_num)
      s.frame_num_wrap -= static_cast<int32_t>(ctx.active_sps.MaxFrameNum);
  }
}

// PicNum (or LongTermPicNum) of field `parity` of a store for the current picture.
int64_t field_number(const DecoderContext& ctx, int64_t base, uint32_t parity) {
  if (ctx.current_structure == PICTURE_FRAME) return base;
  return 2 * base + (parity == ctx.current_structure ? 1 : 0);
}

// Calls `visit(store, parity_mask)` for every reference picture of the kind (short or long)
// whose number for the current picture is `number`.
template <typename Visit>
void find_reference(DecoderContext& ctx, bool long_term, int64_t number, Visit&& visit) {
  for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
    int32_t index = ctx.dpb.entries[k];
    PictureStore& s = ctx.stores[index];
    uint32_t marks = long_term ? s.long_term : s.short_term;
    int64_t base = long_term ? int64_t{s.long_term_frame_idx} : int64_t{s.frame_num_wrap};
    if (ctx.current_structure == PICTURE_FRAME) {
      if (marks == BOTH_FIELDS && base == number) visit(index, BOTH_FIELDS);
      continue;
    }
    for (uint32_t parity : {PICTURE_TOP, PICTURE_BOTTOM}) {
      if ((marks & parity) && field_number(ctx, base, parity) == number) visit(index, parity);
    }
  }
}

// Long-term pictures with LongTermFrameIdx `idx` other than those in store `keep` become unused.
void drop_long_term_index(DecoderContext& ctx, uint32_t idx, int32_t keep) {
  for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
    int32_t index = ctx.dpb.entries[k];
    PictureStore& s = ctx.stores[index];
    if (index != keep && s.long_term && s.long_term_frame_idx == idx) s.long_term = 0;
  }
}

uint32_t count_references(const DecoderContext& ctx, bool long_term) {
  uint32_t count = 0;
  for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
    const PictureStore& s = ctx.stores[ctx.dpb.entries[k]];
    count += (long_term ? s.long_term : s.short_term) != 0;
  }
  return count;
}

void sliding_window(DecoderContext& ctx) {
  const uint32_t limit = std::max(ctx.active_sps.num_ref_frames, 1u);
  uint32_t long_count = count_references(ctx, true);
  if (long_count >= limit) {
    uint32_t excess = long_count - limit + 1;
    for (uint32_t k = 0; k < ctx.dpb.fullness && excess; ++k) {
      PictureStore& s = ctx.stores[ctx.dpb.entries[k]];
      if (s.long_term) {
        s.long_term = 0;
        --excess;
      }
    }
  }
  for (;;) {
    uint32_t short_count = count_references(ctx, false);
    if (short_count == 0 || short_count + count_references(ctx, true) < limit) break;
    for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
      PictureStore& s = ctx.stores[ctx.dpb.entries[k]];
      if (s.short_term) {
        s.short_term = 0;
        break;
      }
    }
  }
}

// Memory management operations of the current picture (store `current`); true when the
// picture itself became long-term.
bool run_mmco(DecoderContext& ctx, int32_t current) {
  PictureStore& cur = ctx.stores[current];
  const uint32_t mask = field_mask(ctx.current_structure);
  const int64_t pic_num = current_pic_num(ctx);
  bool current_long_term = false;
  for (uint32_t i = 0; i < cur.marking.count; ++i) {
    const MmcoOperation& op = cur.marking.operations[i];
    int64_t pic_num_x = pic_num - int64_t{op.difference_of_pic_nums_minus1} - 1;
    switch (op.operation) {
      case 1:
        find_reference(ctx, false, pic_num_x,
                       [&](int32_t s, uint32_t parity) { ctx.stores[s].short_term &= ~parity; });
        break;
      case 2:
        find_reference(ctx, true, int64_t{op.long_term_pic_num},
                       [&](int32_t s, uint32_t parity) { ctx.stores[s].long_term &= ~parity; });
        break;
      case 3: {
        int32_t target = -1;
        uint32_t target_parity = 0;
        find_reference(ctx, false, pic_num_x, [&](int32_t s, uint32_t parity) {
          target = s;
          target_parity = parity;
        });
        if (target < 0) break;
        drop_long_term_index(ctx, op.long_term_frame_idx, target);
        PictureStore& t = ctx.stores[target];
        if (t.long_term && t.long_term_frame_idx != op.long_term_frame_idx) t.long_term = 0;
        t.short_term &= ~target_parity;
        t.long_term |= target_parity;
        t.long_term_frame_idx = op.long_term_frame_idx;
        break;
      }
      case 4:
        ctx.dpb.max_long_term_frame_idx = static_cast<int32_t>(
            std::min<int64_t>(int64_t{op.max_long_term_frame_idx_plus1} - 1, INT32_MAX));
        for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
          PictureStore& s = ctx.stores[ctx.dpb.entries[k]];
          if (s.long_term &&
              static_cast<int64_t>(s.long_term_frame_idx) > ctx.dpb.max_long_term_frame_idx) {
            s.long_term = 0;
          }
        }
        break;
      case 5:
        for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
          PictureStore& s = ctx.stores[ctx.dpb.entries[k]];
          if (ctx.dpb.entries[k] != current) s.short_term = s.long_term = 0;
        }
        ctx.dpb.max_long_term_frame_idx = -1;
        cur.mmco5 = 1;
        break;
      case 6:
        drop_long_term_index(ctx, op.long_term_frame_idx, current);
        if (cur.long_term && cur.long_term_frame_idx != op.long_term_frame_idx) cur.long_term = 0;
        cur.long_term |= mask;
        cur.long_term_frame_idx = op.long_term_frame_idx;
        current_long_term = true;
        break;
      default:
        break;
    }
  }
  return current_long_term;
}

// `a - b` in the wrapping 32-bit arithmetic of the picture order counts.
int32_t poc_minus(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// After an operation 5 the picture counts as frame_num 0 with its POC moved to 0.
void apply_mmco5(DecoderContext& ctx, PictureStore& cur) {
  int32_t temp = ctx.current_structure == PICTURE_BOTTOM ? cur.bottom_poc
                 : ctx.current_structure == PICTURE_TOP  ? cur.top_poc
                                                         : std::min(cur.top_poc, cur.bottom_poc);
  cur.top_poc = poc_minus(cur.top_poc, temp);
  cur.bottom_poc = poc_minus(cur.bottom_poc, temp);
  cur.poc = poc_minus(cur.poc, temp);
  cur.frame.info.picture_order_count = cur.poc;
  cur.frame_num = 0;
  flush_pictures(ctx);
}

void append_entry(DecoderContext& ctx, int32_t store) {
  ctx.dpb.entries[ctx.dpb.fullness++] = store;
  ctx.stores[store].in_buffer = 1;
}

// Steps 5 to 7 of storing: room in the buffer, then output or append.
void place_picture(DecoderContext& ctx, int32_t store) {
  PictureStore& s = ctx.stores[store];
  DecodedPictureBuffer& dpb = ctx.dpb;
  if (dpb.fullness >= dpb.size) remove_unused_entries(ctx);
  if (ctx.flags & DECODER_DISPLAY_ORDER) {
    while (dpb.fullness >= dpb.size) {
      if (!is_reference(s) && s.output_needed) {
        bool earlier = true;
        for (uint32_t k = 0; k < dpb.fullness; ++k) {
          const PictureStore& e = ctx.stores[dpb.entries[k]];
          if (e.output_needed && e.poc <= s.poc) earlier = false;
        }
        if (earlier) {
          output_directly(ctx, store);
          return;
        }
      }
      if (!bump(ctx)) break;
    }
    if (dpb.fullness >= DPB_ENTRIES) {
      s.short_term = s.long_term = 0;
      if (s.output_needed) output_directly(ctx, store);
      return;
    }
    append_entry(ctx, store);
    // A first field waits for its partner.
    if (s.fields == BOTH_FIELDS) output_ordered_pictures(ctx);
  } else if (is_reference(s) && dpb.fullness < DPB_ENTRIES) {
    append_entry(ctx, store);
    if (s.fields == BOTH_FIELDS && s.output_needed) output_store(ctx, store);
  } else {
    s.short_term = s.long_term = 0;
    if (s.output_needed) output_directly(ctx, store);
  }
  if (s.fields != BOTH_FIELDS) dpb.last_stored = store;
}

void store_second_field(DecoderContext& ctx, int32_t store, bool marked_long_term) {
  PictureStore& s = ctx.stores[store];
  const uint32_t mask = field_mask(ctx.current_structure);
  if (s.reference && !marked_long_term) {
    if (s.long_term) {
      s.long_term |= mask;
    } else {
      s.short_term |= mask;
    }
  }
  s.poc = std::min(s.top_poc, s.bottom_poc);
  s.frame.info.picture_order_count = s.poc;
  if (s.in_buffer) {
    if (!(ctx.flags & DECODER_DISPLAY_ORDER)) {
      if (s.output_needed) output_store(ctx, store);
    } else {
      output_ordered_pictures(ctx);
    }
  } else if (ctx.dpb.pending_field == store) {
    ctx.dpb.pending_field = -1;
    output_store(ctx, store);
  }
}

}  // namespace

void dpb_reset(DecoderContext& ctx) {
  ctx.dpb = DecodedPictureBuffer{};
  ctx.dpb.size = ctx.max_ref_frames;
  ctx.dpb.max_long_term_frame_idx = -1;
  ctx.dpb.last_output_poc = NO_POC;
  ctx.dpb.last_stored = -1;
  ctx.dpb.pending_field = -1;
}

void output_store(DecoderContext& ctx, int32_t store) {
  PictureStore& s = ctx.stores[store];
  s.output_needed = 0;
  if (s.non_existing) {
    s.status = STORE_FREE;
    return;
  }
  s.frame.info.picture_order_count = s.poc;
  s.status = STORE_QUEUED;
  output_queue_put(ctx.output, static_cast<uint32_t>(store));
}

void flush_pictures(DecoderContext& ctx) {
  for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
    PictureStore& s = ctx.stores[ctx.dpb.entries[k]];
    s.short_term = s.long_term = 0;
  }
  remove_unused_entries(ctx);
  while (bump(ctx)) {
  }
  output_pending_field(ctx);
  ctx.dpb.last_output_poc = NO_POC;
}

void store_inferred_frame(DecoderContext& ctx, int32_t store) {
  update_frame_num_wrap(ctx);
  sliding_window(ctx);
  ctx.stores[store].short_term = BOTH_FIELDS;
  place_picture(ctx, store);
}

void store_picture(DecoderContext& ctx) {
  const int32_t store = ctx.current_store;
  PictureStore& s = ctx.stores[store];
  const uint32_t mask = field_mask(ctx.current_structure);
  update_frame_num_wrap(ctx);
  bool marked_long_term = false;
  if (s.idr) {
    if (s.marking.no_output_of_prior_pics_flag) {
      for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
        PictureStore& e = ctx.stores[ctx.dpb.entries[k]];
        e.short_term = e.long_term = 0;
        e.in_buffer = 0;
        if (e.output_needed) e.status = STORE_FREE;
        e.output_needed = 0;
      }
      ctx.dpb.fullness = 0;
    } else {
      flush_pictures(ctx);
    }
    if (s.marking.long_term_reference_flag) {
      s.long_term = mask;
      s.long_term_frame_idx = 0;
      ctx.dpb.max_long_term_frame_idx = 0;
    } else {
      s.short_term = mask;
      ctx.dpb.max_long_term_frame_idx = -1;
    }
    ctx.dpb.last_output_poc = NO_POC;
  } else if (s.reference && s.marking.adaptive_ref_pic_marking_mode_flag) {
    marked_long_term = run_mmco(ctx, store);
    if (s.mmco5) apply_mmco5(ctx, s);
  }

  if (ctx.current_second_field) {
    store_second_field(ctx, store, marked_long_term);
    return;
  }
  if (s.reference && !s.idr) {
    sliding_window(ctx);
    if (!marked_long_term) s.short_term |= mask;
  }
  place_picture(ctx, store);
}

uint32_t init_reference_lists(DecoderContext& ctx) {
  update_frame_num_wrap(ctx);
  ctx.ref_list0_size = 0;
  for (RefPicture& ref : ctx.ref_list0) ref = RefPicture{-1, 0, 0};
  if (ctx.slice.slice_type != SLICE_P && ctx.slice.slice_type != SLICE_SP) return 0;

  int32_t short_frames[DPB_ENTRIES];
  int32_t long_frames[DPB_ENTRIES];
  uint32_t short_count = 0, long_count = 0;
  const bool frame = ctx.current_structure == PICTURE_FRAME;
  const uint32_t need = frame ? BOTH_FIELDS : 1;
  for (uint32_t k = 0; k < ctx.dpb.fullness; ++k) {
    int32_t index = ctx.dpb.entries[k];
    const PictureStore& s = ctx.stores[index];
    if (frame ? s.short_term == need : s.short_term != 0) short_frames[short_count++] = index;
    if (frame ? s.long_term == need : s.long_term != 0) long_frames[long_count++] = index;
  }
  std::stable_sort(short_frames, short_frames + short_count, [&](int32_t a, int32_t b) {
    return ctx.stores[a].frame_num_wrap > ctx.stores[b].frame_num_wrap;
  });
  std::stable_sort(long_frames, long_frames + long_count, [&](int32_t a, int32_t b) {
    return ctx.stores[a].long_term_frame_idx < ctx.stores[b].long_term_frame_idx;
  });

  uint32_t size = 0;
  auto add_frames = [&](const int32_t* frames, uint32_t count, bool long_term) {
    if (frame) {
      for (uint32_t i = 0; i < count; ++i)
        ctx.ref_list0[size++] = {frames[i], PICTURE_FRAME, long_term};
      return;
    }
    // Fields by alternating parity, starting with the current picture's.
    const uint32_t same = ctx.current_structure;
    const uint32_t opposite = BOTH_FIELDS ^ same;
    uint32_t i = 0, j = 0;
    auto marks = [&](int32_t index) {
      return long_term ? ctx.stores[index].long_term : ctx.stores[index].short_term;
    };
    for (;;) {
      while (i < count && !(marks(frames[i]) & same)) ++i;
      while (j < count && !(marks(frames[j]) & opposite)) ++j;
      if (i >= count && j >= count) break;
      if (i < count) ctx.ref_list0[size++] = {frames[i++], same, long_term};
      if (j < count) ctx.ref_list0[size++] = {frames[j++], opposite, long_term};
    }
  };
  add_frames(short_frames, short_count, false);
  add_frames(long_frames, long_count, true);
  const uint32_t active = ctx.slice.num_ref_idx_l0_active_minus1 + 1;
  for (uint32_t i = active; i < size; ++i) ctx.ref_list0[i] = RefPicture{-1, 0, 0};
  ctx.ref_list0_size = active;
  return 0;
}

uint32_t reorder_reference_lists(DecoderContext& ctx) {
  const SliceHeader& h = ctx.slice;
  if (h.reorder_count == 0) return 0;
  const bool frame = ctx.current_structure == PICTURE_FRAME;
  const int32_t max_pic_num = static_cast<int32_t>(ctx.active_sps.MaxFrameNum) * (frame ? 1 : 2);
  const int32_t curr_pic_num = static_cast<int32_t>(current_pic_num(ctx));
  const uint32_t active = h.num_ref_idx_l0_active_minus1 + 1;
  int32_t pic_num_pred = curr_pic_num;
  uint32_t ref_idx = 0;
  for (uint32_t c = 0; c < h.reorder_count && ref_idx < active; ++c) {
    const ReorderCommand& cmd = h.reorder[c];
    RefPicture pic{-1, 0, 0};
    auto take = [&](bool long_term) {
      return [&pic, long_term](int32_t s, uint32_t parity) {
        pic = RefPicture{s, parity == BOTH_FIELDS ? PICTURE_FRAME : parity, long_term};
      };
    };
    if (cmd.reordering_of_pic_nums_idc < 2) {
      int64_t abs_diff = int64_t{cmd.value} + 1;
      int64_t no_wrap =
          cmd.reordering_of_pic_nums_idc == 0 ? pic_num_pred - abs_diff : pic_num_pred + abs_diff;
      no_wrap = ((no_wrap % max_pic_num) + max_pic_num) % max_pic_num;
      pic_num_pred = static_cast<int32_t>(no_wrap);
      int32_t pic_num = pic_num_pred > curr_pic_num ? pic_num_pred - max_pic_num : pic_num_pred;
      find_reference(ctx, false, pic_num, take(false));
    } else {
      find_reference(ctx, true, int64_t{cmd.value}, take(true));
    }
    if (pic.store < 0) return SLICE_MISSING_REFERENCE;
    for (uint32_t i = active; i > ref_idx; --i) ctx.ref_list0[i] = ctx.ref_list0[i - 1];
    ctx.ref_list0[ref_idx++] = pic;
    uint32_t n = ref_idx;
    for (uint32_t i = ref_idx; i <= active; ++i) {
      const RefPicture& r = ctx.ref_list0[i];
      if (r.store != pic.store || r.structure != pic.structure || r.long_term != pic.long_term) {
        ctx.ref_list0[n++] = r;
      }
    }
    for (; n <= active; ++n) ctx.ref_list0[n] = RefPicture{-1, 0, 0};
  }
  ctx.ref_list0[active] = RefPicture{-1, 0, 0};
  return 0;
}
