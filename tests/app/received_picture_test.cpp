// Received pictures whose header declares a huge image are refused before decoding.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <array>
#include <cstdint>
#include <vector>

#include "app/received_picture.h"
#include "support/file_size_limit.h"

namespace scopemark {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes encoded(const char* format, int side = 16) {
  QImage image(side, side, QImage::Format_RGB888);
  image.fill(Qt::darkCyan);
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return Bytes(data.begin(), data.end());
}

void put_be(Bytes& bytes, size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<uint8_t>(value >> 8 * (size - 1 - i));
}

uint32_t crc32(const uint8_t* data, size_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// A small PNG whose header (with a valid checksum) declares width x height.
Bytes png_declaring(uint32_t width, uint32_t height) {
  Bytes png = encoded("PNG");
  put_be(png, 16, width, 4);  // IHDR data follows the signature, length and type
  put_be(png, 20, height, 4);
  put_be(png, 29, crc32(png.data() + 12, 17), 4);
  return png;
}

// A small baseline JPEG whose frame header declares width x height.
Bytes jpeg_declaring(uint16_t width, uint16_t height) {
  Bytes jpeg = encoded("JPEG");
  for (size_t at = 2; at + 9 < jpeg.size(); ++at) {
    if (jpeg[at] == 0xFF && jpeg[at + 1] == 0xC0) {
      put_be(jpeg, at + 5, height, 2);
      put_be(jpeg, at + 7, width, 2);
      return jpeg;
    }
  }
  ADD_FAILURE() << "no frame header";
  return jpeg;
}

TEST(ReceivedPicture, HugeDeclaredPicturesAreRefusedUnread) {
  QTemporaryDir folder;
  const QString path = folder.filePath("20261208101500.bmp");
  QFile earlier(path);
  ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
  earlier.write("earlier");
  earlier.close();
  const std::array<Bytes, 3> hostile = {png_declaring(30000, 30000), jpeg_declaring(30000, 30000),
                                        png_declaring(8000, 8000)};
  for (const Bytes& picture : hostile) {
    ASSERT_LT(picture.size(), 2000u);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(decode_and_save_bmp(picture, path.toStdString()), StoreProblem::undecodable);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("received picture refused"),
              std::string::npos);
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly)) << "neither deleted nor replaced";
    EXPECT_EQ(earlier.readAll(), "earlier");
    earlier.close();
  }
  // Within the limits the same kind of file is stored.
  EXPECT_EQ(decode_and_save_bmp(png_declaring(16, 16), path.toStdString()), StoreProblem::none);
  EXPECT_EQ(QImage(path).size(), QSize(16, 16));
}

TEST(ReceivedPicture, AFullDiskLeavesNoPartialFile) {
  QTemporaryDir folder;
  const std::string path = folder.filePath("full.bmp").toStdString();
  {
    const testing::FileSizeLimit full(4000);
    EXPECT_EQ(decode_and_save_bmp(encoded("PNG", 64), path), StoreProblem::disk_full);
  }
  EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
}

}  // namespace
}  // namespace scopemark
