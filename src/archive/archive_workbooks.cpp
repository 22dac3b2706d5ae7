#include "archive/archive_workbooks.h"

#include "backoffice/shown_list.h"
#include "core/archive_keeping.h"
#include "core/columns.h"
#include "exchange/export.h"
#include "exchange/import.h"
#include "exchange/workbook_reader.h"
#include "exchange/workbook_writer.h"

namespace archive {

ImportCounts import_workbooks(app::Context& ctx, const std::vector<std::string>& paths) {
  ImportCounts counts;
  if (!ctx.archive) {
    counts.failures.push_back("没有订单存档（数据库用不了）");
    return counts;
  }
  const std::string shop = app::shop_of(ctx);
  for (const std::string& path : paths) {
    const exchange::ReadResult book = exchange::read_workbook(path);
    if (!book.ok()) {
      counts.failures.push_back(path + "：" + book.error);
      continue;
    }
    const auto lines =
        exchange::goods_lines_from_sheet(exchange::read_named_sheet(path, exchange::kGoodsLinesSheet).sheet);
    std::vector<store::OrderReading> readings;
    int without_id = 0;
    for (const app::OrderRow& row : exchange::orders_from_sheet(book.sheet, app::kOrderColumnCount)) {
      std::vector<std::string> cells = app::archive_cells(row);
      if (cells[app::kColId].find_first_not_of(" \t") == std::string::npos) {
        ++without_id;
        continue;
      }
      const auto found = lines.find(cells[app::kColId]);
      readings.push_back({std::move(cells), found == lines.end()
                                                ? std::optional<std::vector<store::GoodsLine>>()
                                                : found->second});
    }
    std::string why;
    if (!ctx.archive->record(shop, readings, store::OrderArchive::Source::Import, &why)) {
      counts.failures.push_back(path + "：" + why);
      continue;
    }
    ++counts.files_read;
    counts.orders += static_cast<int>(readings.size());
    counts.without_id += without_id;
  }
  return counts;
}

std::string write_orders(const std::string& path, const std::vector<store::ArchivedOrder>& orders) {
  std::vector<std::string> titles;
  for (const app::ListColumn& c : app::order_columns()) titles.emplace_back(c.title);
  std::vector<std::vector<std::string>> rows;
  exchange::NamedSheet lines = exchange::empty_goods_lines_sheet();
  for (const store::ArchivedOrder& o : orders) {
    std::vector<std::string> row(o.cells.begin(), o.cells.end());
    row[app::kColSerial] = std::to_string(rows.size() + 1);
    rows.push_back(std::move(row));
    exchange::add_goods_lines(lines, o.cells[app::kColOrderNo], o.cells[app::kColId], o.items);
  }
  return exchange::write_workbook(path, titles, rows, nullptr, {lines});
}

void load_into_order_list(app::Context& ctx, const std::vector<store::ArchivedOrder>& orders) {
  app::Form& form = ctx.form;
  app::TableLock::Hold hold(ctx.table->lock, form, app::TableLock::ui_patience());
  if (!hold.owns()) return app::tell_table_busy(form);
  std::vector<app::OrderRow> rows;
  for (const store::ArchivedOrder& o : orders) {
    app::OrderRow row = app::table_row_of(o);
    row[app::kColSerial] = std::to_string(rows.size() + 1);
    std::vector<app::GoodsLine> lines = app::lines_in_system_text(o.items);
    if (!lines.empty()) ctx.goods_lines.set(row[app::kColId], std::move(lines));
    rows.push_back(std::move(row));
  }
  form.replace_rows(app::kOrderList, rows);
  backoffice::forget_shown_list(ctx);
  form.set_enabled("按钮6", !rows.empty());
  form.show_status(web::gbk("从历史订单载入 ") + std::to_string(rows.size()) + web::gbk(" 笔"));
}

std::string seen_time_text(std::int64_t unix_time) {
  return store::local_time_text("%Y-%m-%d %H:%M:%S", unix_time);
}

}  // namespace archive
