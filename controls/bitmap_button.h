#pragma once

#include <QColor>
#include <QImage>
#include <QPushButton>

#include <array>

namespace scopemark {

// Results of BitmapButton::set_bitmaps.
enum BitmapsResult {
  BITMAPS_OK = 0,
  BITMAPS_BAD_RESOURCE = 1,  // a bitmap could not be loaded or has no size
  BITMAPS_MASK_FAILED = 2,   // the mask of a bitmap could not be built
};

// One look of a BitmapButton; empty while `bitmap` is null.
struct ButtonBitmap {
  // The picture as ARGB: its alpha channel is the mask, 0 exactly where the loaded
  // picture has the transparent colour, 255 everywhere else.
  QImage bitmap;
  int width = 0;
  int height = 0;
  QColor transparent;

  bool empty() const { return bitmap.isNull(); }
};

// Flat push button of our own drawing: a bitmap with one transparent colour, a second
// bitmap and a raised one-pixel border while the mouse is over it, a sunken border and the
// bitmap moved one pixel right and down while pressed, an embossed look when disabled.
// Clicks, keyboard use and default-button handling are those of QPushButton; a double
// click gives two clicks.
class BitmapButton : public QPushButton {
  Q_OBJECT

 public:
  static constexpr int kHoverLook = 0;   // shown while hovered or pressed
  static constexpr int kNormalLook = 1;  // shown otherwise (falls back to the hover look)

  explicit BitmapButton(QWidget* parent = nullptr);
  explicit BitmapButton(const QString& caption, QWidget* parent = nullptr);

  // Installs the program's bitmaps `hover_id` and `normal_id` (0: no normal look) with
  // their transparent colours. Without a hover bitmap the button shows none. On failure
  // the button is left without bitmaps.
  BitmapsResult set_bitmaps(int hover_id, QColor hover_transparent, int normal_id,
                            QColor normal_transparent);
  // The same with pictures instead of ids; a null `hover` leaves the button without
  // bitmaps, a null `normal` gives no normal look.
  BitmapsResult set_bitmaps(const QImage& hover, QColor hover_transparent, const QImage& normal,
                            QColor normal_transparent);

  const ButtonBitmap& look(int index) const { return looks_[index]; }
  bool hovering() const { return hovering_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void end_hover();
  void draw_bitmap(QPainter& painter, QPoint at, const ButtonBitmap& look) const;

  std::array<ButtonBitmap, 2> looks_;
  bool hovering_ = false;
};

}  // namespace scopemark
