#include "h264/stream/output_queue.h"

#include "h264/decoder/decoder_context.h"
#include "h264/recon/deinterlace.h"

void output_queue_put(OutputQueue& queue, uint32_t store_index) {
  queue.slots[queue.write] = static_cast<uint8_t>(store_index);
  queue.write = (queue.write + 1) & (OUTPUT_QUEUE_SLOTS - 1);
}

bool take_output_picture(DecoderContext& ctx, DecodedPicture& out) {
  OutputQueue& queue = ctx.output;
  while (queue.read != queue.write) {
    uint32_t index = queue.slots[queue.read];
    queue.slots[queue.read] = OUTPUT_SLOT_EMPTY;
    queue.read = (queue.read + 1) & (OUTPUT_QUEUE_SLOTS - 1);
    if (index >= ctx.store_count) continue;
    PictureStore& store = ctx.stores[index];
    store.status = STORE_FREE;
    uint32_t plane = ctx.max_width_mbs * ctx.max_height_mbs;
    out = store.frame.info;
    out.luma = store.buffer;
    out.cb = store.buffer + plane * 256;
    out.cr = store.buffer + plane * 320;
    out.store_index = static_cast<int32_t>(index);
    out.statistics = store.frame.statistics;
    out.queued_after = (queue.write - queue.read) & (OUTPUT_QUEUE_SLOTS - 1);
    if ((ctx.flags & DECODER_DEINTERLACE) && store.interlace_mark != 0) {
      deinterlace_picture(ctx, store.interlace_mark, out);
    }
    return true;
  }
  return false;
}
