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

bool is_order_list_page(const Text& page) {
  const bool table = web::find_text(page, "<table") != -1 &&
                     web::find_text(page, web::gbk("订单号")) != -1;
  if (table) return true;
  for (const char* mark : {"class=\"pagination", "class=\"pager", "条数据", "没有找到数据", "暂无数据",
                           "No results found"})
    if (web::find_text(page, web::gbk(mark)) != -1) return true;
  return false;
}

}  // namespace backoffice
