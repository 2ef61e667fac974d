#include "measure/measure.h"

#include <cmath>

namespace scopemark::measure {

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
  if (name.empty() || pixels < 1 || !std::isfinite(length) || length <= 0 || unit == Unit::pixel) {
    return std::nullopt;
  }
  return Calibration{std::move(name), unit, length / pixels};
}

std::string encode_calibration(const Calibration&) {
  return {};
}
std::optional<Calibration> decode_calibration(std::string_view) {
  return std::nullopt;
}

std::optional<ScaleBar> scale_bar(const Calibration*, double) {
  return std::nullopt;
}
double round_length_at_most(double) {
  return 0;
}

double distance(Point a, Point b) {
  return std::hypot(b.x - a.x, b.y - a.y);
}
double polyline_length(const std::vector<Point>&) {
  return 0;
}
std::optional<Circle> circle_through(Point, Point, Point) {
  return std::nullopt;
}
double angle_degrees(Point, Point, Point) {
  return 0;
}

std::string_view kind_name(Kind) {
  return "line";
}
bool complete(const Measurement&) {
  return false;
}
std::vector<Value> values_of(const Measurement&, const Calibration*) {
  return {};
}

std::string sidecar_name(std::string_view picture_file_name) {
  return std::string(picture_file_name) + ".measure";
}
std::string write_sidecar(const Sidecar&) {
  return {};
}
std::optional<Sidecar> read_sidecar(std::string_view) {
  return std::nullopt;
}
bool save_sidecar(const std::filesystem::path&, const Sidecar&, std::string*) {
  return false;
}
std::optional<Sidecar> load_sidecar(const std::filesystem::path&) {
  return Sidecar{};
}

std::string measurements_csv(const std::vector<CsvRow>&) {
  return {};
}
std::vector<CsvRow> csv_rows(std::string_view, const Sidecar&) {
  return {};
}

}  // namespace scopemark::measure
