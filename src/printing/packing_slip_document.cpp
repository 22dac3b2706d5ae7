// 发货单: one per order, each from a page of its own (on A4 upright, half a
// page of its own: two slips a sheet, to be cut apart). The order number is
// printed large and as a Code 128 barcode (a scanner in 扫描发货 reads it as
// the order), with a QR code of it beside where the page is wide enough.
#include <QLocale>

#include "core/columns.h"
#include "core/table_snapshot.h"
#include "printing/barcode.h"
#include "printing/document_parts.h"
#include "printing/pick_list.h"
#include "web/markup.h"

namespace printing {

namespace {

// Code 128 at a module width a scanner reads, QR beside it when it fits.
void paint_codes(PageFlow& flow, const QString& number, const PrintOptions& options) {
  const bool label = is_label(options.paper);
  const double height = flow.mm(label ? 10 : 13);
  const Barcode linear = encode_barcode(Symbology::Code128, number);
  const Barcode square = encode_barcode(Symbology::QrCode, number);
  flow.keep_together(height + flow.mm(2));
  const double y = flow.y();
  double room = flow.width();
  const double gap = flow.mm(3);
  bool with_qr = square.ok();
  if (linear.ok()) {
    // 0.33 mm is the module most scanners are made for; no wider than 0.5 mm.
    const double wanted = modules_wide(linear) * flow.mm(0.33);
    with_qr = with_qr && wanted + gap + height <= room;
    if (with_qr) room -= gap + height;
    const double module = std::min(room / modules_wide(linear), flow.mm(0.5));
    draw_barcode(flow.painter(), linear, QRectF(0, y, modules_wide(linear) * module, height));
  }
  if (with_qr) draw_barcode(flow.painter(), square, QRectF(flow.width() - height, y, height, height));
  if (!linear.ok() && !square.ok()) {
    flow.paragraph(u("（这个订单号做不成条码）"), flow.font(body_points(options)), 0, flow.width());
    return;
  }
  flow.advance(height + flow.mm(1.5));
}

void paint_slip(PageFlow& flow, const PrintJob& job, const PrintOrder& order, const PrintOptions& options) {
  const double points = body_points(options);
  const QFont body = flow.font(points);
  const QFont bold = flow.font(points, true);
  const QFont small = flow.font(points - 1);
  const bool label = is_label(options.paper);
  const QString number = qs(order_number_of(order.row)).trimmed();
  const Qt::Alignment right = Qt::AlignRight;
  const double w = flow.width();

  // A slip that runs onto another page names its order at the top of it.
  auto continued = [&](PageFlow& f) {
    f.paragraph(u("发货单　订单号 %1（续）").arg(number), small, 0, f.width());
  };
  flow.running_header = continued;
  store_header(flow, job, options);
  flow.paragraph(u("订单号 ") + number, flow.font(points + 2, true), 0, w);
  paint_codes(flow, number, options);

  QString phone = cell_text(order.row, app::kColPhone);
  if (options.mask_phone) phone = masked_phone(phone);
  const double label_width = flow.mm(label ? 13 : 18);
  const std::pair<const char*, QString> facts[] = {
      {"支付时间", cell_text(order.row, app::kColPayTime)},
      {"会员", qs(web::without_markup(app::cell_of(order.row, app::kColMember))).trimmed()},
      {"收货人", cell_text(order.row, app::kColConsignee)},
      {"电话", phone},
      {"地址", cell_text(order.row, app::kColAddress)}};
  for (const auto& [name, value] : facts)  // the consignee stands out
    flow.row({{u(name), small, label_width}, {value, &value == &facts[2].second ? bold : body, w - label_width}},
             false);
  flow.advance(flow.mm(1));

  const QString message = cell_text(order.row, app::kColMessage);
  if (!message.isEmpty()) {
    flow.boxed_paragraph(u("买家留言：") + message, bold, 0, w);
    flow.advance(flow.mm(1.5));
  }

  // Prices keep to one line: on a narrow label they take a larger share.
  const double cw[] = {w * (label ? 0.34 : 0.40), w * (label ? 0.18 : 0.22), w * 0.10,
                       w * (label ? 0.19 : 0.14), w * (label ? 0.19 : 0.14)};
  auto head = [&](PageFlow& f) {
    f.row({{u("商品"), bold, cw[0]},
           {u("规格"), bold, cw[1]},
           {u("数量"), bold, cw[2], right},
           {u("单价"), bold, cw[3], right},
           {u("小计"), bold, cw[4], right}},
          true, true);
  };
  flow.running_header = [&](PageFlow& f) {
    continued(f);
    head(f);
  };
  head(flow);
  long long items = 0;
  for (const app::GoodsLine& line : order.lines) {
    items += app::quantity_of(web::gbk_to_utf8(line.quantity)).value_or(0);
    flow.row({{qs(line.goods), body, cw[0]},
              {qs(line.variant), body, cw[1]},
              {qs(line.quantity), bold, cw[2], right},
              {qs(line.unit_price), body, cw[3], right},
              {qs(line.line_total), body, cw[4], right}});
  }
  flow.running_header = continued;
  QString totals = u("共 %1 件　订单总额 %2").arg(items).arg(cell_text(order.row, app::kColTotal));
  const QString paid = cell_text(order.row, app::kColPaid);
  if (!paid.isEmpty()) totals += u("　支付金额 ") + paid;
  flow.paragraph(totals, bold, 0, w, right);
  flow.advance(flow.mm(1.5));

  const double box = flow.mm(label ? 8 : 16);
  flow.keep_together(flow.line_height(small) + box);
  flow.paragraph(u("备注"), small, 0, w);
  flow.painter().save();
  flow.painter().setPen(QPen(Qt::black, flow.mm(0.3)));
  flow.painter().setBrush(Qt::NoBrush);
  flow.painter().drawRect(QRectF(0, flow.y(), w, box));
  flow.painter().restore();
  flow.advance(box);
  flow.running_header = nullptr;
}

}  // namespace

void paint_packing_slips(PageFlow& flow, const PrintJob& job, const PrintOptions& options) {
  if (options.paper == Paper::A4 && options.orientation == QPageLayout::Portrait)
    flow.split_pages_in_half();
  for (const PrintOrder& order : job.orders) {
    flow.start_on_new_page();
    paint_slip(flow, job, order, options);
  }
}

}  // namespace printing
