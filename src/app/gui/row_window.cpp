#include "app/gui/row_window.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/gui/dialog_buttons.h"
#include "app/gui/qt_text.h"
#include "fulfilment/tracking.h"
#include "web/markup.h"

namespace app {

namespace {

constexpr int kDetailPaid = 14;  // 支付金额 as the order's own page gives it

struct ShownCell {
  std::size_t column;
  QString caption;  // without the colon
  QString text;
};

// Each cell under a caption of its own: the list's and the details' 支付金额
// are told apart, and a column without a title (the 26th, which nothing
// fills) is left out while empty. 会员 without the back office's markup,
// 物流信息 as its gist and the parcel's events rather than the service's answer.
std::vector<ShownCell> shown_cells(const std::vector<Text>& titles, const OrderRow& cells) {
  std::vector<ShownCell> shown;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    QString caption = c < titles.size() ? qs(titles[c]) : QString();
    if (caption.isEmpty()) {
      if (cells[c].empty()) continue;
      caption = QString::fromUtf8("（无标题）");
    } else if (c == kDetailPaid && titles.size() > kColPaid && titles[c] == titles[kColPaid]) {
      caption += QString::fromUtf8("（详情）");
    }
    QString text = qs(cells[c]);
    if (c == kColMember) text = qs(web::without_markup(cells[c]));
    if (c == kColTrackingInfo) text = qs(fulfilment::tracking_cell_text(cells[c]));
    shown.push_back({c, caption, text});
  }
  return shown;
}

bool is_long(std::size_t column) {
  return column == 17 /* 留言 */ || column == 20 /* 地址 */ || column == kColTrackingInfo;
}

// "商品 × 数量（规格） 单价 小计", one goods line.
QString goods_line_text(const GoodsLine& l) {
  return qs(l.goods) + QString::fromUtf8(" × ") + qs(l.quantity) +
         (l.variant.empty() ? QString() : QString::fromUtf8("（") + qs(l.variant) + QString::fromUtf8("）")) +
         QLatin1Char(' ') + qs(l.unit_price) + QLatin1Char(' ') + qs(l.line_total);
}

QString history_text(const OrderExtras& extras) {
  QStringList parts;
  for (const auto& [state, seen] : extras.states) parts << qs(seen) + QLatin1Char(' ') + qs(state);
  return parts.join(QLatin1Char('\n'));
}

}  // namespace

QString row_window_text(const std::vector<Text>& titles, const OrderRow& cells,
                        const OrderExtras& extras) {
  QStringList lines;
  for (const ShownCell& cell : shown_cells(titles, cells))
    lines << cell.caption + QString::fromUtf8("：") + cell.text;
  for (std::size_t i = 0; i < extras.lines.size(); ++i)
    lines << QString::fromUtf8("商品%1：").arg(i + 1) + goods_line_text(extras.lines[i]);
  if (!extras.states.empty())
    lines << QString::fromUtf8("状态记录：") + history_text(extras).replace(QLatin1Char('\n'), QString::fromUtf8("；"));
  if (!extras.shipped.empty()) lines << QString::fromUtf8("本机发货：") + qs(extras.shipped);
  return lines.join(QLatin1Char('\n'));
}

void show_row_window(QWidget* parent, const std::vector<Text>& titles, const OrderRow& cells,
                     const OrderExtras& extras) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("订单行"));
  const QString order_no = cells.size() > kColOrderNo ? qs(cells[kColOrderNo]) : QString();
  dialog.setWindowTitle(QString::fromUtf8("订单 ") + order_no);

  auto* grid_holder = new QWidget;
  auto* grid = new QGridLayout(grid_holder);
  grid->setColumnStretch(1, 1);
  auto add_row = [&](const QString& caption, const QString& text, const QString& name, bool wrap) {
    const int r = grid->rowCount();
    auto* title = new QLabel(caption, grid_holder);
    title->setAlignment(Qt::AlignRight | Qt::AlignTop);
    auto* value = new QLabel(text, grid_holder);
    value->setObjectName(name);
    value->setTextFormat(Qt::PlainText);  // a buyer's "<b>" is text, not markup
    value->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    value->setWordWrap(wrap);
    grid->addWidget(title, r, 0);
    grid->addWidget(value, r, 1);
  };
  auto add_section = [&](const QString& caption, const QString& text, const char* name) {
    add_row(caption, text, QString::fromUtf8(name), true);
  };
  for (const ShownCell& cell : shown_cells(titles, cells)) {
    const std::size_t c = cell.column;
    add_row(cell.caption + QString::fromUtf8("："), cell.text, QStringLiteral("cell%1").arg(c),
            is_long(c));
    // Every goods line right after the first line's columns (商品 to 总价).
    if (c == kColGoods + 4 && !extras.lines.empty()) {
      QStringList goods;
      for (const GoodsLine& l : extras.lines) goods << goods_line_text(l);
      add_section(QString::fromUtf8("全部商品（%1）：").arg(extras.lines.size()),
                  goods.join(QLatin1Char('\n')), "全部商品");
    }
  }
  // The order's history.
  if (!extras.states.empty()) add_section(QString::fromUtf8("状态记录："), history_text(extras), "状态记录");
  if (!extras.shipped.empty()) add_section(QString::fromUtf8("本机发货："), qs(extras.shipped), "本机发货");
  auto* scroll = new QScrollArea(&dialog);
  scroll->setWidgetResizable(true);
  scroll->setWidget(grid_holder);

  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(scroll);
  layout->addLayout(copy_and_close_row(dialog, u("复制"), row_window_text(titles, cells, extras)));
  resize_within_screen(dialog, {560, 620});
  dialog.exec();
}

}  // namespace app
