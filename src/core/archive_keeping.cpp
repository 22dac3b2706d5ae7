#include "core/archive_keeping.h"

#include <ctime>

#include "core/table_snapshot.h"
#include "store/database.h"
#include "store/order_archive.h"

namespace app {

using web::gbk;

namespace {

// Says once per run that the archive is not being kept, and why.
void tell_not_kept(Context& ctx, const std::string& why) {
  if (ctx.archive_failure_told.exchange(true)) return;
  const Text text = gbk("订单存档没有保存（") + web::utf8_to_gbk(why) +
                    gbk("）：订单照常列出，但不会留在历史订单里");
  ctx.form.append_log(text + "\r\n");
  ctx.form.show_failure(text);
}

void record(Context& ctx, const std::vector<store::OrderReading>& readings,
            store::OrderArchive::Source source) {
  if (!ctx.archive || readings.empty()) return;
  const std::string shop = shop_of(ctx);
  std::string why;
  bool done = false;
  // On the window's thread the window keeps painting while the page is written.
  ctx.form.wait([&] { done = ctx.archive->record(shop, readings, source, &why).has_value(); });
  if (!done) tell_not_kept(ctx, why);
}

}  // namespace

std::string shop_of(Context& ctx) {
  return web::gbk_to_utf8(ctx.form.text("编辑框1")) + "@" + web::gbk_to_utf8(ctx.hosts.backoffice);
}

std::vector<std::string> archive_cells(const OrderRow& row) {
  std::vector<std::string> cells;
  cells.reserve(row.size());
  for (const Text& t : row) cells.push_back(web::gbk_to_utf8(t));
  return cells;
}

OrderRow table_row_of(const store::ArchivedOrder& order) {
  OrderRow row(kOrderColumnCount);
  for (int c = 1; c < kOrderColumnCount && c < store::kArchivedColumns; ++c)
    row[c] = web::utf8_to_gbk(order.cells[c]);
  // The tracking service's last answer, kept apart, shows in 物流信息.
  if (row[kColTrackingInfo].empty()) row[kColTrackingInfo] = web::utf8_to_gbk(order.tracking_reply);
  return row;
}

void archive_listed_orders(Context& ctx, const std::vector<OrderRow>& rows) {
  std::vector<store::OrderReading> readings;
  readings.reserve(rows.size());
  for (const OrderRow& row : rows) readings.push_back({archive_cells(row), std::nullopt});
  record(ctx, readings, store::OrderArchive::Source::List);
}

void archive_order_detail(Context& ctx, const OrderRow& row, const std::vector<GoodsLine>& lines) {
  std::vector<GoodsLine> items = lines_in_utf8(lines);
  record(ctx, {{archive_cells(row), std::move(items)}}, store::OrderArchive::Source::Detail);
}

void claim_records_without_shop(Context& ctx) {
  if (!ctx.database || !ctx.settings_section.empty() || ctx.form.text("编辑框1").empty()) return;
  // A database that cannot be written was told at start; shipping refuses it.
  std::string ignored;
  ctx.database->adopt_records_without_shop(shop_of(ctx), &ignored);
}

std::int64_t forget_expired_orders(Context& ctx) {
  const int days = ctx.settings.read_number(gbk("keep_days"), gbk("archive"), 0, 0, 100000);
  if (days <= 0 || !ctx.archive) return 0;
  const std::string date =
      store::local_time_text("%Y-%m-%d", std::time(nullptr) - static_cast<std::int64_t>(days) * 86400);
  std::string why;
  std::optional<std::int64_t> forgotten;
  // Years of orders may go at once: the window keeps painting meanwhile.
  ctx.form.wait([&] { forgotten = ctx.archive->forget_before(date, &why); });
  if (!forgotten) tell_not_kept(ctx, why);
  return forgotten.value_or(0);
}

std::vector<GoodsLine> known_goods_lines(Context& ctx, const OrderRow& row) {
  const Text id = cell_of(row, kColId);
  if (auto read = ctx.goods_lines.of(id); !read.empty()) return read;
  if (ctx.archive && !id.empty())
    if (auto known = ctx.archive->find(shop_of(ctx), web::gbk_to_utf8(id)); known && !known->items.empty())
      return lines_in_system_text(known->items);
  return goods_lines_of_row(ctx.goods_lines, row);
}

}  // namespace app
