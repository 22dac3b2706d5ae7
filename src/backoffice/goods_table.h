#pragma once
// Reading every row of an order's goods table on its edit page (the first
// table body of the page): goods name, quantity, the text after "包装方式:",
// unit price and line total, exactly as the cells hold them. The detail
// groups (detail_page.h) keep only the first row; this reader is the one
// that sees them all. A page without a goods table gives no lines.
//
// Usage: std::vector<app::GoodsLine> lines = backoffice::goods_lines_of(page);

#include <vector>

#include "core/goods_lines.h"
#include "web/text.h"

namespace backoffice {

std::vector<app::GoodsLine> goods_lines_of(const web::Text& page);

}  // namespace backoffice
