#include "charts/report_pdf.h"

#include <QGraphicsScene>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <memory>

#include "charts/report_charts.h"
#include "printing/documents.h"
#include "report/report_output.h"

namespace charts {

namespace {

QString u(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

// Draws `chart` into `target`, laid out at `size` scene units first so its
// texts keep their proportions at any resolution.
void draw_chart(QPainter& painter, QChart* chart, const QRectF& target, QSizeF size) {
  QGraphicsScene scene;
  scene.addItem(chart);  // the scene deletes it
  chart->resize(size);
  scene.setSceneRect(QRectF(QPointF(0, 0), size));
  scene.render(&painter, target, scene.sceneRect(), Qt::KeepAspectRatio);
}

}  // namespace

bool write_report_pdf(const QString& path, const report::Report& r, const QString& shop, QString* error) {
  const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                           QPageLayout::Millimeter);
  return printing::write_pdf_file(path, layout, 300, QString::fromUtf8("统计"), [&](QPdfWriter& writer, QPainter& painter) {
    const double w = writer.width(), h = writer.height();
    const double mm = writer.resolution() / 25.4;
    QFont title;
    title.setPointSizeF(14);
    title.setBold(true);
    painter.setFont(title);
    double y = 0;
    const QString heading = QString::fromUtf8("统计　%1%2 至 %3")
                                .arg(shop.isEmpty() ? QString() : shop + QString::fromUtf8("　"),
                                     u(r.range.since), u(r.range.until));
    painter.drawText(QRectF(0, y, w, 9 * mm), Qt::AlignLeft | Qt::AlignVCenter, heading);
    y += 10 * mm;

    // The headline figures in a row of boxes.
    const auto figures = report::headline_figures(r);
    const double box = w / static_cast<double>(figures.size());
    QFont caption, value;
    caption.setPointSizeF(8);
    value.setPointSizeF(10);
    value.setBold(true);
    for (std::size_t i = 0; i < figures.size(); ++i) {
      const QRectF cell(box * static_cast<double>(i), y, box - 2 * mm, 18 * mm);
      painter.setPen(QColor(180, 180, 180));
      painter.drawRect(cell);
      painter.setPen(Qt::black);
      painter.setFont(caption);
      painter.drawText(cell.adjusted(mm, mm, -mm, 0), Qt::AlignLeft | Qt::AlignTop, u(figures[i].caption));
      painter.drawText(cell.adjusted(mm, 11 * mm, -mm, -mm), Qt::AlignLeft | Qt::TextWordWrap, u(figures[i].note));
      painter.setFont(value);
      painter.drawText(cell.adjusted(mm, 5 * mm, -mm, -mm), Qt::AlignLeft | Qt::AlignTop, u(figures[i].value));
    }
    y += 21 * mm;
    const std::string empty = report::empty_report_sentence(r);
    if (!empty.empty()) {
      painter.setFont(caption);
      painter.drawText(QRectF(0, y, w, 6 * mm), Qt::AlignLeft, u(empty));
      y += 7 * mm;
    }

    // Orders and revenue across the page; goods and shipping time below it.
    const double chart_height = (h - y) / 2 - 2 * mm;
    draw_chart(painter, period_chart(r), QRectF(0, y, w, chart_height), QSizeF(1100, 330));
    y += chart_height + 3 * mm;
    draw_chart(painter, top_goods_chart(r), QRectF(0, y, w / 2 - 2 * mm, chart_height), QSizeF(560, 330));
    draw_chart(painter, ship_hours_chart(r), QRectF(w / 2 + 2 * mm, y, w / 2 - 2 * mm, chart_height),
               QSizeF(560, 330));
  }, error);
}

}  // namespace charts
