// The session's decode thread behind the window: display, snapshots, close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableWidget>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/store_messages.h"
#include "camsim/camera_sim.h"
#include "i18n/ui_texts.h"
#include "link/packet_ring.h"
#include "session_window.h"
#include "support/file_size_limit.h"
#include "support/message_box_recorder.h"
#include "video/decode_thread.h"
#include "video/snapshot_writer.h"
#include "video/video_widget.h"
#include "video/yuv_convert.h"

namespace scopemark {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// A uniform picture of one colour.
struct Colour {
  uint8_t y, cb, cr;
};
constexpr Colour kWhite{235, 128, 128};
constexpr Colour kRed{81, 90, 240};
constexpr Colour kBlue{41, 240, 110};

// A chunk is one colour, Y Cb Cr in its first three bytes, and completes one picture of that
// colour; a chunk starting with 0 makes the decoder report DECODE_NO_PICTURE.
class FakeDecoder final : public DecoderApi {
 public:
  std::atomic<int> created{0};
  std::atomic<bool> destroyed{false};

  int get_library_info(DecoderLibraryInfo*) override { return 0; }
  DecoderContext* create(const DecoderConfig*) override {
    ++created;
    return reinterpret_cast<DecoderContext*>(this);
  }
  int decode(DecoderContext*, const uint8_t* bytes, uint32_t length, uint32_t, uint32_t,
             DecodedPicture* out, uint32_t) override {
    if (bytes == nullptr || length < 3) return DECODE_NEED_INPUT;
    if (bytes[0] == 0) return DECODE_NO_PICTURE;
    luma_.fill(bytes[0]);
    cb_.fill(bytes[1]);
    cr_.fill(bytes[2]);
    *out = DecodedPicture{};
    out->luma = luma_.data();
    out->cb = cb_.data();
    out->cr = cr_.data();
    out->width = kWidth;
    out->height = kHeight;
    out->luma_stride = kWidth;
    out->chroma_stride = kWidth / 2;
    return DECODE_PICTURE_READY;
  }
  void destroy(DecoderContext*) override { destroyed = true; }

 private:
  std::array<uint8_t, kWidth * kHeight> luma_{};
  std::array<uint8_t, kWidth * kHeight / 4> cb_{};
  std::array<uint8_t, kWidth * kHeight / 4> cr_{};
};

// Planes of a uniform picture, luma then Cb then Cr.
std::vector<uint8_t> planes_of(Colour colour) {
  std::vector<uint8_t> planes(kWidth * kHeight, colour.y);
  planes.resize(kWidth * kHeight * 5 / 4, colour.cb);
  planes.resize(kWidth * kHeight * 3 / 2, colour.cr);
  return planes;
}

QRgb displayed(Colour colour) {
  const std::vector<uint8_t> planes = planes_of(colour);
  uint32_t pixel[kWidth * kHeight];
  yuv420_to_xrgb32(pixel,
                   Yuv420Planes{planes.data(), planes.data() + kWidth * kHeight,
                                planes.data() + kWidth * kHeight * 5 / 4, kWidth, kWidth / 2},
                   kWidth, kHeight);
  return pixel[0];
}

std::string file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The snapshot file of a uniform picture.
std::string snapshot_of(Colour colour) {
  const std::vector<uint8_t> planes = planes_of(colour);
  std::vector<uint8_t> bgr(kWidth * kHeight * 3);
  yuv420_to_bgr24(bgr.data(), planes.data(), planes.data() + kWidth * kHeight,
                  planes.data() + kWidth * kHeight * 5 / 4, kWidth, kHeight);
  testing::TempFolder folder;
  const std::string path =
      write_bmp((folder.path() / "expected.bmp").string(), bgr.data(), bgr.size(), kWidth, kHeight);
  EXPECT_FALSE(path.empty());
  return file_bytes(path);
}

using testing::process_events_until;

// An empty record and the main window on a quiet camera with a fake decoder.
class SessionVideoTest : public ::testing::Test {
 protected:
  void open(bool device_found = true) {
    SessionOptions options = camera.options();
    if (!device_found) {
      options = testing::without_device();
    }
    options.decoder = decoder;
    run = std::make_unique<testing::SessionWindow>(std::move(options));
    dialog = run->window.get();
  }
  void send(Colour colour) const {
    const uint8_t chunk[] = {colour.y, colour.cb, colour.cr};
    ASSERT_TRUE(ring_put(run->session->packet_ring(), chunk, sizeof chunk));
  }
  VideoWidget* video() const { return dialog->video_area(); }
  // The video area's pixels at its centre and two corners.
  std::vector<QRgb> shown() const {
    const QImage image = video()->grab().toImage();
    return {image.pixel(image.width() / 2, image.height() / 2), image.pixel(0, 0),
            image.pixel(image.width() - 1, image.height() - 1)};
  }
  bool showing(Colour colour) const {
    const std::vector<QRgb> pixels = shown();
    return std::all_of(pixels.begin(), pixels.end(),
                       [&](QRgb pixel) { return pixel == displayed(colour); });
  }
  std::vector<fs::path> pictures() const {
    std::vector<fs::path> files;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(run->record_folder(), missing)) {
      if (entry.path().extension() == ".bmp") files.push_back(entry.path());
    }
    return files;
  }
  int album_rows() const {
    return qobject_cast<QTableWidget*>(dialog->control(MainDialog::kAlbumList))->rowCount();
  }

  testing::MessageBoxRecorder boxes;
  testing::QuietCamera camera;
  std::shared_ptr<FakeDecoder> decoder = std::make_shared<FakeDecoder>();
  std::unique_ptr<testing::SessionWindow> run;
  MainDialog* dialog = nullptr;
};

TEST_F(SessionVideoTest, DecodedPicturesAreShownStretchedOverTheVideoArea) {
  open();
  ASSERT_NE(video(), nullptr);
  EXPECT_TRUE(showing(Colour{16, 128, 128})) << "black before the first picture";
  EXPECT_TRUE(process_events_until([&] { return decoder->created == 1; }));

  send(kRed);
  EXPECT_TRUE(process_events_until([&] { return showing(kRed); }));
  send(kWhite);
  EXPECT_TRUE(process_events_until([&] { return showing(kWhite); }));

  dialog->toggle_full_screen();
  QApplication::processEvents();
  ASSERT_TRUE(dialog->full_screen());
  EXPECT_EQ(video()->size(), dialog->screen()->geometry().size());
  send(kBlue);
  EXPECT_TRUE(process_events_until([&] { return showing(kBlue); }));
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SessionVideoTest, CaptureWritesOneBmpOfTheNextPictureAndReloadsTheAlbum) {
  open();
  ASSERT_EQ(album_rows(), 0);
  QSignalSpy changed(run->session.get(), &ViewerSession::pictures_changed);
  static_cast<QPushButton*>(dialog->control(MainDialog::kCaptureButton))->click();
  ASSERT_TRUE(changed.wait(2000)) << "the album reloads after the pause";
  EXPECT_TRUE(run->session->capture_requested());

  send(kRed);
  ASSERT_TRUE(process_events_until([&] { return album_rows() == 1; }));
  EXPECT_FALSE(run->session->capture_requested());
  const std::vector<fs::path> files = pictures();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(file_bytes(files[0]), snapshot_of(kRed));

  send(kWhite);
  ASSERT_TRUE(process_events_until([&] { return showing(kWhite); }));
  EXPECT_EQ(pictures().size(), 1u) << "one request, one snapshot";
}

TEST_F(SessionVideoTest, TwoCameraCapturesWithinOneSecondGiveTwoPicturesOfTheStream) {
  open();
  ViewerSession& session = *run->session;
  send(kRed);
  ASSERT_TRUE(process_events_until([&] { return showing(kRed) && session.event_port() != 0; }));
  const camsim::ClientTarget camera_button{"127.0.0.1", "127.0.0.1", session.event_port()};
  for (const Colour colour : {kWhite, kBlue}) {
    ASSERT_EQ(camsim::send_event(camera_button, 1), 0);
    ASSERT_TRUE(process_events_until([&] { return session.capture_requested(); }));
    send(colour);
    ASSERT_TRUE(process_events_until([&] { return !session.capture_requested(); }));
  }
  ASSERT_TRUE(process_events_until([&] { return pictures().size() == 2; }));
  std::vector<fs::path> files = pictures();
  std::sort(files.begin(), files.end(), RecordFolder::lists_before);
  EXPECT_EQ(file_bytes(files[0]), snapshot_of(kWhite)) << files[0];
  EXPECT_EQ(file_bytes(files[1]), snapshot_of(kBlue)) << files[1];
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SessionVideoTest, CaptureWithoutALivePictureSaysSoAndWritesNothing) {
  open();
  static_cast<QPushButton*>(dialog->control(MainDialog::kCaptureButton))->click();
  ASSERT_TRUE(process_events_until([&] { return !boxes.shown.empty(); }));
  EXPECT_EQ(boxes.shown[0].text,
            UiTexts(run->app.language_file()).text(text_key::kMessageNoLivePicture))
      << "in the language of the window";
  EXPECT_FALSE(run->session->capture_requested()) << "the request is withdrawn";
  send(kRed);
  ASSERT_TRUE(process_events_until([&] { return showing(kRed); }));
  EXPECT_TRUE(pictures().empty());
}

// The record folder deleted from outside comes back with the next snapshot; a full disk is
// told in the window's language, leaves nothing behind, and the next snapshot works.
TEST_F(SessionVideoTest, VanishedFolderAndFullDiskDoNotStopTheSnapshots) {
  open();
  const auto capture = [&](Colour colour) {
    static_cast<QPushButton*>(dialog->control(MainDialog::kCaptureButton))->click();
    send(colour);
    return process_events_until([&] { return !run->session->capture_requested(); });
  };
  fs::remove_all(run->record_folder());
  ASSERT_TRUE(capture(kRed));
  ASSERT_TRUE(process_events_until([&] { return pictures().size() == 1; }));
  {
    const testing::FileSizeLimit full(1000);
    ASSERT_TRUE(capture(kWhite));
    ASSERT_TRUE(process_events_until([&] { return !boxes.shown.empty(); }));
  }
  EXPECT_EQ(boxes.shown[0].text,
            not_saved_message(UiTexts(run->app.language_file()), {}, StoreProblem::disk_full));
  EXPECT_EQ(std::distance(fs::directory_iterator(run->record_folder()), {}), 1);
  ASSERT_TRUE(capture(kBlue));
  ASSERT_TRUE(process_events_until([&] { return pictures().size() == 2; }));
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(SessionVideoTest, ClosingTheWindowJoinsTheDecodeThread) {
  open();
  send(kRed);
  ASSERT_TRUE(process_events_until([&] { return showing(kRed); }));

  const auto before = std::chrono::steady_clock::now();
  dialog->close();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  EXPECT_TRUE(run->session->stop_requested());
  EXPECT_TRUE(decoder->destroyed) << "the thread ended before close returned";
  EXPECT_TRUE(showing(Colour{16, 128, 128})) << "frames detached from the video area";
}

TEST_F(SessionVideoTest, DestroyingTheWindowJoinsTheDecodeThread) {
  open();
  send(kWhite);
  ASSERT_TRUE(process_events_until([&] { return showing(kWhite); }));
  run->window.reset();
  EXPECT_TRUE(decoder->destroyed);
}

TEST_F(SessionVideoTest, DecoderWithoutPicturesStopsTheChainWithAMessage) {
  open();
  send(Colour{0, 0, 0});
  ASSERT_TRUE(process_events_until([&] { return !boxes.shown.empty(); }));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "视频解码失败");
  EXPECT_EQ(boxes.shown[0].owner, dialog);
  EXPECT_TRUE(run->session->stop_requested());
  dialog->close();
  EXPECT_TRUE(decoder->destroyed);
}

// The real decoder takes the start of a conformance stream from the session's ring without
// complaint.
TEST(SessionProgramsDecoder, TakesTheStreamFromTheRing) {
  const fs::path stream = fs::path(SCOPEMARK_SHARED_DIR) / "conformance/streams/BA1_FT_C.264";
  if (!fs::exists(stream)) GTEST_SKIP() << "no conformance stream at " << stream;
  testing::MessageBoxRecorder boxes;
  testing::QuietCamera camera;
  testing::SessionWindow run(camera.options());
  PacketRing& ring = run.session->packet_ring();

  const std::string bytes = file_bytes(stream);
  constexpr int kChunks = 8;
  ASSERT_GE(bytes.size(), size_t{kChunks} * kChunkBytes);
  for (int i = 0; i < kChunks; ++i) {
    ASSERT_TRUE(ring_put(ring, bytes.data() + i * kChunkBytes, kChunkBytes));
  }
  EXPECT_TRUE(process_events_until([&] {
    return std::none_of(ring.entries, ring.entries + kChunks,
                        [](const PacketSlot& slot) { return slot.ready.load() != 0; });
  }));
  EXPECT_FALSE(run.session->stop_requested());
  run.window->close();
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SessionVideoTest, NoDecodeThreadWithoutAnAdapter) {
  open(false);
  ASSERT_NE(video(), nullptr);
  EXPECT_EQ(decoder->created, 0);
  dialog->close();
  EXPECT_FALSE(decoder->destroyed);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "未找到设备");
}

}  // namespace
}  // namespace scopemark
