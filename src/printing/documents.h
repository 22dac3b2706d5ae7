#pragma once
// The two documents of the packing table, painted page after page on any paged
// device: the print preview's printer, a printer, a PDF writer. One code path,
// so what the preview shows is what the printer and the PDF get.
// 拣货单: every goods line of the orders summed by goods and 规格.
// 发货单: one per order, from its own page on (a long one continues).
//
// Usage: QPainter painter(&printer);  paint_document(printer, painter, job, options);
//        if (!write_pdf(path, job, options, &error)) say(error);

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QString>

#include <functional>

#include "printing/print_job.h"

namespace printing {

// `painter` is active on `device`. Returns the number of pages painted.
int paint_document(QPagedPaintDevice& device, QPainter& painter, const PrintJob& job,
                   const PrintOptions& options);

// The document as a PDF file at `path`, on options.paper: the file appears
// whole or not at all (an earlier file stays until the new one is complete).
// False with `error` (UTF-8, for the merchant) when it could not be written.
bool write_pdf(const QString& path, const PrintJob& job, const PrintOptions& options, QString* error);

// Any PDF file, painted by `paint` on a writer set to `layout` at `resolution`
// dpi: whole or not at all, false with `error` (for the merchant) otherwise.
bool write_pdf_file(const QString& path, const QPageLayout& layout, int resolution, const QString& title,
                    const std::function<void(QPdfWriter&, QPainter&)>& paint, QString* error);

}  // namespace printing
