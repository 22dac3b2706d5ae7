#pragma once
// Shipping by barcode scanner, one parcel at a time: the check a scanned
// order gets before its tracking number is scanned, and the shipment of that
// row with the scanned number (courier of 编辑框12, sender of 编辑框13,
// journaled like every shipment).
//
// Usage: Text why = fulfilment::scan_refusal(ctx, row);            // first scan
//        Text said;
//        bool shipped = fulfilment::ship_scanned_row(ctx, row, number, &said);

#include "core/context.h"
#include "web/text.h"

namespace fulfilment {

using web::Text;

// Why row `row` must not be shipped whatever number comes: no order id,
// already shipped (by its status or the journal), an earlier shipment
// without an answer. Empty when it may be.
Text scan_refusal(app::Context& ctx, int row);
// Ships row `row` with `tracking`. Checked first with the number in its
// 快递单号 as any single shipment, but nothing is asked: whatever would be
// asked about is refused, and so is a number that does not look like one
// (the courier's pattern, or eight letters or digits); nothing is sent. Then the number is written to 快递单号, the
// row is shipped, and 发货状态 gets the status word. *said is what to tell
// the merchant; true when the back office took the shipment.
bool ship_scanned_row(app::Context& ctx, int row, const Text& tracking, Text* said);

}  // namespace fulfilment
