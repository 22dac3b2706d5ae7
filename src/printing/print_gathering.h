#pragma once
// The orders a document is printed from: rows of the order table, each with
// every goods line known for it (this run's detail reads, else the archive,
// else the row's own first line). Rows whose details were never fetched are
// fetched first; a row that still has none is named and left out, so nothing
// is printed half-empty. Runs on a worker (the fetch blocks).
//
// Usage: PrintJob job = gather_print_job(ctx, keys, Document::PickList, gbk("待发货订单"));
//        if (!job.left_out.empty()) tell(job.left_out);

#include <vector>

#include "core/context.h"
#include "printing/print_job.h"

namespace printing {

// `keys` in table order; empty: every row of the table. With `fetch_missing`
// false nothing is asked of the back office (a workbook printed offline).
PrintJob gather_print_job(app::Context& ctx, std::vector<app::RowKey> keys, Document document,
                          web::Text source, bool fetch_missing = true);

// Whether a row holds enough to print `document` from: goods lines for both,
// a consignee or an address for a slip.
bool printable(Document document, const app::OrderRow& row, const std::vector<app::GoodsLine>& lines);

// The sentence that names the orders left out (system text); empty when none.
web::Text left_out_sentence(const PrintJob& job);

}  // namespace printing
