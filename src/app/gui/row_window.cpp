#include "app/gui/row_window.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/gui/dialog_buttons.h"
#include "app/gui/qt_text.h"

namespace app {

namespace {

// A column without a title (the 26th) is named by its place.
QString title_of(const std::vector<Text>& titles, std::size_t column) {
  const QString t = column < titles.size() ? qs(titles[column]) : QString();
  return t.isEmpty() ? QString::fromUtf8("第%1列").arg(column + 1) : t;
}

bool is_long(std::size_t column) {
  return column == 17 /* 留言 */ || column == 20 /* 地址 */ || column == kColTrackingInfo;
}

}  // namespace

QString row_window_text(const std::vector<Text>& titles, const OrderRow& cells) {
  QStringList lines;
  for (std::size_t c = 0; c < cells.size(); ++c)
    lines << title_of(titles, c) + QString::fromUtf8("：") + qs(cells[c]);
  return lines.join(QLatin1Char('\n'));
}

void show_row_window(QWidget* parent, const std::vector<Text>& titles, const OrderRow& cells) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("订单行"));
  const QString order_no = cells.size() > kColOrderNo ? qs(cells[kColOrderNo]) : QString();
  dialog.setWindowTitle(QString::fromUtf8("订单 ") + order_no);

  auto* grid_holder = new QWidget;
  auto* grid = new QGridLayout(grid_holder);
  grid->setColumnStretch(1, 1);
  for (std::size_t c = 0; c < cells.size(); ++c) {
    const int r = static_cast<int>(c);
    auto* title = new QLabel(title_of(titles, c) + QString::fromUtf8("："), grid_holder);
    title->setAlignment(Qt::AlignRight | Qt::AlignTop);
    auto* value = new QLabel(qs(cells[c]), grid_holder);
    value->setObjectName(QStringLiteral("cell%1").arg(c));
    value->setTextFormat(Qt::PlainText);  // a buyer's "<b>" is text, not markup
    value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    value->setWordWrap(is_long(c));
    grid->addWidget(title, r, 0);
    grid->addWidget(value, r, 1);
  }
  auto* scroll = new QScrollArea(&dialog);
  scroll->setWidgetResizable(true);
  scroll->setWidget(grid_holder);

  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(scroll);
  layout->addLayout(copy_and_close_row(dialog, u("复制"), row_window_text(titles, cells)));
  dialog.resize(560, 620);
  dialog.exec();
}

}  // namespace app
