#include "app/gui/dialog_buttons.h"

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

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

void resize_within_screen(QWidget& window, QSize wanted) {
  constexpr int kTitleBar = 40;
  const QScreen* screen = window.parentWidget() ? window.parentWidget()->screen() : window.screen();
  if (screen)
    wanted.setHeight(std::min(wanted.height(), screen->availableGeometry().height() - kTitleBar));
  window.resize(wanted);
}

}  // namespace app
