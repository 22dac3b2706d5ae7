#pragma once
// The order archive and workbooks: old exports (this program's, with the
// goods lines of their "商品明细" sheet, or the system's 26-column layout)
// read into the archive without touching the order table; found orders
// written as an export is, so they can be imported again; and found orders
// put into the order table as a list fetch puts its rows.
//
// Usage: auto counts = archive::import_workbooks(ctx, {"2025.xlsx"});
//        std::string why = archive::write_orders(path, found);
//        archive::load_into_order_list(ctx, found);

#include <string>
#include <vector>

#include "core/context.h"
#include "store/order_archive.h"

namespace archive {

struct ImportCounts {
  int files_read = 0;
  int orders = 0;         // rows with an ID, recorded
  int without_id = 0;     // rows skipped
  std::vector<std::string> failures;  // "file: why" (UTF-8), one per unreadable file
};
// Paths are UTF-8. Each workbook is recorded in one transaction.
ImportCounts import_workbooks(app::Context& ctx, const std::vector<std::string>& paths);

// Writes `orders` as the export writes the table: 26 columns on the first
// sheet (序号 numbering them), their goods lines on "商品明细". Empty on
// success, else why not (UTF-8).
std::string write_orders(const std::string& path, const std::vector<store::ArchivedOrder>& orders);

// Replaces the order table's rows with `orders`, their goods lines known
// again; the table then shows no list of the back office.
void load_into_order_list(app::Context& ctx, const std::vector<store::ArchivedOrder>& orders);

// A first-seen or last-seen time as shown and printed: local, "2026-12-09 15:03:00".
std::string seen_time_text(std::int64_t unix_time);

}  // namespace archive
