#include "app/received_picture.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <cerrno>
#include <cstdio>
#include <string>

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

StoreProblem decode_and_save_bmp(std::span<const std::uint8_t> bytes,
                                 const std::filesystem::path& path) {
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
    return StoreProblem::undecodable;
  }
  const QImage image = reader.read();
  if (image.isNull()) return StoreProblem::undecodable;
  QByteArray bmp;
  QBuffer buffer(&bmp);
  if (!buffer.open(QIODevice::WriteOnly) ||
      !image.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP")) {
    return StoreProblem::undecodable;
  }
  // Written through the path itself: the camera's name is bytes, not necessarily UTF-8.
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return store_problem_of(errno != 0 ? errno : EIO);
  const auto bytes_to_write = static_cast<std::size_t>(bmp.size());
  const bool written = std::fwrite(bmp.constData(), 1, bytes_to_write, file) == bytes_to_write;
  return store_problem_of(close_picture_file(file, written, path));
}

}  // namespace scopemark
