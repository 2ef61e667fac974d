// The decoder through its public interface. Input: four bytes of configuration, then the
// byte stream. Byte 0 picks the configuration flags, byte 1 the picture size limit and the
// reference count, bytes 2 and 3 how the stream is cut into pieces; every piece is fed from
// a buffer of exactly its size, and every picture that comes out is read in full.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "h264/decoder/decoder.h"

namespace {

struct SizeLimit {
  uint32_t width_mbs;
  uint32_t height_mbs;
};
constexpr SizeLimit kSizeLimits[] = {{22, 18}, {11, 9}, {4, 6}, {8, 8}};
constexpr uint32_t kRefFrames[] = {1, 2, 4, 16};

// Reads every sample the picture's geometry names.
uint32_t read_picture(const DecodedPicture& picture) {
  uint32_t sum = 0;
  for (uint32_t y = 0; y < picture.height; ++y) {
    const uint8_t* row = picture.luma + size_t{y} * picture.luma_stride;
    for (uint32_t x = 0; x < picture.width; ++x) sum += row[x];
  }
  for (const uint8_t* plane : {picture.cb, picture.cr}) {
    for (uint32_t y = 0; y < picture.height / 2; ++y) {
      const uint8_t* row = plane + size_t{y} * picture.chroma_stride;
      for (uint32_t x = 0; x < picture.width / 2; ++x) sum += row[x];
    }
  }
  if (picture.user_data) {
    for (uint32_t i = 0; i < picture.user_data->length; ++i) sum += picture.user_data->bytes[i];
  }
  return sum;
}

// Piece lengths: the whole rest, or pseudo-random lengths up to a bound chosen by the input.
class Pieces {
 public:
  Pieces(uint8_t mode, uint8_t seed) : bound_(kBounds[mode & 3]), state_(seed * 2654435761u + 1) {}
  size_t next(size_t left) {
    if (bound_ == 0) return left;
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    const size_t length = 1 + state_ % bound_;
    return length < left ? length : left;
  }

 private:
  static constexpr uint32_t kBounds[] = {0, 7, 300, 5000};
  uint32_t bound_;
  uint32_t state_;
};

volatile uint32_t sink;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  DecoderConfig config{};
  config.flags = (data[0] & 1 ? DECODER_DISPLAY_ORDER : 0) |
                 (data[0] & 2 ? DECODER_DEINTERLACE : 0) |
                 (data[0] & 4 ? DECODER_WORKER_THREADS : 0);
  config.max_width_mbs = kSizeLimits[data[1] & 3].width_mbs;
  config.max_height_mbs = kSizeLimits[data[1] & 3].height_mbs;
  config.max_ref_frames = kRefFrames[(data[1] >> 2) & 3];
  Pieces pieces(data[2], data[3]);
  DecoderContext* decoder = decoder_create(&config);
  if (!decoder) return 0;
  DecodedPicture picture{};
  uint32_t sum = 0;
  std::vector<uint8_t> piece;
  for (size_t offset = 4; offset < size;) {
    const size_t length = pieces.next(size - offset);
    piece.assign(data + offset, data + offset + length);
    piece.shrink_to_fit();
    offset += length;
    int result =
        decoder_decode(decoder, piece.data(), static_cast<uint32_t>(length), 0, 0, &picture, 0);
    while (result == DECODE_PICTURE_READY) {
      sum += read_picture(picture);
      result = decoder_decode(decoder, nullptr, 0, 0, 0, &picture, 0);
    }
  }
  while (decoder_decode(decoder, nullptr, 0, 0, 0, &picture, DECODE_END_OF_STREAM) ==
         DECODE_PICTURE_READY) {
    sum += read_picture(picture);
  }
  decoder_destroy(decoder);
  sink = sum;
  return 0;
}
