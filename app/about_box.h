#pragma once

#include <QDialog>

namespace scopemark {

// The About box (template 100): the window icon, the program's name and version, OK.
class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace scopemark
