#pragma once
// 取号打印 from the window: which of a set of table rows can get an e-waybill
// (the others named with the reason), then their waybills through
// order_waybills, each shown on its row: the number in 快递单号, and in
// 发货状态 "已取号" or "面单不明" (shipped rows keep shipping's own words).
// After the labels are printed their waybills become `printed`.
//
// Usage: WaybillPlan plan = plan_waybills(ctx, keys);          // on a worker
//        if (plan.refusal.empty() && merchant_agrees(plan))
//          auto done = order_and_show(ctx, plan.ready, ship);  // on a worker
//        print(done); mark_printed(ctx, done);

#include <string>
#include <vector>

#include "core/context.h"
#include "waybill/waybill_orders.h"

namespace waybill {

struct WaybillPlan {
  std::string refusal;                          // UTF-8: why nothing can be ordered at all
  std::string provider, courier, courier_name;  // UTF-8, from the account
  std::vector<app::RowKey> ready;
  std::vector<app::BatchProblem> problems;  // system text, as the batch question shows them
  int total = 0;
};

// The rows of `keys` (empty: every row not shipped yet). A row is refused
// when it is shipped already, has no consignee, telephone or address (once
// its details are known), or its waybill is unknown.
WaybillPlan plan_waybills(app::Context& ctx, const std::vector<app::RowKey>& keys);

// The account's provider orders the waybills of `keys` (shipping each with
// `ship`), and every outcome is shown on its row.
std::vector<WaybillOutcome> order_and_show(app::Context& ctx, const std::vector<app::RowKey>& keys,
                                           bool ship);

// The outcomes' waybills, their labels printed: ordered -> printed.
void mark_printed(app::Context& ctx, const std::vector<WaybillOutcome>& outcomes);

// A row's words for its waybill in 发货状态 (system text); empty for a
// result that leaves 发货状态 as it is.
app::Text waybill_status(const WaybillOutcome& outcome);

}  // namespace waybill
