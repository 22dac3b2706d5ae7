#pragma once
// Reading an order-list page: one row per order, columns 序号 to ID, each cell
// exactly as captured between its "<td>" and "</td>" (markup kept).
//
// Usage: web::PatternMatcher matcher;              // one per operation
//        std::vector<app::OrderRow> rows = order_rows_of(page, matcher);

#include <vector>

#include "core/form.h"
#include "web/pattern_matcher.h"

namespace backoffice {

using web::Text;

// The row pattern: seven cells, then a cell opening on a line feed that holds
// the order's edit link; group 8 is the edit id.
const Text& order_row_pattern();

// Rows of 9 cells: column 0 is the row's position (1 for the first), columns
// 1..8 the pattern's groups. A page in another layout gives no rows.
std::vector<app::OrderRow> order_rows_of(const Text& page, web::PatternMatcher& matcher);

// Whether a page that gave no rows is still an order list: it carries the
// list's own marks (its table's 订单号 heading, its pager, its count or its
// empty-list text). Anything else (a maintenance page, a stray error, bytes
// that are not the page) is no answer, never "no orders".
bool is_order_list_page(const Text& page);

}  // namespace backoffice
