#pragma once
// Keeping the order archive as operations read orders: every list page and
// every order's details go into it (store/order_archive.h), under the shop
// being served ("account@host"). An archive that cannot be written never
// stops the operation: the merchant is told once, and the work goes on.
//
// Usage: app::archive_listed_orders(ctx, rows);          // after a list page
//        app::archive_order_detail(ctx, row, lines);      // after an order's page

#include <string>
#include <vector>

#include "core/context.h"
#include "store/order_archive.h"

namespace app {

// "account@host" of the back office being served (UTF-8).
std::string shop_of(Context& ctx);

void archive_listed_orders(Context& ctx, const std::vector<OrderRow>& rows);
// `row`: the order's cells with its details in place (its ID in column 8).
void archive_order_detail(Context& ctx, const OrderRow& row, const std::vector<GoodsLine>& lines);

// Every goods line known for a table row's order: read in this run, else
// kept by the archive from an earlier run, else the first line its cells hold.
std::vector<GoodsLine> known_goods_lines(Context& ctx, const OrderRow& row);

// Forgets the records older than key `keep_days` of section `archive` says
// (0 or missing: keeps everything); how many were forgotten.
std::int64_t forget_expired_orders(Context& ctx);

// The first shop takes over the journal entries, seen orders and tracking
// answers kept before they were kept per shop (once its account is known).
void claim_records_without_shop(Context& ctx);

// A row of the table as the archive keeps it, and back (UTF-8 <-> system
// text; 物流信息 shows the tracking service's last answer when it is empty).
std::vector<std::string> archive_cells(const OrderRow& row);
OrderRow table_row_of(const store::ArchivedOrder& order);

}  // namespace app
