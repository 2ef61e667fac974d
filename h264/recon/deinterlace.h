// De-interlaced output of pictures of interlaced sequences (configuration bit 4).
#pragma once

#include <cstdint>

struct DecoderContext;
struct DecodedPicture;

// Portable de-interlacing line kernel (the rule is at its definition).
void deinterlace_line_portable(uint8_t* out_even, uint8_t* out_odd, const uint8_t* pic,
                               const uint8_t* history, const uint8_t* counter, int stride,
                               int width);

// Converts the picture of `out` (interlace mark 1 or 2) into the spare output frame and points
// `out` there; updates the history and counter planes.
void deinterlace_picture(DecoderContext& ctx, uint32_t interlace_mark, DecodedPicture& out);
