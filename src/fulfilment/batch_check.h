#pragma once
// The checks a batch runs over its rows before the first request: each row
// gets a verdict, and only ready rows (and those with a mere warning) are
// shipped unless the merchant says otherwise.
//
// Usage: auto verdicts = check_batch(rows, courier, journal_view, patterns);
//        if (!all_ready(verdicts)) ask...

#include <set>
#include <string>
#include <vector>

#include "core/form.h"
#include "fulfilment/courier_patterns.h"

namespace fulfilment {

enum class Verdict {
  Ready,
  NoOrderId,            // 订单ID (column 8) empty
  NoTrackingNo,         // 快递单号 empty once spaces are trimmed
  SpreadsheetDamaged,   // "7.73277E+14", "123.0"
  DuplicateTrackingNo,  // the same number on another row of this batch
  AlreadyShipped,       // 发货成功 in its status, or shipped by the journal
  OutcomeUnknown,       // the journal holds a shipment of it without an answer
  CourierMismatch,      // a warning: the number does not look like the courier's
};

struct RowVerdict {
  Verdict verdict = Verdict::Ready;
  app::Text reason;  // system text; empty when ready
  bool ships() const { return verdict == Verdict::Ready || verdict == Verdict::CourierMismatch; }
};

// What the journal knows about earlier shipments (order ids, UTF-8).
struct EarlierShipments {
  std::set<std::string> shipped;
  std::set<std::string> unknown;
};

// One verdict per row, in row order. `courier` is the code in 编辑框12.
std::vector<RowVerdict> check_batch(const std::vector<app::OrderRow>& rows, const app::Text& courier,
                                    const EarlierShipments& earlier,
                                    const CourierPatterns& patterns);

bool all_ready(const std::vector<RowVerdict>& verdicts);

}  // namespace fulfilment
