#pragma once
// Reading an order's edit page: the thirteen detail groups (goods, quantity,
// packaging, unit price, line total, amount, payment method, pick-up method,
// buyer's message, consignee, telephone, address, tracking number) that fill
// columns 商品 to 快递单号 of its row, exactly as captured.
//
// Usage: web::PatternMatcher matcher;
//        if (auto groups = order_detail_of(page, matcher)) form.set_cells_by_key(..., *groups);

#include <optional>
#include <vector>

#include "web/pattern_matcher.h"

namespace backoffice {

using web::Text;

inline constexpr int kDetailGroups = 13;

const Text& order_detail_pattern();

// The groups of the page's last match (every match describes the same order),
// or nothing when the page does not match (another layout, an error page).
std::optional<std::vector<Text>> order_detail_of(const Text& page, web::PatternMatcher& matcher);

}  // namespace backoffice
