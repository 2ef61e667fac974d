// The decoder through its public interface (input format in decoder_input.h). Each
// configuration gets one instance per process, created on first use and reset between inputs,
// so an input pays only for what it decodes.
#include <cstddef>
#include <cstdint>

#include "h264/decoder/decoder.h"
#include "tools/fuzz/decoder_input.h"

namespace {

volatile uint32_t sink;

// The instance of the input's configuration, ready for a new stream.
DecoderContext* decoder_for(const uint8_t* data) {
  static DecoderContext* instances[128] = {};
  DecoderContext*& decoder = instances[decoder_fuzz::config_key(data)];
  if (decoder) {
    decoder_reset(decoder);
  } else {
    const DecoderConfig config = decoder_fuzz::config_of(data);
    decoder = decoder_create(&config);
  }
  return decoder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < decoder_fuzz::kConfigBytes) return 0;
  DecoderContext* decoder = decoder_for(data);
  if (decoder) sink = decoder_fuzz::decode_input(decoder, data, size);
  return 0;
}
