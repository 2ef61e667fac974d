// Prints the CPU cost of the display path per 1280 x 720 picture: conversion (both builds),
// the decode loop around the decoder, painting; then the decoder alone and the whole decode
// loop on the demo stream, with the decoder's peak resident memory.
#include <QApplication>
#include <QImage>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "camsim/demo_camera.h"
#include "video/decode_thread.h"
#include "video/picture_of.h"
#include "video/video_widget.h"
#include "video/yuv_convert.h"

namespace {

constexpr int kRounds = 100;

// CPU time of the whole process (Qt may paint on helper threads); other load on the machine
// does not count.
double process_cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

template <typename Body>
void report(const char* what, Body body) {
  body();
  const double start = process_cpu_ms();
  for (int i = 0; i < kRounds; ++i) body();
  std::printf("%-44s %8.3f ms per picture\n", what, (process_cpu_ms() - start) / kRounds);
}

// The decode loop's own work around the decoder: one chunk that completes kRounds pictures.
class RepeatingDecoder final : public scopemark::DecoderApi {
 public:
  explicit RepeatingDecoder(const DecodedPicture& picture) : picture_(picture) {}
  int get_library_info(DecoderLibraryInfo*) override { return 0; }
  DecoderContext* create(const DecoderConfig*) override {
    return reinterpret_cast<DecoderContext*>(this);
  }
  int decode(DecoderContext*, const uint8_t*, uint32_t, uint32_t, uint32_t, DecodedPicture* out,
             uint32_t) override {
    if (left_ == 0) return DECODE_NEED_INPUT;
    --left_;
    *out = picture_;
    return DECODE_PICTURE_READY;
  }
  void destroy(DecoderContext*) override {}

 private:
  DecodedPicture picture_;
  int left_ = kRounds;
};

// The stream in chunks of up to 4096 bytes, then once the end (length 0); idle stops the loop.
class StreamChunks final : public scopemark::ChunkSource {
 public:
  StreamChunks(std::span<const uint8_t> stream, std::atomic<bool>& stop)
      : stream_(stream), stop_(stop) {}
  int take(uint8_t* out) override {
    if (at_ > stream_.size()) return -1;
    const size_t length = std::min<size_t>(4096, stream_.size() - at_);
    std::copy_n(stream_.data() + at_, length, out);
    at_ += length > 0 ? length : 1;
    return static_cast<int>(length);
  }
  void idle() override { stop_ = true; }

 private:
  std::span<const uint8_t> stream_;
  std::atomic<bool>& stop_;
  size_t at_ = 0;
};

// Counts the pictures another decoder delivers.
class CountingDecoder final : public scopemark::DecoderApi {
 public:
  explicit CountingDecoder(scopemark::DecoderApi& inner) : inner_(inner) {}
  int pictures = 0;
  int get_library_info(DecoderLibraryInfo* info) override { return inner_.get_library_info(info); }
  DecoderContext* create(const DecoderConfig* config) override { return inner_.create(config); }
  int decode(DecoderContext* decoder, const uint8_t* bytes, uint32_t length, uint32_t user0,
             uint32_t user1, DecodedPicture* out, uint32_t flags) override {
    const int r = inner_.decode(decoder, bytes, length, user0, user1, out, flags);
    if (r == DECODE_PICTURE_READY) ++pictures;
    return r;
  }
  void destroy(DecoderContext* decoder) override { inner_.destroy(decoder); }

 private:
  scopemark::DecoderApi& inner_;
};

class NoSnapshots final : public scopemark::SnapshotSink {
 public:
  void save_snapshot(const DecodedPicture&) override {}
};

// The decode loop over the stream into a real display surface: CPU time per picture shown.
void time_decode_loop(const char* what, std::span<const uint8_t> stream,
                      scopemark::DecoderApi& inner) {
  using namespace scopemark;
  VideoWidget widget;
  CountingDecoder decoder(inner);
  std::atomic<bool> stop{false}, frozen{false}, capture{false};
  StreamChunks chunks(stream, stop);
  NoSnapshots snapshots;
  DisplaySurface surface;
  DecodeThreadContext context{chunks,    decoder, surface, widget.feed().get(),
                              snapshots, stop,    frozen,  capture};
  const double start = process_cpu_ms();
  decode_thread(context);
  const double per_picture = (process_cpu_ms() - start) / std::max(1, decoder.pictures);
  std::printf("%-44s %8.3f ms per picture, %.1f%% of a core at 30 fps\n", what, per_picture,
              per_picture * 3);
}

// A field of /proc/self/status in KiB.
long status_kib(const std::string& field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

// The decoder of the decode thread alone on the stream: CPU time per picture and the growth of
// the peak resident memory over the start (the peak is reset first).
void decoder_alone(std::span<const uint8_t> stream) {
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = status_kib("VmRSS");
  const DecoderConfig config = scopemark::video_decoder_config();
  DecoderContext* decoder = decoder_create(&config);
  int pictures = 0;
  const double start = process_cpu_ms();
  for (size_t at = 0;; at += 4096) {
    const bool end = at >= stream.size();
    const uint32_t length =
        end ? 0 : static_cast<uint32_t>(std::min<size_t>(4096, stream.size() - at));
    const uint32_t flags = end ? DECODE_END_OF_STREAM : 0;
    DecodedPicture picture{};
    int r = decoder_decode(decoder, stream.data() + (end ? 0 : at), length, 0, 0, &picture, flags);
    for (; r == DECODE_PICTURE_READY; ++pictures) {
      r = decoder_decode(decoder, nullptr, 0, 0, 0, &picture, flags);
    }
    if (end) break;
  }
  const double per_picture = (process_cpu_ms() - start) / std::max(1, pictures);
  decoder_destroy(decoder);
  std::printf("%-44s %8.3f ms per picture, %.1f%% of a core at 30 fps\n",
              "decoder alone, demo stream", per_picture, per_picture * 3);
  std::printf("%-44s %8.1f MiB (%d pictures)\n", "decoder's peak resident memory",
              (status_kib("VmHWM") - before) / 1024.0, pictures);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  using namespace scopemark;
  constexpr int w = kVideoWidth;
  constexpr int h = kVideoHeight;

  std::vector<uint8_t> planes(size_t{w} * h * 3 / 2);
  for (size_t i = 0; i < planes.size(); ++i) planes[i] = static_cast<uint8_t>(i * 7 + i / w);
  const uint8_t* luma = planes.data();
  const uint8_t* cb = luma + w * h;
  const uint8_t* cr = cb + w * h / 4;
  const DecodedPicture picture = picture_of(luma, cb, cr, w, h, w, w / 2);

  const Yuv420Planes yuv{luma, cb, cr, w, w / 2};
  std::vector<uint32_t> xrgb(size_t{w} * h);
  report("yuv420_to_xrgb32 (display conversion)",
         [&]() { yuv420_to_xrgb32(xrgb.data(), yuv, w, h); });
  report("yuv420_to_xrgb32_portable",
         [&]() { yuv420_to_xrgb32_portable(xrgb.data(), w, yuv, w, h); });

  std::vector<uint8_t> bgr(size_t{w} * h * 3);
  report("yuv420_to_bgr24 (snapshot conversion)",
         [&]() { yuv420_to_bgr24(bgr.data(), luma, cb, cr, w, h); });

  {
    RepeatingDecoder decoder(picture);
    time_decode_loop("decode_thread without the decoder",
                     std::span<const uint8_t>(planes.data(), 1), decoder);
  }
  VideoWidget widget;
  DisplaySurface surface;
  surface.initialise(widget.feed().get(), w, h);
  report("DisplaySurface::show_frame", [&]() { surface.show_frame(yuv, w, h); });

  for (const QSize size : {QSize(w, h), QSize(1920, 1080), QSize(904, 574), QSize(800, 450)}) {
    widget.resize(size);
    QImage target(size, QImage::Format_RGB32);
    widget.render(&target);  // tells the display surface the size
    char label[64];
    std::snprintf(label, sizeof label, "show_frame for %dx%d", size.width(), size.height());
    report(label, [&]() { surface.show_frame(yuv, w, h); });
    std::snprintf(label, sizeof label, "paint into %dx%d", size.width(), size.height());
    report(label, [&]() { widget.render(&target); });
  }

  decoder_alone(camsim::demo_stream());
  H264Decoder h264;
  time_decode_loop("decode_thread, demo stream", camsim::demo_stream(), h264);
  return 0;
}
