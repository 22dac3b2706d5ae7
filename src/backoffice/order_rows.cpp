#include "backoffice/order_rows.h"

#include <string>

namespace backoffice {

const Text& order_row_pattern() {
  static const Text pattern =
      R"~(<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>)~"
      R"~([\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>)~"
      "\n"
      R"~([\s\S]+?<a href="/order/edit\?id=(.*?)")~";
  return pattern;
}

std::vector<app::OrderRow> order_rows_of(const Text& page, web::PatternMatcher& matcher) {
  std::vector<app::OrderRow> rows;
  if (!matcher.run(order_row_pattern(), page, /*case_sensitive=*/true)) return rows;
  const int n = matcher.match_count();
  rows.reserve(n);
  for (int i = 1; i <= n; ++i) {
    app::OrderRow row(app::kColId + 1);
    row[app::kColSerial] = std::to_string(i);
    for (int g = 1; g <= 8; ++g) row[g] = matcher.submatch(i, g);
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace backoffice
