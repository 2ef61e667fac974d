#pragma once

#include <string_view>

#include "app/main_dialog.h"
#include "link/camera_link.h"
#include "link/link_config.h"

namespace scopemark {

// The standard decimal conversion: leading blanks, an optional sign, then digits up to the
// first non-digit; no digits give 0. Values beyond the int range stop at its ends.
int decimal_value(std::string_view text);

// The camera's brightness, contrast, saturation and hue as the window shows them: sliders
// 1030-1033, edits 1015, 1034-1036 and the Auto, Set and Get buttons. Every exchange runs on
// the window's thread against the configured camera.
class PictureAdjustment {
 public:
  // config must outlive this object; hooks supply the log and the connect step.
  explicit PictureAdjustment(const LinkConfig& config, LinkHooks hooks = {});

  // Binds the adjustment controls of the main window to this object.
  void install(MainDialogHooks& hooks);
  const VideoAdjustValues& values() const { return values_; }

 private:
  void handle(MainDialog& dialog, int control_id);
  void slider_released(MainDialog& dialog, int slider_id);
  void reset_to_defaults(MainDialog& dialog);
  void send_edit_values(MainDialog& dialog);
  void get_from_camera(MainDialog& dialog);
  void send_values(MainDialog& dialog, const VideoAdjustValues& values);
  void show_values(MainDialog& dialog);

  const LinkConfig& config_;
  LinkHooks hooks_;
  VideoAdjustValues values_{50, 50, 50, 50};
};

}  // namespace scopemark
