#include "app/about_box.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

#include "i18n/ui_texts.h"

namespace scopemark {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  const std::shared_ptr<const UiTexts> texts = current_texts();
  setWindowTitle(QString::fromStdString(texts->text(text_key::kAboutTitle)));
  auto* icon = new QLabel(this);
  const QIcon window_icon = parent ? parent->windowIcon() : windowIcon();
  icon->setPixmap(window_icon.pixmap(32, 32));
  auto* text =
      new QLabel(QString::fromStdString(texts->format(text_key::kAboutVersion, SCOPEMARK_VERSION) +
                                        "\n" + texts->text(text_key::kAboutText)),
                 this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)
      ->setText(QString::fromStdString(texts->text(text_key::kButtonOk)));
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
