#pragma once
// The "导出订单" operation: writes the order table into a new .xlsx workbook at
// a path the merchant picks in a save dialog, and says whether it worked.
//
// Usage: export_orders(ctx);   // on the UI thread, from the context menu

#include <filesystem>

#include "core/context.h"
#include "exchange/workbook_writer.h"
#include "store/goods_line.h"

namespace exchange {

void export_orders(app::Context& ctx);

// The export's second sheet: one row per goods line of each order (订单号,
// ID, 商品, 数量, 规格, 单价, 小计). The first sheet stays the table as it is,
// so the import reads an export as before.
inline constexpr const char* kGoodsLinesSheet = "商品明细";
NamedSheet goods_lines_sheet(app::Context& ctx, const std::vector<app::OrderRow>& rows);
// That sheet with its titles and no rows, and one order's lines (UTF-8) added to it.
NamedSheet empty_goods_lines_sheet();
void add_goods_lines(NamedSheet& sheet, const std::string& order_no, const std::string& id,
                     const std::vector<store::GoodsLine>& lines);

// What the save dialog proposes: "订单_<date>_<hhmm>.xlsx" in export_folder().
// System text (GB18030).
web::Text suggested_export_path();

// Where a save dialog for an export opens: the folder of the last export of
// this run (the order list's, 历史订单's, 统计's), else the desktop folder.
std::filesystem::path export_folder();
// An export was just saved at `path` (system text): its folder is offered next.
void remember_export_path(const web::Text& path);

// The desktop folder, or the home folder when there is no desktop folder.
std::filesystem::path desktop_folder();

}  // namespace exchange
