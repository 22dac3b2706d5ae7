#pragma once
// Which listed orders are new: those whose id (column 8) no poll or list
// fetch has seen before. Kept in the program's database when there is one
// (so a restart announces nothing again), else for this process.
//
// Usage: Sighting s = note_listed_orders(ctx, rows);
//        if (!s.first && !s.fresh.empty()) announce(s.fresh);

#include <vector>

#include "core/context.h"

namespace backoffice {

struct Sighting {
  std::vector<app::OrderRow> fresh;  // rows whose order was never seen, in list order
  bool first = false;                // nothing had ever been seen: only learning
};

// Marks the rows' orders as seen; what was new among them.
Sighting note_listed_orders(app::Context& ctx, const std::vector<app::OrderRow>& rows);

// The desktop notification of new orders: "蔚禾商城：N笔新订单" ("蔚禾商城：
// 店铺A N笔新订单" with the shop's label), and the first five order numbers
// with their amounts.
app::Text new_orders_title(std::size_t count, const app::Text& shop_label = {});
app::Text new_orders_body(const std::vector<app::OrderRow>& fresh);

}  // namespace backoffice
