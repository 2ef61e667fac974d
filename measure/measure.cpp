#include "measure/measure.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <system_error>

#include "records/user_removal.h"

namespace scopemark::measure {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kSidecarHeader = "scopemark-measure ";
constexpr int kSidecarVersion = 1;
constexpr std::string_view kCalibrationKey = "calibration";
// Larger files are not sidecars this program wrote; they are refused unread.
constexpr std::uintmax_t kMaxSidecarBytes = 16 << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kSquared = "\xC2\xB2";
constexpr std::string_view kDegree = "\xC2\xB0";
// Indexed by Kind.
constexpr std::array<std::string_view, 4> kKindNames = {"line", "polyline", "circle", "angle"};

bool finite(Point p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// A calibration with a finite positive scale.
bool usable(const Calibration* calibration) {
  return calibration && std::isfinite(calibration->units_per_pixel) &&
         calibration->units_per_pixel > 0;
}

// Shortest text that reads back as the same double ("2.5", "1e-05"), or with `precision`
// significant digits and no trailing zeros.
std::string number_text(double value, std::chars_format format = std::chars_format::general,
                        int precision = -1) {
  std::array<char, 400> buffer;
  const auto result =
      precision < 0
          ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format)
          : std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, precision);
  return std::string(buffer.data(), result.ptr);
}

// The whole of `text` as a finite double.
std::optional<double> parse_number(std::string_view text) {
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Names are kept with '%', '|', '=' and control bytes as %XX, so that an encoded calibration
// is one line without separators of its own; a leading blank too, so that settings files that
// trim values keep it.
bool needs_escape(unsigned char c, bool first) {
  return c < 0x20 || c == 0x7F || c == '%' || c == '|' || c == '=' || (first && c == ' ');
}

std::string escape_name(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(name.size());
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (needs_escape(c, out.empty())) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> unescape_name(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hex_digit(text[i + 1]);
    const int low = hex_digit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::string_view unit_code(Unit unit) {
  return unit == Unit::millimetre ? "mm" : unit == Unit::micrometre ? "um" : "px";
}

// What decode_calibration gives back: a name, a length unit and a finite positive scale.
bool valid(const Calibration& calibration) {
  return !calibration.name.empty() && calibration.unit != Unit::pixel && usable(&calibration);
}

// Splits off the text before the first `separator` (all of it when there is none).
std::string_view take_until(std::string_view& text, char separator) {
  const size_t end = text.find(separator);
  const std::string_view taken = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  return taken;
}

// 1, 2 or 5 x 10^n as close to its decimal value as a double gets.
double round_length(int mantissa, int exponent) {
  if (exponent < -22 || exponent > 22) return mantissa * std::pow(10.0, exponent);
  double power = 1;
  for (int i = 0; i < std::abs(exponent); ++i) power *= 10;  // exact up to 10^22
  return exponent >= 0 ? mantissa * power : mantissa / power;
}

size_t points_needed(Kind kind) {
  return kind == Kind::line || kind == Kind::polyline ? 2 : 3;
}

// The point count fits the kind and every coordinate is finite: what a sidecar can hold.
bool storable(const Measurement& m) {
  const size_t n = m.points.size();
  const bool count_fits = m.kind == Kind::polyline ? n >= 2 : n == points_needed(m.kind);
  if (!count_fits) return false;
  for (const Point& p : m.points) {
    if (!finite(p)) return false;
  }
  return true;
}

std::optional<Kind> kind_of(std::string_view name) {
  const auto found = std::find(kKindNames.begin(), kKindNames.end(), name);
  if (found == kKindNames.end()) return std::nullopt;
  return static_cast<Kind>(found - kKindNames.begin());
}

std::optional<Measurement> parse_measurement(std::string_view line) {
  std::vector<std::string_view> words;
  while (!line.empty()) {
    const std::string_view word = take_until(line, ' ');
    if (!word.empty()) words.push_back(word);
  }
  if (words.empty()) return std::nullopt;
  const auto kind = kind_of(words[0]);
  if (!kind || words.size() % 2 == 0) return std::nullopt;
  Measurement m{*kind, {}};
  for (size_t i = 1; i < words.size(); i += 2) {
    const auto x = parse_number(words[i]);
    const auto y = parse_number(words[i + 1]);
    if (!x || !y) return std::nullopt;
    m.points.push_back({*x, *y});
  }
  if (!storable(m)) return std::nullopt;
  return m;
}

bool fail(std::string* error, const fs::path& path, int code) {
  if (error) *error = path.string() + ": " + std::generic_category().message(code);
  return false;
}

// Writes all of `text` to `fd`; false with errno set otherwise. No fsync: sidecars are saved
// from the GUI thread, and the rename alone never exposes a partial file.
bool write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// A new hidden file beside `path` (same folder, so the rename stays on one file system), with
// the permissions of any new file; -1 with errno set when none can be made.
std::pair<int, std::string> create_temporary(const fs::path& path) {
  static std::atomic<unsigned> counter{0};
  const std::string stem = (path.parent_path() / ("." + path.filename().string() + "." +
                                                  std::to_string(::getpid()) + "-"))
                               .string();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temporary = stem + std::to_string(counter++) + ".part";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return {fd, std::move(temporary)};
  }
  return {-1, {}};
}

std::string csv_field(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string out = "\"";
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

}  // namespace

std::string_view unit_symbol(Unit unit) {
  switch (unit) {
    case Unit::pixel:
      return "px";
    case Unit::micrometre:
      return "\xC2\xB5m";
    case Unit::millimetre:
      return "mm";
  }
  return "px";
}

std::optional<Calibration> calibrate(std::string name, Point a, Point b, double length, Unit unit) {
  const double pixels = distance(a, b);
  if (name.empty() || !(pixels >= 1) || !std::isfinite(pixels) || !std::isfinite(length) ||
      length <= 0 || unit == Unit::pixel) {
    return std::nullopt;
  }
  const double units_per_pixel = length / pixels;
  if (!(units_per_pixel > 0)) return std::nullopt;  // underflow
  return Calibration{std::move(name), unit, units_per_pixel};
}

std::string encode_calibration(const Calibration& calibration) {
  return escape_name(calibration.name) + '|' + std::string(unit_code(calibration.unit)) + '|' +
         number_text(calibration.units_per_pixel);
}

std::optional<Calibration> decode_calibration(std::string_view text) {
  const std::string_view name_text = take_until(text, '|');
  const std::string_view unit_text = take_until(text, '|');
  auto name = unescape_name(name_text);
  const auto units_per_pixel = parse_number(text);
  if (!name || !units_per_pixel) return std::nullopt;
  const Unit unit = unit_text == unit_code(Unit::millimetre)   ? Unit::millimetre
                    : unit_text == unit_code(Unit::micrometre) ? Unit::micrometre
                                                               : Unit::pixel;
  Calibration calibration{std::move(*name), unit, *units_per_pixel};
  if (!valid(calibration)) return std::nullopt;
  return calibration;
}

double round_length_at_most(double limit) {
  if (!(limit > 0) || !std::isfinite(limit)) return 0;
  int exponent = static_cast<int>(std::floor(std::log10(limit)));
  // log10 may land one off near powers of ten.
  if (round_length(1, exponent) > limit) --exponent;
  if (round_length(1, exponent + 1) <= limit) ++exponent;
  for (const int mantissa : {5, 2, 1}) {
    const double length = round_length(mantissa, exponent);
    if (length <= limit) return length;
  }
  return 0;  // below the smallest double
}

std::optional<ScaleBar> scale_bar(const Calibration* calibration, double max_pixels) {
  if (!(max_pixels > 0) || !std::isfinite(max_pixels)) return std::nullopt;
  if (calibration && !usable(calibration)) return std::nullopt;
  const double units_per_pixel = calibration ? calibration->units_per_pixel : 1;
  const Unit unit = calibration ? calibration->unit : Unit::pixel;
  double limit = max_pixels * units_per_pixel;
  double length = round_length_at_most(limit);
  // The product may round up: step down when the bar would come out a hair too long.
  if (length / units_per_pixel > max_pixels) {
    length = round_length_at_most(std::nextafter(length, 0.0));
  }
  if (!(length > 0) || (!calibration && length < 1)) return std::nullopt;
  ScaleBar bar{length, length / units_per_pixel, unit, {}};
  bar.label = number_text(length, std::chars_format::fixed) + ' ' + std::string(unit_symbol(unit));
  return bar;
}

double distance(Point a, Point b) {
  return std::hypot(b.x - a.x, b.y - a.y);
}

double polyline_length(const std::vector<Point>& points) {
  double length = 0;
  for (size_t i = 1; i < points.size(); ++i) length += distance(points[i - 1], points[i]);
  return length;
}

std::optional<Circle> circle_through(Point a, Point b, Point c) {
  // Relative to `a`, so that large coordinates lose no precision.
  const double bx = b.x - a.x, by = b.y - a.y;
  const double cx = c.x - a.x, cy = c.y - a.y;
  const double cross = bx * cy - by * cx;
  const double longest = std::max(
      {bx * bx + by * by, cx * cx + cy * cy, (cx - bx) * (cx - bx) + (cy - by) * (cy - by)});
  // Collinear, coincident or so nearly collinear that the centre is lost in rounding.
  if (!(std::abs(cross) > 1e-9 * longest)) return std::nullopt;
  const double b2 = bx * bx + by * by;
  const double c2 = cx * cx + cy * cy;
  const double ux = (cy * b2 - by * c2) / (2 * cross);
  const double uy = (bx * c2 - cx * b2) / (2 * cross);
  const Circle circle{{a.x + ux, a.y + uy}, std::hypot(ux, uy)};
  if (!finite(circle.centre) || !std::isfinite(circle.radius)) return std::nullopt;
  return circle;
}

double angle_degrees(Point a, Point vertex, Point c) {
  const double ax = a.x - vertex.x, ay = a.y - vertex.y;
  const double cx = c.x - vertex.x, cy = c.y - vertex.y;
  if ((ax == 0 && ay == 0) || (cx == 0 && cy == 0)) return 0;
  const double degrees =
      std::atan2(std::abs(ax * cy - ay * cx), ax * cx + ay * cy) * 180 / std::numbers::pi;
  return std::isfinite(degrees) ? degrees : 0;
}

std::string_view kind_name(Kind kind) {
  const auto index = static_cast<size_t>(kind);
  return index < kKindNames.size() ? kKindNames[index] : kKindNames[0];
}

bool complete(const Measurement& m) {
  if (!storable(m)) return false;
  const auto& p = m.points;
  switch (m.kind) {
    case Kind::line:
    case Kind::polyline:
      return polyline_length(p) > 0;
    case Kind::circle:
      return circle_through(p[0], p[1], p[2]).has_value();
    case Kind::angle:
      return p[0] != p[1] && p[2] != p[1];
  }
  return false;
}

std::vector<Value> values_of(const Measurement& m, const Calibration* calibration) {
  if (!complete(m)) return {};
  const bool calibrated = usable(calibration);
  const double scale = calibrated ? calibration->units_per_pixel : 1;
  const std::string unit(unit_symbol(calibrated ? calibration->unit : Unit::pixel));
  const auto& p = m.points;
  switch (m.kind) {
    case Kind::line:
    case Kind::polyline:
      return {{"length", polyline_length(p) * scale, unit}};
    case Kind::circle: {
      const double radius = circle_through(p[0], p[1], p[2])->radius * scale;
      return {{"diameter", 2 * radius, unit},
              {"area", std::numbers::pi * radius * radius, unit + std::string(kSquared)}};
    }
    case Kind::angle:
      return {{"angle", angle_degrees(p[0], p[1], p[2]), std::string(kDegree)}};
  }
  return {};
}

std::string sidecar_name(std::string_view picture_file_name) {
  return std::string(picture_file_name) + ".measure";
}

fs::path sidecar_path(const fs::path& picture) {
  return picture.parent_path() / sidecar_name(picture.filename().string());
}

void remove_sidecar(const fs::path& picture) {
  const fs::path sidecar = sidecar_path(picture);
  std::error_code error;
  if (fs::exists(fs::symlink_status(sidecar, error))) remove_user_entry(sidecar);
}

bool remove_picture_and_sidecar(const fs::path& picture) {
  if (!remove_user_entry(picture)) return false;
  remove_sidecar(picture);
  return true;
}

std::string write_sidecar(const Sidecar& sidecar) {
  std::string text = std::string(kSidecarHeader) + std::to_string(kSidecarVersion) + '\n';
  if (sidecar.calibration && valid(*sidecar.calibration)) {
    text += std::string(kCalibrationKey) + ' ' + encode_calibration(*sidecar.calibration) + '\n';
  }
  for (const Measurement& m : sidecar.measurements) {
    if (!storable(m)) continue;  // nothing a reader could take back
    text += kind_name(m.kind);
    for (const Point& p : m.points) text += ' ' + number_text(p.x) + ' ' + number_text(p.y);
    text += '\n';
  }
  return text;
}

std::optional<Sidecar> read_sidecar(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  std::string_view first = take_until(text, '\n');
  if (first.ends_with('\r')) first.remove_suffix(1);
  if (first != std::string(kSidecarHeader) + std::to_string(kSidecarVersion)) return std::nullopt;
  Sidecar sidecar;
  while (!text.empty()) {
    std::string_view line = take_until(text, '\n');
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.find_first_not_of(' ') == std::string_view::npos) continue;
    if (line.starts_with(kCalibrationKey) && line.size() > kCalibrationKey.size() &&
        line[kCalibrationKey.size()] == ' ') {
      if (sidecar.calibration) return std::nullopt;
      sidecar.calibration = decode_calibration(line.substr(kCalibrationKey.size() + 1));
      if (!sidecar.calibration) return std::nullopt;
      continue;
    }
    auto m = parse_measurement(line);
    if (!m) return std::nullopt;
    sidecar.measurements.push_back(std::move(*m));
  }
  return sidecar;
}

bool save_sidecar(const fs::path& picture, const Sidecar& sidecar, std::string* error) {
  const fs::path path = sidecar_path(picture);
  const std::string text = write_sidecar(sidecar);
  if (text == write_sidecar({})) {
    std::error_code ec;
    fs::remove(path, ec);
    return ec ? fail(error, path, ec.value()) : true;
  }
  const auto [fd, temporary] = create_temporary(path);
  if (fd < 0) return fail(error, path, errno);
  const bool written = write_all(fd, text);
  int code = written ? 0 : errno;
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) code = errno;
  if (code == 0) return true;
  std::remove(temporary.c_str());
  return fail(error, path, code);
}

std::optional<Sidecar> load_sidecar(const fs::path& picture) {
  const fs::path path = sidecar_path(picture);
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return Sidecar{};
  if (ec || status.type() != fs::file_type::regular) return std::nullopt;
  const auto size = fs::file_size(path, ec);
  if (ec || size > kMaxSidecarBytes) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return std::nullopt;
  return read_sidecar(text);
}

std::string measurements_csv(const std::vector<CsvRow>& rows) {
  // The byte order mark makes spreadsheets read "µm²" as UTF-8; CRLF ends records.
  std::string text = std::string(kByteOrderMark) + "picture,kind,value,unit,calibration\r\n";
  for (const CsvRow& row : rows) {
    text += csv_field(row.picture) + ',' + csv_field(row.kind) + ',' +
            number_text(row.value, std::chars_format::general, 10) + ',' + csv_field(row.unit) +
            ',' + csv_field(row.calibration) + "\r\n";
  }
  return text;
}

std::vector<CsvRow> csv_rows(std::string_view picture, const Sidecar& sidecar) {
  const Calibration* calibration = sidecar.calibration ? &*sidecar.calibration : nullptr;
  const std::string calibration_name = usable(calibration) ? calibration->name : std::string();
  std::vector<CsvRow> rows;
  for (const Measurement& m : sidecar.measurements) {
    for (Value& value : values_of(m, calibration)) {
      rows.push_back({std::string(picture), std::string(kind_name(m.kind)), value.value,
                      std::move(value.unit), calibration_name});
    }
  }
  return rows;
}

}  // namespace scopemark::measure
