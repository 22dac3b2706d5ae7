#include "app/gui/dialog_buttons.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>

#include "app/gui/qt_text.h"

namespace app {

QHBoxLayout* copy_and_close_row(QDialog& dialog, const QString& copy_caption,
                                const QString& text) {
  auto* row = new QHBoxLayout;
  auto* copy = new QPushButton(copy_caption, &dialog);
  auto* close = new QPushButton(u("关闭"), &dialog);
  close->setDefault(true);
  row->addStretch();
  row->addWidget(copy);
  row->addWidget(close);
  QObject::connect(copy, &QPushButton::clicked, &dialog,
                   [text] { QApplication::clipboard()->setText(text); });
  QObject::connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
  return row;
}

}  // namespace app
