#include "app/received_picture.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <fstream>
#include <string>
#include <system_error>

#include "link/link_log.h"

namespace scopemark {
namespace {

// Qt's limit for one decoded image: the largest picture accepted, at four bytes a pixel. Set
// before main, while no thread reads images yet.
[[maybe_unused]] const bool allocation_limit_set = [] {
  QImageReader::setAllocationLimit(static_cast<int>((kMaxReceivedPixels * 4 + 0xFFFFF) >> 20));
  return true;
}();

bool acceptable_size(const QSize& size) {
  return size.width() <= kMaxReceivedSide && size.height() <= kMaxReceivedSide &&
         std::int64_t{size.width()} * size.height() <= kMaxReceivedPixels;
}

}  // namespace

bool decode_and_save_bmp(std::span<const std::uint8_t> bytes, const std::filesystem::path& path) {
  const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<qsizetype>(bytes.size()));
  QBuffer source;
  source.setData(data);
  source.open(QIODevice::ReadOnly);
  QImageReader reader(&source);
  const QSize size = reader.size();
  if (size.isValid() && !acceptable_size(size)) {
    write_log({}, "received picture refused: it declares " + std::to_string(size.width()) + " x " +
                      std::to_string(size.height()) + " pixels\n");
    return false;
  }
  const QImage image = reader.read();
  if (image.isNull()) return false;
  QByteArray bmp;
  QBuffer buffer(&bmp);
  if (!buffer.open(QIODevice::WriteOnly) ||
      !image.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP")) {
    return false;
  }
  // Written through the path itself: the camera's name is bytes, not necessarily UTF-8.
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (file.write(bmp.constData(), bmp.size()) && file.flush()) return true;
  file.close();
  std::error_code error;
  std::filesystem::remove(path, error);
  return false;
}

}  // namespace scopemark
