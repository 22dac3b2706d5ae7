#pragma once
// The four order-list fetches: each requests one list page from the back
// office, then empties the order table and appends one row per order
// (columns 序号 to ID) and enables 按钮6 (取详情). A failed request (no
// answer, an error status, a body that is no page, the login form) leaves
// the table as it was and says so: the log, the title and the status line.
// They hold the table lock throughout, so they never interleave with each
// other, the detail fetch or the reminder.
//
// Usage: form.start_worker([&ctx] { backoffice::fetch_orders_to_ship(ctx); });   // 按钮4
//        backoffice::fetch_all_orders(ctx);                                       // 按钮2, UI
//        thread

#include <optional>
#include <string_view>
#include <vector>

#include "core/context.h"

namespace backoffice {

// List pages on the back-office host (also the names recorded by shown_list.h).
inline constexpr std::string_view kUnpaidList = "/order/list?order_state=10";
inline constexpr std::string_view kToShipList = "/order/list?order_state=20";
inline constexpr std::string_view kToReceiveList = "/order/list?order_state=30";
inline constexpr std::string_view kAllList = "/order/list";

void fetch_unpaid_orders(app::Context& ctx);      // worker
void fetch_orders_to_ship(app::Context& ctx);     // worker; silent, no progress
void fetch_orders_to_receive(app::Context& ctx);  // worker
void fetch_all_orders(app::Context& ctx);         // UI thread; progress 1, then per row

// Requests one list page and reads its rows (columns 0..8). Nothing when the
// request brought no answer at all, an error status, a body that is no HTML
// page, or the login form (an expired session), with `failure` saying which
// ("后台返回 500"); a page in another layout gives no rows. `complete`,
// when given, is false for a page cut short (its rows are those that came).
// Does not touch the table or take the lock.
std::optional<std::vector<app::OrderRow>> request_order_list(app::Context& ctx,
                                                             std::string_view list,
                                                             bool* complete = nullptr,
                                                             web::Text* failure = nullptr);

// The name of a list as the window's buttons give it ("待发货").
web::Text list_name(std::string_view list);

}  // namespace backoffice
