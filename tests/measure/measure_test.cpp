#include "measure/measure.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <tuple>

#include "records/temp_folder.h"

namespace scopemark::measure {
namespace {

namespace fs = std::filesystem;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Calibrate, ScaleInTheTypedUnitAndRefusals) {
  const auto um = calibrate("x10", {100, 50}, {340, 370}, 1000, Unit::micrometre);  // 400 px
  EXPECT_EQ(um, (Calibration{"x10", Unit::micrometre, 2.5}));
  EXPECT_EQ(calibrate("x10", {0, 0}, {400, 0}, 1, Unit::millimetre),
            (Calibration{"x10", Unit::millimetre, 0.0025}));
  EXPECT_TRUE(calibrate("a", {0, 0}, {1, 0}, 1, Unit::micrometre));
  EXPECT_FALSE(calibrate("a", {0, 0}, {0.6, 0.6}, 1, Unit::micrometre));  // under one pixel
  EXPECT_FALSE(calibrate("a", {0, 0}, {kNaN, 0}, 1, Unit::micrometre));
  EXPECT_FALSE(calibrate("", {0, 0}, {100, 0}, 1, Unit::micrometre));
  EXPECT_FALSE(calibrate("a", {0, 0}, {100, 0}, 1, Unit::pixel));
  for (const double length : {0.0, -1.0, kNaN, kInf}) {
    EXPECT_FALSE(calibrate("a", {0, 0}, {100, 0}, length, Unit::micrometre)) << length;
  }
}

TEST(CalibrationText, RoundTripsAwkwardNamesAndExactDoubles) {
  EXPECT_EQ(encode_calibration({"x10", Unit::micrometre, 2.5}), "x10|um|2.5");
  for (const Calibration& c : {
           Calibration{"a|b=c%d", Unit::micrometre, 0.1 + 0.2},
           Calibration{"line\nbreak\r|um|1", Unit::millimetre, 1.0 / 3},
           Calibration{"Objektiv 40× \xE2\x80\x9C\xCE\xBC\xE2\x80\x9D %41", Unit::micrometre,
                       std::numeric_limits<double>::denorm_min()},
           Calibration{"  lead", Unit::millimetre, std::numeric_limits<double>::max()},
       }) {
    const std::string text = encode_calibration(c);
    EXPECT_EQ(text.find_first_of("\r\n="), std::string::npos) << text;
    EXPECT_NE(text.front(), ' ') << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '|'), 2) << text;
    EXPECT_EQ(decode_calibration(text), c) << text;
  }
  EXPECT_EQ(decode_calibration("x%7c10|mm|2.5e-3"),
            (Calibration{"x|10", Unit::millimetre, 0.0025}));
  for (const std::string_view text :
       {"", "x10", "x10|um", "x10|um|", "|um|2.5", "x10||2.5", "x10|km|2.5", "x10|px|2.5",
        "x10|um|2.5|1", "x10|um|0", "x10|um|-2.5", "x10|um|inf", "x10|um|nan", "x10|um|2,5",
        "x10|um| 2.5", "x%|um|2.5", "x%4|um|2.5", "x%zz|um|2.5", "x10|um|1e999"}) {
    EXPECT_FALSE(decode_calibration(text)) << text;
  }
}

TEST(ScaleBar, RoundLengthsAndLabels) {
  const std::pair<double, double> limits[] = {
      {7.3, 5},  {10, 10},   {0.034, 0.02},  {199.999, 100}, {0.999, 0.5},   {1, 1},
      {4.99, 2}, {0.3, 0.2}, {0.001, 0.001}, {1e25, 1e25},   {3e-30, 2e-30},
  };
  for (const auto& [limit, expected] : limits) {
    EXPECT_EQ(round_length_at_most(limit), expected) << limit;  // the nearest double exactly
  }
  for (const double limit : {0.0, -3.0, kNaN, kInf}) EXPECT_EQ(round_length_at_most(limit), 0);

  const Calibration um{"x10", Unit::micrometre, 2.5};
  const auto bar = scale_bar(&um, 100).value();  // up to 250 µm
  EXPECT_EQ(std::tie(bar.length, bar.pixels, bar.unit, bar.label),
            std::tuple(200.0, 80.0, Unit::micrometre, "200 µm"));
  const Calibration mm{"x10", Unit::millimetre, 0.0025};
  EXPECT_EQ(scale_bar(&mm, 100)->label, "0.2 mm");
  EXPECT_EQ(scale_bar(&mm, 500)->label, "1 mm");
  EXPECT_DOUBLE_EQ(scale_bar(&mm, 500)->pixels, 400);
  const Calibration tenth{"t", Unit::millimetre, 0.1};  // 3 x 0.1 rounds up to 0.3
  EXPECT_LE(scale_bar(&tenth, 3)->pixels, 3);
  const Calibration broken{"b", Unit::micrometre, kNaN};
  EXPECT_FALSE(scale_bar(&broken, 100));
  EXPECT_FALSE(scale_bar(&um, 0));

  EXPECT_EQ(scale_bar(nullptr, 73)->label, "50 px");
  EXPECT_EQ(scale_bar(nullptr, 123456)->label, "100000 px");
  EXPECT_FALSE(scale_bar(nullptr, 0.9));  // no fractions of a pixel
}

TEST(Geometry, CircleThroughThreePoints) {
  const auto expect_circle = [](std::optional<Circle> circle, Point centre, double radius) {
    ASSERT_TRUE(circle);
    EXPECT_NEAR(circle->centre.x, centre.x, 1e-7);
    EXPECT_NEAR(circle->centre.y, centre.y, 1e-7);
    EXPECT_NEAR(circle->radius, radius, 1e-9);
  };
  expect_circle(circle_through({1, 0}, {0, 1}, {-1, 0}), {0, 0}, 1);
  // Far from the origin: no precision lost to the coordinates' size.
  expect_circle(circle_through({1e6 + 5, 2e6}, {1e6, 2e6 + 5}, {1e6 - 3, 2e6 - 4}), {1e6, 2e6}, 5);
  // A shallow arc still counts: sagitta 1 over a chord of 2000.
  expect_circle(circle_through({0, 0}, {1000, 1}, {2000, 0}), {1000, -499999.5}, 500000.5);

  EXPECT_FALSE(circle_through({0, 0}, {1, 1}, {2, 2}));
  EXPECT_FALSE(circle_through({0, 0}, {2000, 1e-9}, {4000, 0}));  // nearly collinear
  EXPECT_FALSE(circle_through({3, 3}, {3, 3}, {5, 1}));
  EXPECT_FALSE(circle_through({3, 3}, {3, 3}, {3, 3}));
  EXPECT_FALSE(circle_through({0, 0}, {kNaN, 1}, {1, 0}));
}

TEST(Geometry, AngleAtTheVertex) {
  EXPECT_DOUBLE_EQ(angle_degrees({5, 0}, {0, 0}, {0, 7}), 90);
  EXPECT_DOUBLE_EQ(angle_degrees({0, 7}, {0, 0}, {5, 0}), 90);  // either order
  EXPECT_DOUBLE_EQ(angle_degrees({-4, 1}, {0, 1}, {9, 1}), 180);
  EXPECT_DOUBLE_EQ(angle_degrees({2, 2}, {0, 0}, {5, 5}), 0);
  EXPECT_NEAR(angle_degrees({10, 10}, {10, 0}, {20, 10}), 45, 1e-12);
  EXPECT_EQ(angle_degrees({1, 1}, {1, 1}, {5, 1}), 0);  // degenerate
  EXPECT_EQ(angle_degrees({0, 0}, {1, 1}, {1, 1}), 0);
}

// "quantity value unit; ..." with ten significant digits.
std::string shown(const std::vector<Value>& values) {
  std::string text;
  char number[32];
  for (const Value& v : values) {
    std::snprintf(number, sizeof number, "%.10g", v.value);
    text += v.quantity + ' ' + number + ' ' + v.unit + "; ";
  }
  return text;
}

TEST(Values, InTheCalibratedUnit) {
  const Calibration um{"x10", Unit::micrometre, 2.5};
  const Calibration mm{"m", Unit::millimetre, 0.0025};
  const Measurement circle{Kind::circle, {{10, 0}, {0, 10}, {-10, 0}}};  // radius 10 px
  EXPECT_EQ(shown(values_of({Kind::line, {{0, 0}, {30, 40}}}, &um)), "length 125 µm; ");
  EXPECT_EQ(shown(values_of({Kind::polyline, {{0, 0}, {0, 4}, {3, 0}}}, nullptr)), "length 9 px; ");
  EXPECT_EQ(shown(values_of(circle, &um)), "diameter 50 µm; area 1963.495408 µm²; ");
  EXPECT_EQ(shown(values_of(circle, &mm)), "diameter 0.05 mm; area 0.001963495408 mm²; ");
  EXPECT_EQ(shown(values_of(circle, nullptr)), "diameter 20 px; area 314.1592654 px²; ");
  EXPECT_EQ(shown(values_of({Kind::angle, {{5, 0}, {0, 0}, {0, 5}}}, &um)), "angle 90 °; ");

  EXPECT_TRUE(complete({Kind::polyline, {{0, 0}, {1, 0}}}));
  for (const Measurement& m : std::vector<Measurement>{{Kind::line, {{1, 1}, {1, 1}}},
                                                       {Kind::line, {{0, 0}, {1, 0}, {2, 0}}},
                                                       {Kind::line, {{0, 0}, {kInf, 0}}},
                                                       {Kind::polyline, {{1, 1}}},
                                                       {Kind::circle, {{0, 0}, {1, 1}, {2, 2}}},
                                                       {Kind::circle, {{0, 0}, {1, 1}}},
                                                       {Kind::angle, {{0, 0}, {0, 0}, {1, 0}}}}) {
    EXPECT_FALSE(complete(m)) << kind_name(m.kind);
    EXPECT_TRUE(values_of(m, nullptr).empty()) << kind_name(m.kind);
  }
}

Sidecar sample_sidecar() {
  return {Calibration{"40×|a=b", Unit::micrometre, 1.0 / 3},
          {{Kind::line, {{0.1, 0.2}, {1279.5, 719.25}}},
           {Kind::polyline, {{0, 0}, {1e-7, -3}, {1.0 / 7, 2e10}, {5, 5}}},
           {Kind::circle, {{10, 0}, {0, 10}, {-10, 0}}},
           {Kind::angle, {{5, 0}, {0, 0}, {0, 5}}}}};
}

TEST(SidecarText, RoundTripsWhatReadsBack) {
  const std::string text = write_sidecar(sample_sidecar());
  EXPECT_TRUE(text.starts_with("scopemark-measure 1\n")) << text;
  EXPECT_EQ(read_sidecar(text), sample_sidecar());
  EXPECT_EQ(read_sidecar(write_sidecar({})), Sidecar{});
  EXPECT_EQ(read_sidecar("\xEF\xBB\xBFscopemark-measure 1\r\nline 1 2  3 4\r\n\r\n"),
            (Sidecar{std::nullopt, {{Kind::line, {{1, 2}, {3, 4}}}}}));
  EXPECT_EQ(sidecar_name("20261208_101500.bmp"), "20261208_101500.bmp.measure");

  // What no reader could take back is left out rather than spoil the file.
  Sidecar invalid = sample_sidecar();
  invalid.calibration->units_per_pixel = kNaN;
  invalid.measurements.push_back({Kind::line, {{0, 0}}});
  invalid.measurements.push_back({Kind::circle, {{0, 0}, {kNaN, 1}, {2, 0}}});
  EXPECT_EQ(read_sidecar(write_sidecar(invalid)),
            (Sidecar{std::nullopt, sample_sidecar().measurements}));
}

TEST(SidecarText, RefusesMalformedAndNewerFiles) {
  for (const std::string_view text :
       {"", "scopemark-measure\n", "scopemark-measure 2\nline 0 0 1 1\n", "scopemark-measure 1x\n",
        "other 1\nline 0 0 1 1\n"}) {
    EXPECT_FALSE(read_sidecar(text)) << text;
  }
  for (const std::string_view line :
       {"line 0 0 1", "line 0 0 1 1 2 2", "circle 0 0 1 1", "polyline 0 0", "square 0 0 1 1",
        "line 0 0 1 nan", "line 0 0 1 1e999", "calibration", "calibration a|um|0",
        "calibration a|um|1\ncalibration b|um|1"}) {
    EXPECT_FALSE(read_sidecar("scopemark-measure 1\n" + std::string(line) + "\n")) << line;
  }
}

size_t entries(const fs::path& folder) {
  return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

TEST(SidecarFile, SavesBesideThePictureLoadsBackAndReportsFailures) {
  testing::TempFolder folder;
  const fs::path picture = folder.path() / "p.bmp";
  const fs::path sidecar = folder.path() / "p.bmp.measure";
  EXPECT_EQ(load_sidecar(picture), Sidecar{});  // none yet
  std::string error;
  ASSERT_TRUE(save_sidecar(picture, sample_sidecar(), &error)) << error;
  Sidecar changed = sample_sidecar();
  changed.measurements.pop_back();
  ASSERT_TRUE(save_sidecar(picture, changed, &error)) << error;
  EXPECT_EQ(load_sidecar(picture), changed);
  EXPECT_EQ(entries(folder.path()), 1u);   // no temporary file left behind
  std::ofstream(folder.path() / "other");  // permissions as any new file, not private
  EXPECT_EQ(fs::status(sidecar).permissions(), fs::status(folder.path() / "other").permissions());

  ASSERT_TRUE(save_sidecar(picture, {}, &error)) << error;
  EXPECT_FALSE(fs::exists(sidecar));
  EXPECT_TRUE(save_sidecar(picture, {}, &error)) << error;  // nothing to remove

  std::ofstream(sidecar) << "scopemark-measure 9\nline 0 0 1 1\n";
  EXPECT_FALSE(load_sidecar(picture));  // newer or malformed: the caller must not overwrite

  // A folder in the sidecar's place: nothing read, nothing written, no temporary file left.
  fs::remove(sidecar);
  fs::create_directory(sidecar);
  EXPECT_FALSE(load_sidecar(picture));
  EXPECT_FALSE(save_sidecar(picture, sample_sidecar(), &error));
  EXPECT_NE(error.find("p.bmp.measure"), std::string::npos) << error;
  EXPECT_EQ(entries(folder.path()), 2u);  // the folder and "other"
  error.clear();
  EXPECT_FALSE(save_sidecar(folder.path() / "gone" / "p.bmp", sample_sidecar(), &error));
  EXPECT_FALSE(error.empty());
}

TEST(Csv, QuotedFieldsAndOneRowPerValue) {
  Sidecar sidecar = sample_sidecar();
  sidecar.calibration->name = "say \"40×\", then\nmore";
  const auto rows = csv_rows("a,b.bmp", sidecar);
  ASSERT_EQ(rows.size(), 5u);  // the circle gives diameter and area
  EXPECT_EQ(rows[3].kind, "circle");
  EXPECT_EQ(rows[3].unit, "µm²");
  EXPECT_TRUE(csv_rows("p.bmp", {std::nullopt, sidecar.measurements})[0].calibration.empty());

  EXPECT_EQ(measurements_csv({rows[0], {"p.bmp", "angle", 0.1 + 0.2, "°", ""}}),
            "\xEF\xBB\xBFpicture,kind,value,unit,calibration\r\n"
            "\"a,b.bmp\",line,489.2053945,µm,\"say \"\"40×\"\", then\nmore\"\r\n"
            "p.bmp,angle,0.3,°,\r\n");
}

}  // namespace
}  // namespace scopemark::measure
