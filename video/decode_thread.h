// The decode thread: packet ring -> H.264 decoder -> display, and snapshots on request.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "h264/decoder/decoder.h"
#include "video/display_surface.h"
#include "video/snapshot_writer.h"

namespace scopemark {

struct PacketRing;

// Largest picture the decode thread's decoder accepts: 80 x 45 macroblocks.
inline constexpr int kVideoWidth = 1280;
inline constexpr int kVideoHeight = 720;

// DecoderConfig of the decode thread: 1280 x 720, 16 reference frames, display-order and
// de-interlaced output, no worker threads.
DecoderConfig video_decoder_config();

// The decoder's four calls, so that the loop can run on a stand-in.
class DecoderApi {
 public:
  virtual ~DecoderApi() = default;
  virtual int get_library_info(DecoderLibraryInfo* info) = 0;
  virtual DecoderContext* create(const DecoderConfig* config) = 0;
  virtual int decode(DecoderContext* decoder, const uint8_t* bytes, uint32_t length, uint32_t user0,
                     uint32_t user1, DecodedPicture* out, uint32_t flags) = 0;
  virtual void destroy(DecoderContext* decoder) = 0;
};

// The program's own H.264 decoder.
class H264Decoder final : public DecoderApi {
 public:
  int get_library_info(DecoderLibraryInfo* info) override;
  DecoderContext* create(const DecoderConfig* config) override;
  int decode(DecoderContext* decoder, const uint8_t* bytes, uint32_t length, uint32_t user0,
             uint32_t user1, DecodedPicture* out, uint32_t flags) override;
  void destroy(DecoderContext* decoder) override;
};

// Where stream chunks come from.
class ChunkSource {
 public:
  virtual ~ChunkSource() = default;
  // Copies the next chunk into out (4096 bytes of room) and returns its length, or -1 when
  // none is waiting.
  virtual int take(uint8_t* out) = 0;
  // Called after take found nothing.
  virtual void idle() = 0;
};

// The packet ring as chunk source; idle sleeps 20 ms.
class RingChunkSource final : public ChunkSource {
 public:
  explicit RingChunkSource(PacketRing& ring) : ring_(ring) {}
  int take(uint8_t* out) override;
  void idle() override;

 private:
  PacketRing& ring_;
};

// Everything the decode thread works with. The referenced objects outlive the thread.
struct DecodeThreadContext {
  ChunkSource& chunks;
  DecoderApi& decoder;
  FrameDisplay& display;
  DisplayTarget* video_area;
  SnapshotSink& snapshots;
  // Ends the loop; set by the loop itself when the decoder reports DECODE_NO_PICTURE.
  std::atomic<bool>& stop_requested;
  // While set, pictures are decoded but not shown.
  const std::atomic<bool>& display_frozen;
  // One request gives one snapshot of the next picture; the loop clears it.
  std::atomic<bool>& capture_requested;
  // Shows a message box and returns when it is dismissed.
  std::function<void(const char* text)> show_message{};
};

// Thread body: runs until stop_requested is set or the decoder cannot be created. Returns 1.
int decode_thread(DecodeThreadContext& context);

}  // namespace scopemark
