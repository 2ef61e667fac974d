// Prints the CPU cost of the display path per 1280 x 720 picture: conversion (both builds),
// the decode loop around the decoder, painting.
#include <QApplication>
#include <QImage>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <vector>

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

class OneChunk final : public scopemark::ChunkSource {
 public:
  explicit OneChunk(std::atomic<bool>& stop) : stop_(stop) {}
  int take(uint8_t*) override { return taken_++ == 0 ? 1 : -1; }
  void idle() override { stop_ = true; }

 private:
  std::atomic<bool>& stop_;
  int taken_ = 0;
};

class NoSnapshots final : public scopemark::SnapshotSink {
 public:
  void save_snapshot(const DecodedPicture&) override {}
};

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
    VideoWidget loop_widget;
    RepeatingDecoder decoder(picture);
    std::atomic<bool> stop{false}, frozen{false}, capture{false};
    OneChunk chunk(stop);
    NoSnapshots snapshots;
    DisplaySurface loop_surface;
    DecodeThreadContext context{chunk,     decoder, loop_surface, loop_widget.feed().get(),
                                snapshots, stop,    frozen,       capture};
    const double start = process_cpu_ms();
    decode_thread(context);
    const double per_picture = (process_cpu_ms() - start) / kRounds;
    std::printf("%-44s %8.3f ms per picture, %.1f ms per second at 30 fps\n",
                "decode_thread without the decoder", per_picture, per_picture * 30);
  }

  VideoWidget widget;
  DisplaySurface surface;
  surface.initialise(widget.feed().get(), w, h);
  report("DisplaySurface::show_frame", [&]() { surface.show_frame(yuv, w, h); });

  for (const QSize size : {QSize(w, h), QSize(1920, 1080), QSize(800, 450)}) {
    widget.resize(size);
    QImage target(size, QImage::Format_RGB32);
    char label[64];
    std::snprintf(label, sizeof label, "paint into %dx%d", size.width(), size.height());
    report(label, [&]() { widget.render(&target); });
  }
  return 0;
}
