// The stand-in mall's page generation and a whole list request, at the sizes
// the reminder and the list fetches meet with a busy store.
#include <benchmark/benchmark.h>

#include "mall/pages.h"
#include "mall/seed.h"
#include "mall/stand_in_mall.h"
#include "web/http.h"
#include "web/text.h"

namespace {

void BM_OrderListPage(benchmark::State& state) {
  mall::Seeder seeder(1);
  std::vector<mall::Order> orders;
  for (int i = 0; i < state.range(0); ++i) orders.push_back(seeder.order(1000 + i, 20, "店"));
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string page = mall::pages::order_list(orders, "待发货订单");
    bytes = page.size();
    benchmark::DoNotOptimize(page.data());
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_OrderListPage)->Arg(2000)->Unit(benchmark::kMillisecond);

// GET /order/list?order_state=20 with 2,000 to-ship orders through http_request.
void BM_OrderListRequest(benchmark::State& state) {
  web::clear_http_cookies();
  mall::Options options;
  options.seeded_orders = 0;
  mall::StandInMall mall(options);
  mall.add_orders(static_cast<int>(state.range(0)), 20);
  const std::string base = "http://" + mall.backoffice_host();
  const std::string form = web::page_text(web::http_request(base + "/site/login"));
  const std::string token = web::text_between(form, "csrf-token\" content=\"", "\"");
  web::http_request(base + "/site/login", 1,
                    "_csrf-business=" + token +
                        "&BusinessLoginFrom[username]=demo&BusinessLoginFrom[password]=demo123");
  std::size_t bytes = 0;
  for (auto _ : state) {
    bytes = web::http_request(base + "/order/list?order_state=20").size();
    if (bytes < 1000) state.SkipWithError("list page not served");
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
  web::clear_http_cookies();
}
BENCHMARK(BM_OrderListRequest)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
