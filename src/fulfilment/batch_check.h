#pragma once
// The checks a batch runs over its rows before the first request: each row
// gets a verdict, and only ready rows are shipped unless the merchant takes
// the warned rows too, or every row.
//
// Usage: auto verdicts = check_batch(rows, courier, journal_view, patterns);
//        if (!all_ready(verdicts)) ask...

#include <map>
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
  SpreadsheetDamaged,   // "7.73277E+14", "123.0"; for one order, characters no number has
  DuplicateTrackingNo,  // on another row of this batch, or shipped with another order
  AlreadyShipped,       // 发货成功 in its status, a shipped state, or shipped by the journal
  OutcomeUnknown,       // the journal holds a shipment of it without an answer
  CourierMismatch,      // a warning: the number does not look like the courier's
};

struct RowVerdict {
  Verdict verdict = Verdict::Ready;
  app::Text reason;  // system text; empty when ready
  bool other_station = false;  // another packing station has the order: refused, not skipped
  bool warned() const { return verdict == Verdict::CourierMismatch; }
  // Whether the batch sends this row when the merchant chose `choice`.
  bool ships(app::BatchChoice choice) const {
    switch (choice) {
      case app::BatchChoice::ReadyOnly: return verdict == Verdict::Ready;
      case app::BatchChoice::WithWarned: return verdict == Verdict::Ready || warned();
      case app::BatchChoice::All: return true;
      default: return false;
    }
  }
};

// What the journal knows about earlier shipments (UTF-8).
struct EarlierShipments {
  std::set<std::string> shipped;  // order ids
  std::set<std::string> unknown;
  std::map<std::string, std::string> numbers;  // tracking number -> order id shipped with it
  // Order id -> the other packing station that shipped it (or is shipping it) from the shared store.
  std::map<std::string, std::string> by_station;
};

// One verdict per row, in row order. `courier` is the code in 编辑框12.
std::vector<RowVerdict> check_batch(const std::vector<app::OrderRow>& rows, const app::Text& courier,
                                    const EarlierShipments& earlier,
                                    const CourierPatterns& patterns);

bool all_ready(const std::vector<RowVerdict>& verdicts);

// A 状态 the back office gives an order once it has left (a row of the
// to-receive or all list).
bool shipped_state(const app::Text& state);
// The row says its order has left: 发货成功 in 发货状态, or a shipped 状态.
bool shows_shipped(const app::OrderRow& row);

// One order shipped on its own (the menu entry, the scan, weihe-cli ship
// --order) is held to the same checks; what its verdict calls for:
//   Refuse  no order id, no number, a damaged number: nothing may be sent;
//   Ask     a number used elsewhere, an order already shipped or without an
//           answer last time, a number unlike the courier's: only if the
//           merchant says so.
// A number typed or scanned for one order is also refused when it holds
// anything but letters, digits and dashes.
enum class SingleCheck { Ship, Ask, Refuse };
SingleCheck single_check(const RowVerdict& verdict);
// The verdict on row `row` of `rows` shipped on its own.
RowVerdict check_single(const std::vector<app::OrderRow>& rows, std::size_t row,
                        const app::Text& courier, const EarlierShipments& earlier,
                        const CourierPatterns& patterns);

}  // namespace fulfilment
