#pragma once

#include <QObject>

#include <string_view>

#include "link/camera_link.h"

namespace scopemark {

class MainDialog;
class ViewerSession;

// The standard decimal conversion: leading blanks, an optional sign, then digits up to the
// first non-digit; no digits give 0. Values beyond the int range stop at its ends.
int decimal_value(std::string_view text);

// The camera's brightness, contrast, saturation and hue as the window shows them: sliders
// 1030-1033, edits 1015, 1034-1036 and the Auto, Set and Get buttons. The session runs the
// exchanges; the values come back by its signal. A child of the window.
class PictureAdjustment : public QObject {
  Q_OBJECT

 public:
  PictureAdjustment(MainDialog& dialog, ViewerSession& session);

  const VideoAdjustValues& values() const { return values_; }

 private:
  void slider_released(int slider_id);
  void reset_to_defaults();
  void send_edit_values();
  void show_values(const VideoAdjustValues& values);

  MainDialog& dialog_;
  ViewerSession& session_;
  VideoAdjustValues values_{50, 50, 50, 50};
};

}  // namespace scopemark
