#include "video/decode_thread.h"

#include <chrono>
#include <thread>
#include <vector>

#include "link/packet_ring.h"

namespace scopemark {

DecoderConfig video_decoder_config() {
  DecoderConfig config{};
  config.max_width_mbs = kVideoWidth / 16;
  config.max_height_mbs = kVideoHeight / 16;
  config.max_ref_frames = 16;
  config.flags = DECODER_DISPLAY_ORDER | DECODER_DEINTERLACE;
  return config;
}

int H264Decoder::get_library_info(DecoderLibraryInfo* info) {
  return decoder_get_library_info(info);
}

DecoderContext* H264Decoder::create(const DecoderConfig* config) {
  return decoder_create(config);
}

int H264Decoder::decode(DecoderContext* decoder, const uint8_t* bytes, uint32_t length,
                        uint32_t user0, uint32_t user1, DecodedPicture* out, uint32_t flags) {
  return decoder_decode(decoder, bytes, length, user0, user1, out, flags);
}

void H264Decoder::destroy(DecoderContext* decoder) {
  decoder_destroy(decoder);
}

int RingChunkSource::take(uint8_t* out) {
  return ring_take(ring_, out);
}

void RingChunkSource::idle() {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

namespace {

// Shows one decoded picture unless the display is frozen, converting straight from the
// decoder's planes, then takes the snapshot asked for.
void deliver_picture(DecodeThreadContext& context, const DecodedPicture& picture) {
  if (!context.display_frozen.load()) {
    context.display.show_frame(
        Yuv420Planes{picture.luma, picture.cb, picture.cr, static_cast<int>(picture.luma_stride),
                     static_cast<int>(picture.chroma_stride)},
        static_cast<int>(picture.width), static_cast<int>(picture.height));
  }
  if (context.capture_requested.exchange(false)) context.snapshots.save_snapshot(picture);
}

// Feeds one chunk and drains every picture it completes. False when the loop must end.
bool decode_chunk(DecodeThreadContext& context, DecoderContext* decoder, const uint8_t* bytes,
                  int length) {
  const uint32_t end_of_stream = length < 1 ? DECODE_END_OF_STREAM : 0;
  DecodedPicture picture{};
  int r = context.decoder.decode(decoder, bytes, static_cast<uint32_t>(length), 0, 0, &picture,
                                 end_of_stream);
  while (r != DECODE_NEED_INPUT) {
    if (r == DECODE_NO_PICTURE) {
      context.stop_requested.store(true);
      if (context.show_message) context.show_message("ZQ_H264DEC_NO_PICTURE<0");
      return false;
    }
    if (r == DECODE_PICTURE_READY) deliver_picture(context, picture);
    if (context.stop_requested.load()) return false;
    r = context.decoder.decode(decoder, nullptr, 0, 0, 0, &picture, end_of_stream);
  }
  return true;
}

}  // namespace

int decode_thread(DecodeThreadContext& context) {
  std::vector<uint8_t> input(kChunkBytes);
  DecoderLibraryInfo library_info{};
  context.decoder.get_library_info(&library_info);
  context.display.initialise(context.video_area, kVideoWidth, kVideoHeight);

  const DecoderConfig config = video_decoder_config();
  DecoderContext* decoder = context.decoder.create(&config);
  if (decoder != nullptr) {
    while (!context.stop_requested.load()) {
      const int length = context.chunks.take(input.data());
      if (length < 0) {
        context.chunks.idle();
      } else if (!decode_chunk(context, decoder, input.data(), length)) {
        break;
      }
    }
    context.decoder.destroy(decoder);
  }
  context.display.release();
  return 1;
}

}  // namespace scopemark
