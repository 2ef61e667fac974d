#pragma once

#include <QDialog>

namespace scopemark {

// The About box (template 100): the window icon, the program's name and version, OK, in the
// language in use when it opens.
class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace scopemark
