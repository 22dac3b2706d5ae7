// 拣货单: the header (store, source, time), then one row per goods and 规格
// with its total quantity and number of orders, and the totals.
#include <QLocale>

#include "printing/document_parts.h"
#include "printing/pick_list.h"

namespace printing {

namespace {

std::vector<double> column_widths(const PageFlow& flow, bool order_numbers) {
  const double w = flow.width();
  // 序号, 商品, 规格, 数量, 订单数 [, 订单号]
  if (order_numbers) return {w * 0.06, w * 0.30, w * 0.16, w * 0.10, w * 0.08, w * 0.30};
  return {w * 0.07, w * 0.47, w * 0.22, w * 0.12, w * 0.12};
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
  const std::vector<double> w = column_widths(flow, options.order_numbers);
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
