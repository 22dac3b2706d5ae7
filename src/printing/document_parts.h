#pragma once
// What the two documents share: sizes by paper, the store's header, texts
// of the table cells. Internal to printing/.

#include <QString>

#include "printing/page_flow.h"
#include "printing/print_job.h"

namespace printing {

QString qs(const web::Text& text);
inline QString u(const char* utf8) { return QString::fromUtf8(utf8); }
QString cell_text(const app::OrderRow& row, int column);

// Body text size for the paper: smaller on labels.
double body_points(const PrintOptions& options);

// The store's logo (a blank place when there is none), its name and the
// document's title, across the top of the page.
void store_header(PageFlow& flow, const PrintJob& job, const PrintOptions& options);

void paint_pick_list(PageFlow& flow, const PrintJob& job, const PrintOptions& options);
void paint_packing_slips(PageFlow& flow, const PrintJob& job, const PrintOptions& options);

}  // namespace printing
