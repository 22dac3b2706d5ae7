// 拣货单: the header (store, source, time), then one row per goods and 规格
// with its total quantity and number of orders, and the totals.
#include <QLocale>

#include <algorithm>

#include "printing/document_parts.h"
#include "printing/pick_list.h"

namespace printing {

namespace {

// 序号, 商品, 规格, 数量, 订单数 [, 订单号]. The columns of figures are as
// wide as their share of the paper, and never narrower than their heading
// or their longest figure on one line (a narrow label would wrap "10" or
// "订单数"); 商品, 规格 and 订单号 share what is left.
// Measured in `bold`, the wider of the list's two faces.
std::vector<double> column_widths(const PageFlow& flow, const PickList& list, bool order_numbers,
                                  const QFont& bold) {
  const double w = flow.width();
  std::vector<double> share = order_numbers
                                  ? std::vector<double>{0.06, 0.30, 0.16, 0.10, 0.08, 0.30}
                                  : std::vector<double>{0.07, 0.47, 0.22, 0.12, 0.12};
  long long most_quantity = 0;
  int most_orders = 0;
  for (const PickEntry& e : list.entries) {
    most_quantity = std::max(most_quantity, e.quantity);
    most_orders = std::max(most_orders, e.orders);
  }
  const std::pair<const char*, QString> figures[] = {{"序号", QString::number(list.entries.size())},
                                                     {"数量", QString::number(most_quantity)},
                                                     {"订单数", QString::number(most_orders)}};
  const std::size_t figure_column[] = {0, 3, 4};
  std::vector<double> widths(share.size(), 0);
  double fixed = 0, flexible_share = 0;
  for (std::size_t i = 0; i < std::size(figure_column); ++i) {
    const std::size_t c = figure_column[i];
    widths[c] = std::max({w * share[c], flow.cell_width(u(figures[i].first), bold),
                          flow.cell_width(figures[i].second, bold)});
    fixed += widths[c];
  }
  for (std::size_t c = 0; c < share.size(); ++c)
    if (widths[c] == 0) flexible_share += share[c];
  for (std::size_t c = 0; c < share.size(); ++c)
    if (widths[c] == 0) widths[c] = std::max(0.0, w - fixed) * share[c] / flexible_share;
  return widths;
}

QString quantity_text(const PickEntry& entry) {
  QString text = QString::number(entry.quantity);
  if (entry.unread_quantities > 0) text += u("\n另%1行数量不明").arg(entry.unread_quantities);
  return text;
}

}  // namespace

void paint_pick_list(PageFlow& flow, const PrintJob& job, const PrintOptions& options) {
  const PickList list = make_pick_list(job.orders, options.sort);
  const double points = body_points(options);
  const QFont body = flow.font(points);
  const QFont bold = flow.font(points, true);
  const QFont small = flow.font(points - 1);
  const std::vector<double> w = column_widths(flow, list, options.order_numbers, bold);
  const Qt::Alignment right = Qt::AlignRight;

  store_header(flow, job, options);
  QString about = u("打印时间：") + QLocale(QLocale::Chinese).toString(options.printed_at, u("yyyy-MM-dd HH:mm"));
  if (!job.source.empty()) about = u("订单：") + qs(job.source) + u("　") + about;
  flow.paragraph(about, small, 0, flow.width());
  flow.advance(flow.mm(1));

  auto head = [&](PageFlow& f) {
    std::vector<PageFlow::Cell> cells = {{u("序号"), bold, w[0]}, {u("商品"), bold, w[1]},
                                         {u("规格"), bold, w[2]}, {u("数量"), bold, w[3], right},
                                         {u("订单数"), bold, w[4], right}};
    if (options.order_numbers) cells.push_back({u("订单号"), bold, w[5]});
    f.row(cells, true, true);
  };
  flow.running_header = [&](PageFlow& f) {
    f.paragraph(document_title(job.document) + u("（续）"), small, 0, f.width());
    head(f);
  };
  head(flow);
  int serial = 0;
  for (const PickEntry& e : list.entries) {
    std::vector<PageFlow::Cell> cells = {
        {QString::number(++serial), body, w[0]}, {e.goods, body, w[1]}, {e.variant, body, w[2]},
        {quantity_text(e), bold, w[3], right},   {QString::number(e.orders), body, w[4], right}};
    if (options.order_numbers) cells.push_back({e.order_nos.join(u("、")), small, w[5]});
    flow.row(cells);
  }
  flow.running_header = nullptr;
  flow.advance(flow.mm(1));
  flow.row({{u("合计：%1 笔订单，%2 行商品，共 %3 件").arg(list.orders).arg(list.lines).arg(list.items),
             bold, flow.width()}},
           false, true);
  if (list.entries.empty())
    flow.paragraph(u("这些订单没有商品明细。"), body, 0, flow.width());
}

}  // namespace printing
