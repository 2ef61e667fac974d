#include "app/picture_adjustment.h"

#include <QLineEdit>
#include <QSlider>

#include <climits>
#include <cstdint>
#include <utility>

#include "app/device_wiring.h"
#include "controls/message_box.h"

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

QSlider* slider(MainDialog& dialog, const Control& control) {
  return static_cast<QSlider*>(dialog.control(control.slider));
}

QLineEdit* edit(MainDialog& dialog, const Control& control) {
  return static_cast<QLineEdit*>(dialog.control(control.edit));
}

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

PictureAdjustment::PictureAdjustment(const LinkConfig& config, LinkHooks hooks)
    : config_(config), hooks_(std::move(hooks)) {}

void PictureAdjustment::install(MainDialogHooks& hooks) {
  hooks.adjust_picture = [this](MainDialog& dialog, int control_id) { handle(dialog, control_id); };
}

void PictureAdjustment::handle(MainDialog& dialog, int control_id) {
  switch (control_id) {
    case MainDialog::kAutoButton:
      reset_to_defaults(dialog);
      break;
    case MainDialog::kSetButton:
      send_edit_values(dialog);
      break;
    case MainDialog::kGetButton:
      get_from_camera(dialog);
      break;
    default:
      slider_released(dialog, control_id);
      break;
  }
}

void PictureAdjustment::slider_released(MainDialog& dialog, int slider_id) {
  for (const Control& control : kEditOrder) {
    if (control.slider != slider_id) continue;
    const int value = slider(dialog, control)->value();
    values_.*control.value = value;
    send_values(dialog, values_);
    edit(dialog, control)->setText(QString::number(value));
  }
}

void PictureAdjustment::reset_to_defaults(MainDialog& dialog) {
  values_ = VideoAdjustValues{kDefaultValue, kDefaultValue, kDefaultValue, kDefaultValue};
  send_values(dialog, values_);
  show_values(dialog);
}

void PictureAdjustment::send_edit_values(MainDialog& dialog) {
  VideoAdjustValues typed;
  for (const Control& control : kEditOrder) {
    typed.*control.value =
        decimal_value(edit(dialog, control)->text().left(kEditCharacters).toStdString());
  }
  send_values(dialog, typed);
}

void PictureAdjustment::get_from_camera(MainDialog& dialog) {
  VideoAdjustValues reply;
  if (get_video_adjust(reply, config_, window_link_hooks(dialog, hooks_)) != 0) {
    show_message_box("GetVideoBrightness", "Error", MessageIcon::None, &dialog);
    return;
  }
  values_ = reply;
  show_values(dialog);
}

void PictureAdjustment::send_values(MainDialog& dialog, const VideoAdjustValues& values) {
  send_video_adjust(values.brightness, values.contrast, values.saturation, values.hue, config_,
                    window_link_hooks(dialog, hooks_));
}

void PictureAdjustment::show_values(MainDialog& dialog) {
  for (const Control& control : kSliderOrder)
    slider(dialog, control)->setValue(values_.*control.value);
  for (const Control& control : kEditOrder) {
    edit(dialog, control)->setText(QString::number(values_.*control.value));
  }
}

}  // namespace scopemark
