// 电子面单 in our own layout: bands one above the other, framed and ruled like
// a courier's thermal label, each band a fixed share of the label's height,
// so that every label is whole on its page whatever its texts: a text that
// does not fit its box at its size is set smaller until it does.
#include "printing/label.h"

#include <QFontMetricsF>

#include <algorithm>

#include "printing/barcode.h"
#include "printing/documents.h"
#include "printing/page_flow.h"
#include "printing/pick_list.h"

namespace printing {

namespace {

inline QString u(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// The label's shape: 100×180 millimetres, drawn on an A4 or A5 page at that
// size (smaller only when the page is), on a label paper over all of it.
constexpr double kLabelWidthMm = 100, kLabelHeightMm = 180;

// The bands from the top, as shares of the label's height.
enum Band { kHead, kBigPen, kSorting, kWaybill, kReceiver, kSender, kGoods, kOrder, kBands };
constexpr double kBandShare[kBands] = {0.08, 0.11, 0.07, 0.18, 0.19, 0.12, 0.09, 0.16};

class LabelPainter {
 public:
  LabelPainter(PageFlow& flow, const QRectF& area)
      : m_flow(flow), m_p(flow.painter()), m_area(area) {
    // Type scales with the label: sizes below are for a 100 mm wide one.
    m_scale = area.width() / flow.mm(kLabelWidthMm);
  }

  void paint(const LabelData& label, bool mask_phone);

 private:
  double mm(double millimetres) const { return m_flow.mm(millimetres) * m_scale; }
  QFont font(double points, bool bold = false) const { return m_flow.font(points * m_scale, bold); }
  QRectF band(Band b) const;
  void rule(double y) const;
  // `text` in `box` at the largest size up to `points` at which all of it fits.
  void fit(const QRectF& box, const QString& text, double points, bool bold, int align) const;
  // A Code 128 of `data` centred in `box`, its modules no wider than `max_module_mm`;
  // false when `data` makes no such code.
  bool code128(const QRectF& box, const QString& data, double max_module_mm) const;

  PageFlow& m_flow;
  QPainter& m_p;
  QRectF m_area;
  double m_scale = 1;
};

QRectF LabelPainter::band(Band b) const {
  double top = m_area.top();
  for (int i = 0; i < b; ++i) top += kBandShare[i] * m_area.height();
  return QRectF(m_area.left(), top, m_area.width(), kBandShare[b] * m_area.height());
}

void LabelPainter::rule(double y) const {
  m_p.drawLine(QPointF(m_area.left(), y), QPointF(m_area.right(), y));
}

void LabelPainter::fit(const QRectF& box, const QString& text, double points, bool bold,
                       int align) const {
  if (text.isEmpty() || box.isEmpty()) return;
  QFont f = font(points, bold);
  int flags = align | Qt::TextWordWrap;
  double size = f.pointSizeF();
  for (;;) {
    f.setPointSizeF(size);
    const QFontMetricsF metrics(f, m_p.device());
    const QRectF needed = metrics.boundingRect(box, flags, text);
    if (needed.height() <= box.height() + 0.5 && needed.width() <= box.width() + 0.5) break;
    // A long number has no place to break: let it break anywhere when words no longer fit.
    if (size < 0.6 * points * m_scale && !(flags & Qt::TextWrapAnywhere)) {
      flags = (flags & ~Qt::TextWordWrap) | Qt::TextWrapAnywhere;
      continue;
    }
    if (size <= 2) break;
    size *= 0.92;
  }
  m_p.setFont(f);
  m_p.drawText(box, flags, text);
}

bool LabelPainter::code128(const QRectF& box, const QString& data, double max_module_mm) const {
  const Barcode code = encode_barcode(Symbology::Code128, data);
  if (!code.ok()) return false;
  // Quiet zones of ten modules on each side stay blank.
  const double module = std::min(box.width() / (modules_wide(code) + 20), mm(max_module_mm));
  const double width = modules_wide(code) * module;
  draw_barcode(m_p, code, QRectF(box.center().x() - width / 2, box.top(), width, box.height()));
  return true;
}

void LabelPainter::paint(const LabelData& label, bool mask_phone) {
  const double pad = mm(1.5);
  const QPen line(Qt::black, mm(0.35));
  m_p.save();
  m_p.setPen(line);
  m_p.setBrush(Qt::NoBrush);
  m_p.drawRect(m_area);
  for (int b = 1; b < kBands; ++b) rule(band(static_cast<Band>(b)).top());

  // The courier, and when the label was printed.
  const QRectF head = band(kHead).adjusted(pad, pad / 2, -pad, -pad / 2);
  const QString courier = label.courier_name.isEmpty() ? u("快递") : label.courier_name;
  fit(QRectF(head.left(), head.top(), head.width() * 0.55, head.height()), courier, 16, true,
      Qt::AlignLeft | Qt::AlignVCenter);
  fit(QRectF(head.left() + head.width() * 0.55, head.top(), head.width() * 0.45, head.height()),
      u("打印时间\n") + label.printed_at.toString(QStringLiteral("yyyy-MM-dd HH:mm")), 7, false,
      Qt::AlignRight | Qt::AlignVCenter);

  // 大头笔, as large as the band allows: the sorter reads it from afar.
  fit(band(kBigPen).adjusted(pad, pad / 2, -pad, -pad / 2), label.big_pen, 30, true,
      Qt::AlignCenter);

  // 集包地 and its code on the left, the sorting code on the right.
  const QRectF sorting = band(kSorting).adjusted(pad, pad / 3, -pad, -pad / 3);
  const double split = sorting.left() + sorting.width() * 0.6;
  m_p.drawLine(QPointF(split + pad, band(kSorting).top()),
               QPointF(split + pad, band(kSorting).bottom()));
  QString package = label.package_name;
  if (!label.package_code.isEmpty()) package += u("  ") + label.package_code;
  fit(QRectF(sorting.left(), sorting.top(), split - sorting.left(), sorting.height()),
      u("集包地 ") + package, 11, true, Qt::AlignLeft | Qt::AlignVCenter);
  fit(QRectF(split + 2 * pad, sorting.top(), sorting.right() - split - 2 * pad, sorting.height()),
      label.sorting_code, 13, true, Qt::AlignCenter);

  // The waybill number: bars for the scanners, figures for people.
  const QRectF waybill = band(kWaybill).adjusted(pad, pad, -pad, -pad / 2);
  const double bars = waybill.height() * 0.72;
  if (!code128(QRectF(waybill.left(), waybill.top(), waybill.width(), bars), label.waybill_number,
               0.5))
    fit(QRectF(waybill.left(), waybill.top(), waybill.width(), bars), u("（运单号做不成条码）"), 9,
        false, Qt::AlignCenter);
  QString spaced;  // in fours, as couriers print it
  for (int i = 0; i < label.waybill_number.size(); ++i) {
    if (i > 0 && i % 4 == 0) spaced += QLatin1Char(' ');
    spaced += label.waybill_number[i];
  }
  fit(QRectF(waybill.left(), waybill.top() + bars, waybill.width(), waybill.height() - bars),
      spaced, 14, true, Qt::AlignCenter);

  // 收 and 寄: a marked column, then the name and telephone and the address.
  // Only the receiver's telephone is hidden: the sender's is the shop's own.
  auto party = [&](Band b, const char* mark, const QString& name, QString phone,
                   const QString& address, double points, bool mask) {
    const QRectF r = band(b);
    const double column = mm(9);
    m_p.drawLine(QPointF(r.left() + column, r.top()), QPointF(r.left() + column, r.bottom()));
    fit(QRectF(r.left(), r.top(), column, r.height()), u(mark), points + 4, true, Qt::AlignCenter);
    if (mask) phone = masked_phone(phone);
    const QRectF text = r.adjusted(column + pad, pad / 2, -pad, -pad / 2);
    const double first = std::min(text.height() * 0.38, m_flow.line_height(font(points + 3)) * 1.2);
    const QRectF who(text.left(), text.top(), text.width(), first);
    // The telephone keeps its size; the name has the rest of the line.
    const double phone_width = std::min(
        who.width() * 0.5,
        QFontMetricsF(font(points + 1, true), m_p.device()).horizontalAdvance(phone) + pad);
    fit(QRectF(who.left(), who.top(), who.width() - phone_width - pad, who.height()), name,
        points + 3, true, Qt::AlignLeft | Qt::AlignVCenter);
    fit(QRectF(who.right() - phone_width, who.top(), phone_width, who.height()), phone, points + 1,
        true, Qt::AlignRight | Qt::AlignVCenter);
    fit(QRectF(text.left(), text.top() + first, text.width(), text.height() - first), address,
        points, false, Qt::AlignLeft | Qt::AlignTop);
  };
  party(kReceiver, "收", label.receiver_name, label.receiver_phone, label.receiver_address, 10.5,
        mask_phone);
  party(kSender, "寄", label.sender_name, label.sender_phone, label.sender_address, 7.5, false);

  // What is in the parcel.
  const QRectF goods = band(kGoods).adjusted(pad, pad / 2, -pad, -pad / 2);
  const double count_width = goods.width() * 0.22;
  fit(QRectF(goods.left(), goods.top(), goods.width() - count_width, goods.height()),
      u("物品：") + label.goods, 8.5, false, Qt::AlignLeft | Qt::AlignVCenter);
  fit(QRectF(goods.right() - count_width, goods.top(), count_width, goods.height()),
      u("共 %1 件").arg(label.count), 10, true, Qt::AlignRight | Qt::AlignVCenter);

  // The order number, small, for 扫描发货; and room to sign.
  const QRectF order = band(kOrder).adjusted(pad, pad, -pad, -pad);
  const double code_width = order.width() * 0.62;
  const double order_bars = order.height() * 0.62;
  code128(QRectF(order.left(), order.top(), code_width, order_bars), label.order_no, 0.33);
  fit(QRectF(order.left(), order.top() + order_bars, code_width, order.height() - order_bars),
      u("订单号 ") + label.order_no, 8, false, Qt::AlignCenter);
  const double sign_left = order.left() + code_width + pad;
  m_p.drawLine(QPointF(sign_left, band(kOrder).top()), QPointF(sign_left, band(kOrder).bottom()));
  fit(QRectF(sign_left + pad, order.top(), order.right() - sign_left - pad, order.height()),
      u("签收人：\n\n时间："), 8, false, Qt::AlignLeft | Qt::AlignTop);
  m_p.restore();
}

// Where the label goes on `device`'s page.
QRectF label_area(PageFlow& flow, Paper paper) {
  if (is_label(paper)) return QRectF(0, 0, flow.width(), flow.painter().device()->height());
  const double width = flow.mm(kLabelWidthMm), height = flow.mm(kLabelHeightMm);
  const double scale =
      std::min({1.0, flow.width() / width, flow.painter().device()->height() / height});
  return QRectF((flow.width() - width * scale) / 2, 0, width * scale, height * scale);
}

}  // namespace

int paint_labels(QPagedPaintDevice& device, QPainter& painter, const std::vector<LabelData>& labels,
                 Paper paper, bool mask_phone) {
  PageFlow flow(device, painter);
  const QRectF area = label_area(flow, paper);
  int pages = 0;
  for (const LabelData& label : labels) {
    if (pages > 0) device.newPage();
    LabelPainter(flow, area).paint(label, mask_phone);
    ++pages;
  }
  return pages;
}

bool write_labels_pdf(const QString& path, const std::vector<LabelData>& labels, Paper paper,
                      bool mask_phone, QString* error) {
  if (labels.empty()) {
    if (error) *error = QString::fromUtf8("没有要打印的面单");
    return false;
  }
  return write_pdf_file(
      path, page_layout(paper), 600, QString::fromUtf8("电子面单"),
      [&](QPdfWriter& writer, QPainter& painter) {
        paint_labels(writer, painter, labels, paper, mask_phone);
      },
      error);
}

}  // namespace printing
