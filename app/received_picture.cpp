#include "app/received_picture.h"

#include <QBuffer>
#include <QImage>

#include <fstream>
#include <system_error>

namespace scopemark {

bool decode_and_save_bmp(std::span<const std::uint8_t> bytes, const std::filesystem::path& path) {
  QImage image;
  if (!image.loadFromData(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())))) {
    return false;
  }
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
