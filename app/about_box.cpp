#include "app/about_box.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace scopemark {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Vistrel"));
  auto* icon = new QLabel(this);
  const QIcon window_icon = parent ? parent->windowIcon() : windowIcon();
  icon->setPixmap(window_icon.pixmap(32, 32));
  auto* text = new QLabel(QStringLiteral("Vistrel Version " SCOPEMARK_VERSION "\n"
                                         "Viewer for the Wi-Fi digital microscope camera"),
                          this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addWidget(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace scopemark
