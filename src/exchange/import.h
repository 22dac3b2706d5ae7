#pragma once
// The import of orders from a workbook dropped on the window: the first
// worksheet's rows replace the rows of the order table, cells going into
// table columns by position. The workbook is read completely first; when it
// cannot be read, the table stays as it was and the merchant is told why.
// The table's columns are left as they are.
//
// Usage: import_orders(ctx, dropped_path);   // on the UI thread

#include <map>
#include <string>
#include <vector>

#include "core/context.h"
#include "exchange/sheet.h"
#include "store/goods_line.h"

namespace exchange {

void import_orders(app::Context& ctx, const web::Text& path);

// The table rows a sheet gives, each `width` cells wide (system text): the
// titles of row 1 up to the first blank one say how many columns are taken,
// and the rows from row 2 up to the first blank one are taken.
std::vector<app::OrderRow> orders_from_sheet(const Sheet& sheet, int width);

// The goods lines of an export's "商品明细" sheet, by order id (UTF-8):
// columns found by their titles (ID, 商品, 数量, 规格, 单价, 小计), rows
// without an ID skipped. A sheet without an ID column gives none.
std::map<std::string, std::vector<store::GoodsLine>> goods_lines_from_sheet(const Sheet& sheet);

// The single path in a drop's path text ("path\r\n" per file); empty when the
// text names no file or several files (`several` tells which).
web::Text single_dropped_path(const web::Text& paths, bool& several);

}  // namespace exchange
