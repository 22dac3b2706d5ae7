// From the body bytes of an order-list page to every row's eight captures:
// page_text, the row pattern, then all submatches as texts. Run at 2,000 rows
// (about 2 MB), with and without a pager of 100 link cells after the rows,
// and at ten times that to show the cost grows linearly.
#include <benchmark/benchmark.h>

#include <string>

#include "web/pattern_matcher.h"
#include "web/text.h"

namespace {

const web::Text& row_pattern() {
  static const web::Text p = web::gbk(
      "<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>"
      "[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>\n"
      "[\\s\\S]+?<a href=\"/order/edit\\?id=(.*?)\"");
  return p;
}

// A UTF-8 list page shaped like the back office's: about 1 KB per row, then
// a pager of one-line link cells.
std::string list_page(int rows, int pager_cells = 0) {
  std::string page = "<html><head><style>td{width:100%}</style></head><body><table>\n";
  for (int i = 0; i < rows; ++i) {
    std::string id = std::to_string(100000 + i);
    page += "  <tr class=\"order-row\" data-index=\"" + std::to_string(i) + "\">\n";
    page += "    <td>" + id + "</td>\n";
    page += "    <td>张三丰" + std::to_string(i % 97) + "</td>\n";
    page += "    <td>2024-05-01 12:34:56</td>\n";
    page += "    <td>128.00</td>\n";
    page += "    <td>微信支付</td>\n";
    page += "    <td>待发货</td>\n";
    page += "    <td>蔚禾五常大米 5kg 礼盒装 100%好评 %E4%BD%A0</td>\n";
    page += "    <td>\n      <a href=\"/order/edit?id=" + id +
            "\" class=\"btn btn-default btn-sm\">查看详情</a>\n";
    page += "      <a class=\"btn btn-primary btn-sm\" href=\"/order/ship?id=" + id +
            "\" data-toggle=\"modal\" data-target=\"#ship-dialog\">发货</a>\n    </td>\n";
    page += "    <!-- " + std::string(560, '-') + " -->\n  </tr>\n";
  }
  page += "</table>\n<table class=\"pager\"><tr>\n";
  for (int i = 1; i <= pager_cells; ++i)
    page += "<td><a href=\"/order/list?page=" + std::to_string(i) + "\">" + std::to_string(i) +
            "</a></td>\n";
  page += "</tr></table></body></html>\n";
  return page;
}

void BM_ListPageToCaptures(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string body = list_page(rows, static_cast<int>(state.range(1)));
  long long cells = 0;
  for (auto _ : state) {
    web::PatternMatcher m;
    web::Text page = web::page_text(body);
    m.run(row_pattern(), page, true);
    for (int j = 1; j <= m.match_count(); ++j)
      for (int k = 1; k <= 8; ++k) {
        web::Text cell = m.submatch(j, k);
        cells += static_cast<long long>(cell.size());
        benchmark::DoNotOptimize(cell);
      }
    if (m.match_count() != rows) state.SkipWithError("wrong match count");
  }
  state.counters["body_MB"] = static_cast<double>(body.size()) / 1e6;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(body.size()));
  benchmark::DoNotOptimize(cells);
}
// Arguments: rows, pager cells after them.
BENCHMARK(BM_ListPageToCaptures)
    ->Args({2000, 0})
    ->Args({2000, 100})
    ->Args({20000, 0})
    ->Unit(benchmark::kMillisecond);

void BM_PageTextOnly(benchmark::State& state) {
  const std::string body = list_page(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(web::page_text(body));
}
BENCHMARK(BM_PageTextOnly)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
