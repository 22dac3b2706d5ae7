#include "printing/documents.h"

#include <QFileInfo>
#include <QImage>
#include <QPdfWriter>
#include <QSaveFile>

#include "core/table_snapshot.h"
#include "printing/document_parts.h"

namespace printing {

QString qs(const web::Text& text) {
  return QString::fromStdString(web::gbk_to_utf8(text));
}

QString cell_text(const app::OrderRow& row, int column) {
  return qs(app::cell_of(row, column)).trimmed();
}

QString document_title(Document document) {
  return QString::fromUtf8(document == Document::PickList ? "拣货单" : "发货单");
}

double body_points(const PrintOptions& options) {
  switch (options.paper) {
    case Paper::A4:
      return 10;
    case Paper::A5:
      return 9;
    default:
      return 7.5;
  }
}

void store_header(PageFlow& flow, const PrintJob& job, const PrintOptions& options) {
  const bool label = is_label(options.paper);
  const double side = flow.mm(label ? 9 : 14);
  const double gap = flow.mm(2);
  const double top = flow.y();
  const QImage logo = QImage::fromData(reinterpret_cast<const uchar*>(job.logo.data()),
                                       static_cast<int>(job.logo.size()));
  if (!logo.isNull()) {
    const QSizeF fitted = QSizeF(logo.size()).scaled(side, side, Qt::KeepAspectRatio);
    flow.painter().drawImage(QRectF(0, top, fitted.width(), fitted.height()), logo);
  }
  const QString name = job.store_name.empty() ? QString::fromUtf8("蔚禾商城") : qs(job.store_name);
  const QFont big = flow.font(body_points(options) + 3, true);
  const double title_width = flow.mm(label ? 14 : 24);
  const double name_width = flow.width() - side - gap - title_width;
  flow.row({{name, big, name_width}, {document_title(job.document), big, title_width, Qt::AlignRight}},
           false, false, side + gap);
  flow.advance(std::max(0.0, top + side - flow.y()));
  flow.advance(flow.mm(1));
}

int paint_document(QPagedPaintDevice& device, QPainter& painter, const PrintJob& job,
                   const PrintOptions& options) {
  PageFlow flow(device, painter);
  if (job.document == Document::PickList)
    paint_pick_list(flow, job, options);
  else
    paint_packing_slips(flow, job, options);
  return flow.pages();
}

bool write_pdf_file(const QString& path, const QPageLayout& layout, int resolution, const QString& title,
                    const std::function<void(QPdfWriter&, QPainter&)>& paint, QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = QString::fromUtf8("PDF文件写不了：%1（%2）").arg(path, why);
    return false;
  };
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
  {
    QPdfWriter writer(&file);
    writer.setCreator(QString::fromUtf8("蔚禾商城订单管理系统"));
    writer.setTitle(title);
    writer.setResolution(resolution);
    writer.setPageLayout(layout);
    QPainter painter;
    if (!painter.begin(&writer)) {
      file.cancelWriting();
      return fail(QString::fromUtf8("画不了"));
    }
    paint(writer, painter);
    painter.end();
  }
  return file.commit() || fail(file.errorString());
}

bool write_pdf(const QString& path, const PrintJob& job, const PrintOptions& options, QString* error) {
  return write_pdf_file(path, page_layout(options.paper, options.orientation), 600, document_title(job.document),
                        [&](QPdfWriter& writer, QPainter& painter) { paint_document(writer, painter, job, options); },
                        error);
}

}  // namespace printing
