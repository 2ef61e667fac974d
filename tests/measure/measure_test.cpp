#include "measure/measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>

#include "records/temp_folder.h"

namespace scopemark::measure {
namespace {

namespace fs = std::filesystem;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Calibration micrometres(double per_pixel) {
  return {"x10", Unit::micrometre, per_pixel};
}

TEST(Calibrate, ScaleFromADrawnLineInTheTypedUnit) {
  const auto um = calibrate("x10", {100, 50}, {340, 370}, 1000, Unit::micrometre);  // 400 px
  ASSERT_TRUE(um);
  EXPECT_EQ(um->name, "x10");
  EXPECT_EQ(um->unit, Unit::micrometre);
  EXPECT_DOUBLE_EQ(um->units_per_pixel, 2.5);
  const auto mm = calibrate("x10", {0, 0}, {400, 0}, 1, Unit::millimetre);
  ASSERT_TRUE(mm);
  EXPECT_EQ(mm->unit, Unit::millimetre);
  EXPECT_DOUBLE_EQ(mm->units_per_pixel, 0.0025);
}

TEST(Calibrate, RefusesWhatGivesNoScale) {
  EXPECT_FALSE(calibrate("a", {0, 0}, {0.6, 0.6}, 1, Unit::micrometre));  // under one pixel
  EXPECT_FALSE(calibrate("a", {0, 0}, {kNaN, 0}, 1, Unit::micrometre));
  EXPECT_FALSE(calibrate("", {0, 0}, {100, 0}, 1, Unit::micrometre));
  EXPECT_FALSE(calibrate("a", {0, 0}, {100, 0}, 1, Unit::pixel));
  for (const double length : {0.0, -1.0, kNaN, kInf}) {
    EXPECT_FALSE(calibrate("a", {0, 0}, {100, 0}, length, Unit::micrometre)) << length;
  }
  EXPECT_TRUE(calibrate("a", {0, 0}, {1, 0}, 1, Unit::micrometre));
}

TEST(CalibrationText, RoundTripsAwkwardNamesAndExactDoubles) {
  const std::vector<Calibration> calibrations = {
      {"a|b=c%d", Unit::micrometre, 0.1 + 0.2},
      {"line\nbreak\r|um|1", Unit::millimetre, 1.0 / 3},
      {"Objektiv 40× — \xE2\x80\x9C\xCE\xBC\xE2\x80\x9D %41", Unit::micrometre,
       std::numeric_limits<double>::denorm_min()},
      {"max", Unit::millimetre, std::numeric_limits<double>::max()},
  };
  for (const Calibration& c : calibrations) {
    const std::string text = encode_calibration(c);
    EXPECT_EQ(text.find_first_of("\r\n="), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '|'), 2) << text;
    EXPECT_EQ(decode_calibration(text), c) << text;
  }
  EXPECT_EQ(encode_calibration({"x10", Unit::micrometre, 2.5}), "x10|um|2.5");
}

TEST(CalibrationText, RefusesMalformedText) {
  for (const std::string_view text :
       {"", "x10", "x10|um", "x10|um|", "|um|2.5", "x10||2.5", "x10|km|2.5", "x10|px|2.5",
        "x10|um|2.5|1", "x10|um|0", "x10|um|-2.5", "x10|um|inf", "x10|um|nan", "x10|um|2,5",
        "x10|um| 2.5", "x%|um|2.5", "x%4|um|2.5", "x%zz|um|2.5", "x10|um|1e999"}) {
    EXPECT_FALSE(decode_calibration(text)) << text;
  }
  EXPECT_EQ(decode_calibration("x%7c10|mm|2.5e-3"),
            (Calibration{"x|10", Unit::millimetre, 0.0025}));
}

TEST(RoundLength, LargestOneTwoFiveAtMostTheLimit) {
  const std::pair<double, double> cases[] = {
      {7.3, 5},  {10, 10}, {0.034, 0.02},  {199.999, 100}, {1, 1},     {0.999, 0.5}, {2, 2},
      {4.99, 2}, {5, 5},   {0.001, 0.001}, {1e-7, 1e-7},   {0.3, 0.2}, {1e25, 1e25}, {3e-30, 2e-30},
  };
  for (const auto& [limit, expected] : cases) {
    EXPECT_EQ(round_length_at_most(limit), expected) << limit;  // the nearest double exactly
  }
  for (const double limit : {0.0, -3.0, kNaN, kInf}) EXPECT_EQ(round_length_at_most(limit), 0);
}

TEST(ScaleBar, RoundLengthInTheCalibrationsUnitWithLabel) {
  const Calibration um = micrometres(2.5);
  const auto bar = scale_bar(&um, 100);  // up to 250 µm
  ASSERT_TRUE(bar);
  EXPECT_EQ(bar->length, 200);
  EXPECT_DOUBLE_EQ(bar->pixels, 80);
  EXPECT_EQ(bar->unit, Unit::micrometre);
  EXPECT_EQ(bar->label, "200 \xC2\xB5m");

  const Calibration mm{"x10", Unit::millimetre, 0.0025};
  EXPECT_EQ(scale_bar(&mm, 100)->label, "0.2 mm");
  const auto one_mm = scale_bar(&mm, 500);
  EXPECT_EQ(one_mm->label, "1 mm");
  EXPECT_DOUBLE_EQ(one_mm->pixels, 400);

  // The product rounds up to exactly 0.3; the bar must still fit.
  const Calibration tenth{"t", Unit::millimetre, 0.1};
  EXPECT_LE(scale_bar(&tenth, 3)->pixels, 3);
  EXPECT_FALSE(scale_bar(&um, 0));
  const Calibration broken = micrometres(kNaN);
  EXPECT_FALSE(scale_bar(&broken, 100));
}

TEST(ScaleBar, PixelsWithoutCalibration) {
  EXPECT_EQ(scale_bar(nullptr, 73)->label, "50 px");
  EXPECT_EQ(scale_bar(nullptr, 123456)->label, "100000 px");
  EXPECT_EQ(scale_bar(nullptr, 1)->pixels, 1);
  EXPECT_FALSE(scale_bar(nullptr, 0.9));  // no fractions of a pixel
  EXPECT_FALSE(scale_bar(nullptr, -5));
}

TEST(Geometry, DistancesAndPolylines) {
  EXPECT_EQ(distance({1, 2}, {4, 6}), 5);
  EXPECT_EQ(polyline_length({{0, 0}, {3, 4}, {3, 10}}), 11);
  EXPECT_EQ(polyline_length({{7, 7}}), 0);
}

TEST(Geometry, CircleThroughThreePoints) {
  const auto unit = circle_through({1, 0}, {0, 1}, {-1, 0});
  ASSERT_TRUE(unit);
  EXPECT_NEAR(unit->centre.x, 0, 1e-12);
  EXPECT_NEAR(unit->centre.y, 0, 1e-12);
  EXPECT_DOUBLE_EQ(unit->radius, 1);

  // Far from the origin: no precision lost to the coordinates' size.
  const auto far = circle_through({1e6 + 5, 2e6}, {1e6, 2e6 + 5}, {1e6 - 3, 2e6 - 4});
  ASSERT_TRUE(far);
  EXPECT_NEAR(far->centre.x, 1e6, 1e-7);
  EXPECT_NEAR(far->centre.y, 2e6, 1e-7);
  EXPECT_NEAR(far->radius, 5, 1e-9);

  // A shallow arc still counts: sagitta 1 over a chord of 2000.
  const auto shallow = circle_through({0, 0}, {1000, 1}, {2000, 0});
  ASSERT_TRUE(shallow);
  EXPECT_NEAR(shallow->radius, 500000.5, 1e-6);

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

TEST(Values, InTheCalibratedUnit) {
  const Calibration um = micrometres(2.5);
  const auto line = values_of({Kind::line, {{0, 0}, {30, 40}}}, &um);
  ASSERT_EQ(line.size(), 1u);
  EXPECT_EQ(line[0].quantity, "length");
  EXPECT_DOUBLE_EQ(line[0].value, 125);
  EXPECT_EQ(line[0].unit, "\xC2\xB5m");

  // Radius 10 px = 25 µm.
  const Measurement circle{Kind::circle, {{10, 0}, {0, 10}, {-10, 0}}};
  const auto calibrated = values_of(circle, &um);
  ASSERT_EQ(calibrated.size(), 2u);
  EXPECT_EQ(calibrated[0].quantity, "diameter");
  EXPECT_DOUBLE_EQ(calibrated[0].value, 50);
  EXPECT_EQ(calibrated[1].quantity, "area");
  EXPECT_DOUBLE_EQ(calibrated[1].value, std::numbers::pi * 625);
  EXPECT_EQ(calibrated[1].unit, "\xC2\xB5m\xC2\xB2");
  const auto pixels = values_of(circle, nullptr);
  EXPECT_DOUBLE_EQ(pixels[1].value, std::numbers::pi * 100);
  EXPECT_EQ(pixels[1].unit, "px\xC2\xB2");
  const Calibration mm{"m", Unit::millimetre, 0.0025};
  EXPECT_EQ(values_of(circle, &mm)[1].unit, "mm\xC2\xB2");

  const auto angle = values_of({Kind::angle, {{5, 0}, {0, 0}, {0, 5}}}, &um);
  ASSERT_EQ(angle.size(), 1u);
  EXPECT_DOUBLE_EQ(angle[0].value, 90);
  EXPECT_EQ(angle[0].unit, "\xC2\xB0");
}

TEST(Values, NoneForIncompleteOrDegenerateMeasurements) {
  const std::vector<Measurement> incomplete = {
      {Kind::line, {{1, 1}, {1, 1}}},    {Kind::line, {{0, 0}, {1, 0}, {2, 0}}},
      {Kind::polyline, {{1, 1}}},        {Kind::circle, {{0, 0}, {1, 1}, {2, 2}}},
      {Kind::circle, {{0, 0}, {1, 1}}},  {Kind::angle, {{0, 0}, {0, 0}, {1, 0}}},
      {Kind::line, {{0, 0}, {kInf, 0}}},
  };
  for (const Measurement& m : incomplete) {
    EXPECT_FALSE(complete(m)) << kind_name(m.kind);
    EXPECT_TRUE(values_of(m, nullptr).empty()) << kind_name(m.kind);
  }
  EXPECT_TRUE(complete({Kind::polyline, {{0, 0}, {1, 0}}}));
}

Sidecar sample_sidecar() {
  return {Calibration{"40×|a=b", Unit::micrometre, 1.0 / 3},
          {{Kind::line, {{0.1, 0.2}, {1279.5, 719.25}}},
           {Kind::polyline, {{0, 0}, {1e-7, -3}, {1.0 / 7, 2e10}, {5, 5}}},
           {Kind::circle, {{10, 0}, {0, 10}, {-10, 0}}},
           {Kind::angle, {{5, 0}, {0, 0}, {0, 5}}}}};
}

TEST(SidecarText, RoundTripsExactly) {
  const Sidecar sidecar = sample_sidecar();
  const std::string text = write_sidecar(sidecar);
  EXPECT_TRUE(text.starts_with("scopemark-measure 1\n")) << text;
  EXPECT_EQ(read_sidecar(text), sidecar);
  EXPECT_EQ(read_sidecar(write_sidecar({})), Sidecar{});
  EXPECT_EQ(read_sidecar("scopemark-measure 1\r\nline 1 2 3 4\r\n\r\n"),
            (Sidecar{std::nullopt, {{Kind::line, {{1, 2}, {3, 4}}}}}));
  EXPECT_EQ(sidecar_name("20261208_101500.bmp"), "20261208_101500.bmp.measure");
}

TEST(SidecarText, WritesOnlyWhatReadsBack) {
  Sidecar sidecar = sample_sidecar();
  sidecar.calibration->units_per_pixel = kNaN;
  sidecar.measurements.push_back({Kind::line, {{0, 0}}});
  sidecar.measurements.push_back({Kind::circle, {{0, 0}, {kNaN, 1}, {2, 0}}});
  const auto read = read_sidecar(write_sidecar(sidecar));
  ASSERT_TRUE(read);
  EXPECT_FALSE(read->calibration);
  EXPECT_EQ(read->measurements, sample_sidecar().measurements);
}

TEST(SidecarText, RefusesMalformedAndNewerFiles) {
  for (const std::string_view text : {
           "",
           "scopemark-measure\n",
           "scopemark-measure 2\nline 0 0 1 1\n",
           "scopemark-measure 1x\n",
           "other 1\nline 0 0 1 1\n",
           "scopemark-measure 1\nline 0 0 1\n",
           "scopemark-measure 1\nline 0 0 1 1 2 2\n",
           "scopemark-measure 1\ncircle 0 0 1 1\n",
           "scopemark-measure 1\npolyline 0 0\n",
           "scopemark-measure 1\nsquare 0 0 1 1\n",
           "scopemark-measure 1\nline 0 0 1 nan\n",
           "scopemark-measure 1\nline 0 0 1 1e999\n",
           "scopemark-measure 1\nline 0 0 1 0x1\n",
           "scopemark-measure 1\ncalibration\n",
           "scopemark-measure 1\ncalibration a|um|0\n",
           "scopemark-measure 1\ncalibration a|um|1\ncalibration b|um|1\n",
       }) {
    EXPECT_FALSE(read_sidecar(text)) << text;
  }
}

TEST(SidecarFile, SavesBesideThePictureAndLoadsBack) {
  testing::TempFolder folder;
  const fs::path picture = folder.path() / "20261208_101500.bmp";
  EXPECT_EQ(load_sidecar(picture), Sidecar{});  // none yet

  std::string error;
  ASSERT_TRUE(save_sidecar(picture, sample_sidecar(), &error)) << error;
  EXPECT_EQ(load_sidecar(picture), sample_sidecar());
  Sidecar changed = sample_sidecar();
  changed.measurements.pop_back();
  ASSERT_TRUE(save_sidecar(picture, changed, &error)) << error;
  EXPECT_EQ(load_sidecar(picture), changed);
  // Only the sidecar: no temporary file left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);

  ASSERT_TRUE(save_sidecar(picture, {}, &error)) << error;
  EXPECT_FALSE(fs::exists(folder.path() / "20261208_101500.bmp.measure"));
  EXPECT_TRUE(save_sidecar(picture, {}, &error)) << error;  // nothing to remove
}

TEST(SidecarFile, FailuresAreReportedAndLeaveNoTrace) {
  testing::TempFolder folder;
  const fs::path picture = folder.path() / "p.bmp";
  std::ofstream(folder.path() / "p.bmp.measure") << "scopemark-measure 9\nline 0 0 1 1\n";
  EXPECT_FALSE(load_sidecar(picture));  // malformed or newer: the caller must not overwrite

  fs::remove(folder.path() / "p.bmp.measure");
  fs::create_directory(folder.path() / "p.bmp.measure");
  EXPECT_FALSE(load_sidecar(picture));
  std::string error;
  EXPECT_FALSE(save_sidecar(picture, sample_sidecar(), &error));
  EXPECT_NE(error.find("p.bmp.measure"), std::string::npos) << error;
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);

  error.clear();
  EXPECT_FALSE(save_sidecar(folder.path() / "gone" / "p.bmp", sample_sidecar(), &error));
  EXPECT_FALSE(error.empty());
}

TEST(Csv, QuotedFieldsAndOneRowPerValue) {
  Sidecar sidecar = sample_sidecar();
  sidecar.calibration->name = "say \"40×\", then\nmore";
  const auto rows = csv_rows("a,b.bmp", sidecar);
  ASSERT_EQ(rows.size(), 5u);  // the circle gives diameter and area
  EXPECT_EQ(rows[2].kind, "circle");
  EXPECT_EQ(rows[3].kind, "circle");
  EXPECT_EQ(rows[3].unit, "\xC2\xB5m\xC2\xB2");
  EXPECT_EQ(rows[4].unit, "\xC2\xB0");

  const std::string csv = measurements_csv({rows[0], {"p.bmp", "angle", 0.1 + 0.2, "°", ""}});
  EXPECT_EQ(csv,
            "\xEF\xBB\xBFpicture,kind,value,unit,calibration\r\n"
            "\"a,b.bmp\",line,489.2053945,\xC2\xB5m,\"say \"\"40×\"\", then\nmore\"\r\n"
            "p.bmp,angle,0.3,°,\r\n");
  EXPECT_TRUE(csv_rows("p.bmp", {std::nullopt, sidecar.measurements})[0].calibration.empty());
}

}  // namespace
}  // namespace scopemark::measure
