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
#include <utility>
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

// The outcomes' waybills, their labels printed: ordered -> printed. An
// outcome without its record stands for the order's live waybill of that number.
void mark_printed(app::Context& ctx, const std::vector<WaybillOutcome>& outcomes);

// Cancelling an order's live waybill at the provider: what came of it.
struct CancelResult {
  enum class Kind { Cancelled, NoWaybill, Unsettled, Shipped, Refused, NoAnswer };
  Kind kind = Kind::NoWaybill;
  std::string number;  // the waybill's number, when it has one
  std::string reason;  // UTF-8, for the merchant
};
// A shipped order's waybill only with `force`; an unknown one never (it is
// settled first). The journal's record becomes cancelled once the provider says so.
CancelResult cancel_waybill(Provider& provider, store::WaybillJournal& journal,
                            const std::string& order_id, const std::string& reason, bool force);
// The same with the account in the settings and the context's journal, the
// row of the order shown as cancelled; what to tell the merchant in `said`.
bool cancel_order_waybill(app::Context& ctx, const std::string& order_id, std::string* said);
// The merchant settles an unknown waybill: `number` found in the provider's
// back office, or none made (empty); the order's row shows it.
bool settle_order_waybill(app::Context& ctx, const std::string& order_id, const std::string& number,
                          std::string* said);
// The order's label drawn again from the journal, without a request; empty
// (no waybill number) when it has none.
printing::LabelData order_label(app::Context& ctx, const std::string& order_id);

// The mall's courier code for the account's courier (system text); empty
// when section `waybill` names no provider.
app::Text account_courier(app::Context& ctx);

// 测试 of an account, ordering nothing: a signed cancel of a made-up number.
// True when the account answers as the merchant's (its "not found" says the
// keys and the signature are right); the answer in words (UTF-8).
std::pair<bool, std::string> probe_account(const Account& account, Post post);

// A row's words for its waybill in 发货状态 (system text); empty for a
// result that leaves 发货状态 as it is.
app::Text waybill_status(const WaybillOutcome& outcome);

}  // namespace waybill
