#include "backoffice/new_orders.h"

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "core/archive_keeping.h"
#include "store/seen_orders.h"

namespace backoffice {

using web::gbk;
using web::Text;

namespace {

Text id_of(const app::OrderRow& row) {
  return row.size() > app::kColId ? web::trim_spaces(row[app::kColId]) : Text();
}

// Without a database: what this process has seen, per context.
Sighting note_in_memory(const app::Context& ctx, const std::vector<app::OrderRow>& rows) {
  static std::mutex mutex;
  static std::map<const app::Context*, std::set<Text>> seen;
  std::lock_guard lock(mutex);
  const bool first = !seen.count(&ctx);
  std::set<Text>& ids = seen[&ctx];
  Sighting s{{}, first};
  for (const auto& row : rows) {
    const Text id = id_of(row);
    if (!id.empty() && ids.insert(id).second) s.fresh.push_back(row);
  }
  return s;
}

}  // namespace

Sighting note_listed_orders(app::Context& ctx, const std::vector<app::OrderRow>& rows) {
  if (!ctx.database || !ctx.database->ok()) return note_in_memory(ctx, rows);
  std::vector<std::string> ids;
  for (const auto& row : rows) ids.push_back(web::gbk_to_utf8(id_of(row)));
  Sighting s;
  const std::vector<std::string> fresh = store::SeenOrders(*ctx.database, app::shop_of(ctx)).note(ids, &s.first);
  const std::set<std::string> fresh_ids(fresh.begin(), fresh.end());
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (fresh_ids.count(ids[i])) s.fresh.push_back(rows[i]);
  return s;
}

Text new_orders_title(std::size_t count, const Text& shop_label) {
  return gbk("蔚禾商城：") + (shop_label.empty() ? Text() : shop_label + " ") + std::to_string(count) +
         gbk("笔新订单");
}

Text new_orders_body(const std::vector<app::OrderRow>& fresh) {
  Text body;
  constexpr std::size_t kNamed = 5;
  for (std::size_t i = 0; i < fresh.size() && i < kNamed; ++i) {
    const app::OrderRow& row = fresh[i];
    auto cell = [&row](int c) { return c < static_cast<int>(row.size()) ? row[c] : Text(); };
    body += (body.empty() ? "" : "\n") + cell(app::kColOrderNo) + "  " + cell(app::kColTotal);
  }
  if (fresh.size() > kNamed) body += "\n" + gbk("……");
  return body;
}

}  // namespace backoffice
