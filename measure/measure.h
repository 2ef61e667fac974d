// Measuring on pictures: calibrations, the scale bar, the geometry of measurements, their
// sidecar files beside the pictures and CSV export. Plain C++, no Qt.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scopemark::measure {

// Positions are in pixels of the camera's full picture (not of the widget).
struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

enum class Unit { pixel, micrometre, millimetre };

// "px", "µm" (UTF-8), "mm".
std::string_view unit_symbol(Unit unit);

// A named calibration: one length unit per `units_per_pixel` picture pixels.
struct Calibration {
  std::string name;  // UTF-8, as the user typed it
  Unit unit = Unit::micrometre;
  double units_per_pixel = 1;
  friend bool operator==(const Calibration&, const Calibration&) = default;
};

// A line from `a` to `b` drawn over a known `length` in `unit` (micrometre or millimetre).
// Refused (nullopt) when the line is shorter than one pixel, the length not finite and
// positive, the unit is pixel, or the name is empty.
std::optional<Calibration> calibrate(std::string name, Point a, Point b, double length, Unit unit);

// A calibration as one settings value and back: "NAME|um|2.5" (unit "um" or "mm"), the name
// with '%', '|', '=', control bytes and a leading blank as %XX; any name and double round-trip
// exactly. Decoding refuses an empty name, a pixel unit and a scale not finite and positive.
std::string encode_calibration(const Calibration& calibration);
std::optional<Calibration> decode_calibration(std::string_view text);

// Scale bar: the largest length of the form 1, 2 or 5 x 10^n (n any integer) in the
// calibration's unit whose bar is at most `max_pixels` picture pixels long; nullopt when none
// (max_pixels <= 0). Without a calibration (nullptr) lengths are in pixels (n >= 0).
struct ScaleBar {
  double length = 0;        // in the unit
  double pixels = 0;        // picture pixels
  Unit unit = Unit::pixel;  // the unit of `length`
  std::string label;        // e.g. "200 µm", "1 mm", "50 px"
};
std::optional<ScaleBar> scale_bar(const Calibration* calibration, double max_pixels);
double round_length_at_most(double limit);  // 1/2/5 x 10^n <= limit, 0 when limit <= 0

// Geometry.
double distance(Point a, Point b);
double polyline_length(const std::vector<Point>& points);
struct Circle {
  Point centre;
  double radius = 0;
};
std::optional<Circle> circle_through(Point a, Point b, Point c);  // nullopt when collinear
double angle_degrees(Point a, Point vertex, Point c);             // 0..180; 0 if degenerate

enum class Kind { line, polyline, circle, angle };
std::string_view kind_name(Kind kind);  // "line", "polyline", "circle", "angle" (files, CSV)

struct Measurement {
  Kind kind = Kind::line;
  std::vector<Point> points;  // line 2, polyline >= 2, circle 3, angle 3 (a, vertex, c)
  friend bool operator==(const Measurement&, const Measurement&) = default;
};
bool complete(const Measurement& m);  // has the points its kind needs and is not degenerate

// What a measurement shows: one or more values, each with its unit symbol.
// line/polyline: length; circle: diameter and area (unit²); angle: degrees ("°").
struct Value {
  std::string quantity;  // "length", "diameter", "area", "angle"
  double value = 0;
  std::string unit;  // "µm", "mm²", "px", "°" ...
};
std::vector<Value> values_of(const Measurement& m, const Calibration* calibration);

// Sidecar kept next to a picture: its calibration (if any) and its measurements.
struct Sidecar {
  std::optional<Calibration> calibration;
  std::vector<Measurement> measurements;
  friend bool operator==(const Sidecar&, const Sidecar&) = default;
};
std::string sidecar_name(std::string_view picture_file_name);  // e.g. "X.bmp" -> "X.bmp.measure"
std::filesystem::path sidecar_path(const std::filesystem::path& picture);  // beside the picture
// The sidecar of `picture`, if there is one, goes where the user's removals go (the trash when
// there is one); for a picture replaced by another of its name.
void remove_sidecar(const std::filesystem::path& picture);
// A picture the user removes, and then its sidecar; false (sidecar kept) when the picture stays.
bool remove_picture_and_sidecar(const std::filesystem::path& picture);
// Text with a versioned first line ("scopemark-measure 1"), then "calibration " and the encoded
// calibration, then one line per measurement: its kind and coordinates. What no reader could
// take back (a wrong point count, a coordinate not finite, an invalid calibration) is left out.
std::string write_sidecar(const Sidecar& sidecar);
std::optional<Sidecar> read_sidecar(std::string_view text);  // nullopt when malformed
// Files: the sidecar of `picture` beside it. Saving writes a temporary file and renames it
// (never a partial sidecar); an empty sidecar removes the file. Loading a missing file gives
// an empty sidecar; an unreadable or malformed one gives nullopt (the caller says so).
bool save_sidecar(const std::filesystem::path& picture, const Sidecar& sidecar, std::string* error);
std::optional<Sidecar> load_sidecar(const std::filesystem::path& picture);

// CSV of a record's measurements: header "picture,kind,value,unit,calibration", one row per
// value, RFC 4180 quoting and CRLF, numbers with '.' and ten significant digits; UTF-8 with a
// byte order mark, which spreadsheets need to read "µm²".
struct CsvRow {
  std::string picture;
  std::string kind;
  double value = 0;
  std::string unit;
  std::string calibration;
};
std::string measurements_csv(const std::vector<CsvRow>& rows);
std::vector<CsvRow> csv_rows(std::string_view picture, const Sidecar& sidecar);

}  // namespace scopemark::measure
