#include "app/picture_adjustment.h"

#include <QLineEdit>
#include <QSlider>

#include <climits>
#include <cstdint>
#include <utility>

#include "app/main_dialog.h"
#include "app/viewer_session.h"

namespace scopemark {

namespace {

constexpr int kDefaultValue = 50;
constexpr int kEditCharacters = 19;

// One adjustable value: its field, slider and edit.
struct Control {
  int VideoAdjustValues::*value;
  int slider;
  int edit;
};

constexpr Control kBrightness{&VideoAdjustValues::brightness, MainDialog::kBrightnessSlider,
                              MainDialog::kBrightnessEdit};
constexpr Control kContrast{&VideoAdjustValues::contrast, MainDialog::kContrastSlider,
                            MainDialog::kContrastEdit};
constexpr Control kSaturation{&VideoAdjustValues::saturation, MainDialog::kSaturationSlider,
                              MainDialog::kSaturationEdit};
constexpr Control kHue{&VideoAdjustValues::hue, MainDialog::kHueSlider, MainDialog::kHueEdit};

// Sliders are set in this order, edits in the order of kEditOrder.
constexpr Control kSliderOrder[] = {kBrightness, kSaturation, kContrast, kHue};
constexpr Control kEditOrder[] = {kBrightness, kContrast, kSaturation, kHue};

bool is_blank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

int decimal_value(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t magnitude = 0;
  const int64_t limit = negative ? -static_cast<int64_t>(INT_MIN) : INT_MAX;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = std::min(limit, magnitude * 10 + (text[i] - '0'));
  }
  return static_cast<int>(negative ? -magnitude : magnitude);
}

PictureAdjustment::PictureAdjustment(MainDialog& dialog, ViewerSession& session)
    : QObject(&dialog), dialog_(dialog), session_(session) {
  connect(&dialog, &MainDialog::auto_clicked, this, &PictureAdjustment::reset_to_defaults);
  connect(&dialog, &MainDialog::set_clicked, this, &PictureAdjustment::send_edit_values);
  connect(&dialog, &MainDialog::get_clicked, &session, &ViewerSession::request_adjustment);
  connect(&dialog, &MainDialog::slider_released, this, &PictureAdjustment::slider_released);
  connect(&session, &ViewerSession::adjustment_received, this, &PictureAdjustment::show_values);
}

void PictureAdjustment::slider_released(int slider_id) {
  for (const Control& control : kEditOrder) {
    if (control.slider != slider_id) continue;
    const int value = dialog_.slider(control.slider)->value();
    values_.*control.value = value;
    session_.set_adjustment(values_);
    dialog_.edit(control.edit)->setText(QString::number(value));
  }
}

void PictureAdjustment::reset_to_defaults() {
  const VideoAdjustValues defaults{kDefaultValue, kDefaultValue, kDefaultValue, kDefaultValue};
  session_.set_adjustment(defaults);
  show_values(defaults);
}

void PictureAdjustment::send_edit_values() {
  VideoAdjustValues typed;
  for (const Control& control : kEditOrder) {
    typed.*control.value =
        decimal_value(dialog_.edit(control.edit)->text().left(kEditCharacters).toStdString());
  }
  session_.set_adjustment(typed);
}

void PictureAdjustment::show_values(const VideoAdjustValues& values) {
  values_ = values;
  for (const Control& control : kSliderOrder) {
    dialog_.slider(control.slider)->setValue(values_.*control.value);
  }
  for (const Control& control : kEditOrder) {
    dialog_.edit(control.edit)->setText(QString::number(values_.*control.value));
  }
}

}  // namespace scopemark
