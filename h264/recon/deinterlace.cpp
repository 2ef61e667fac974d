#include "h264/recon/deinterlace.h"

#include <cstdlib>
#include <cstring>

#include "h264/decoder/decoder_context.h"

namespace {

// Below this difference from the previous picture a sample counts as still.
constexpr int kStillThreshold = 10;
// Counter value from which an area counts as progressive (seen in frame-coded pictures).
constexpr uint8_t kProgressiveCount = 3;

}  // namespace

// Motion-adaptive line pair: the even output row is picture row 2k. The odd output row keeps
// picture row 2k + 1 (weave) where that sample differs from the same sample of the previous
// picture (history) by less than kStillThreshold, or where the counter marks the area as
// progressive; elsewhere it is the rounded average of rows 2k and 2k + 2 of the picture.
void deinterlace_line_portable(uint8_t* out_even, uint8_t* out_odd, const uint8_t* pic,
                               const uint8_t* history, const uint8_t* counter, int stride,
                               int width) {
  const uint8_t* odd = pic + stride;
  const uint8_t* next_even = pic + 2 * stride;
  const uint8_t* odd_history = history + stride;
  for (int x = 0; x < width; ++x) {
    out_even[x] = pic[x];
    bool still = std::abs(odd[x] - odd_history[x]) < kStillThreshold;
    out_odd[x] = (still || counter[x] >= kProgressiveCount)
                     ? odd[x]
                     : static_cast<uint8_t>((pic[x] + next_even[x] + 1) >> 1);
  }
}

void deinterlace_picture(DecoderContext& ctx, uint32_t interlace_mark, DecodedPicture& out) {
  const uint32_t plane = ctx.max_width_mbs * ctx.max_height_mbs;
  const uint32_t s = out.luma_stride;
  const uint32_t cs = out.chroma_stride;
  const uint32_t h = out.height;
  uint8_t* luma = ctx.spare_frame;
  uint8_t* cb = ctx.spare_frame + plane * 256;
  uint8_t* cr = ctx.spare_frame + plane * 320;
  uint8_t* history = ctx.deinterlace_history;
  uint8_t* counter = ctx.deinterlace_history + plane * 256;
  if (interlace_mark == 1) {
    for (uint32_t i = 0; i + 1 < s * (h / 2 - 2); i += 2) {
      if (counter[s + i] < 3) {
        ++counter[s + i];
        ++counter[s + i + 1];
      }
    }
    std::memcpy(luma, out.luma, size_t{s} * h);
    std::memcpy(cb, out.cb, size_t{cs} * (h / 2));
    std::memcpy(cr, out.cr, size_t{cs} * (h / 2));
  } else {
    std::memcpy(luma, out.luma, s);
    std::memcpy(luma + s, out.luma, s);
    for (uint32_t k = 1; k + 2 <= h / 2; ++k) {
      ctx.kernels.deinterlace_line(luma + 2 * k * s, luma + (2 * k + 1) * s, out.luma + 2 * k * s,
                                   history + 2 * k * s, counter + k * s, static_cast<int>(s),
                                   static_cast<int>(out.width));
    }
    std::memcpy(luma + (h - 2) * s, out.luma + (h - 2) * s, s);
    std::memcpy(luma + (h - 1) * s, out.luma + (h - 2) * s, s);
    auto double_even_rows = [&](uint8_t* dst, const uint8_t* src) {
      for (uint32_t y = 0; y + 1 < h / 2; y += 2) {
        std::memcpy(dst + y * cs, src + y * cs, cs);
        std::memcpy(dst + (y + 1) * cs, src + y * cs, cs);
      }
    };
    double_even_rows(cb, out.cb);
    double_even_rows(cr, out.cr);
  }
  std::memcpy(history, out.luma, size_t{s} * h);
  out.luma = luma;
  out.cb = cb;
  out.cr = cr;
}
