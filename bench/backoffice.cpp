// Back-office speed: a 2,000-order to-ship list from request to last row
// appended, and 500 detail fetches against the same 500 requests made by curl
// in one process. The window's own cost of showing rows is not included (the
// in-memory test form stands in for it).
//
// Run: bench_backoffice --benchmark_min_time=1x ... (see the figures in the report)

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/context.h"
#include "backoffice/dashboard.h"
#include "backoffice/login.h"
#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "mall/stand_in_mall.h"
#include "support/fake_form.h"
#include "web/http.h"

namespace {

using web::gbk;

struct Bench {
  explicit Bench(int orders) {
    mall.clear_orders();
    mall.add_orders(orders, 20);
    form.set_text("编辑框1", "demo");
    form.set_text("编辑框2", "demo123");
    backoffice::login(ctx);
  }
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "bench_backoffice";
  testing_support::FakeForm form;
  app::Settings settings{(std::filesystem::create_directories(dir), dir / "settings.ini")};
  mall::StandInMall mall;
  app::Context ctx{.form = form,
                   .settings = settings,
                   .hosts = {mall.backoffice_host(), mall.image_host(), mall.tracking_host()}};
};

void BM_ToShipList2000(benchmark::State& state) {
  Bench b(2000);
  for (auto _ : state) {
    backoffice::fetch_orders_to_ship(b.ctx);
    if (b.form.row_count(app::kOrderList) != 2000) state.SkipWithError("wrong row count");
  }
}
BENCHMARK(BM_ToShipList2000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Details500(benchmark::State& state) {
  Bench b(500);
  backoffice::fetch_orders_to_ship(b.ctx);
  for (auto _ : state) backoffice::fetch_order_details(b.ctx);
  if (b.form.cell(app::kOrderList, 499, app::kColGoods).empty()) state.SkipWithError("no details");
}
BENCHMARK(BM_Details500)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same 500 edit pages fetched by one curl process (connection reuse), with
// a session cookie obtained by logging in outside the shared cookie store.
void BM_Curl500(benchmark::State& state) {
  Bench b(500);
  const web::Text login_url = b.ctx.backoffice_url("/site/login");
  web::Text cookie;
  const web::Text page = web::page_text(web::http_request(login_url, 0, {}, &cookie));
  const web::Text body = backoffice::login_body(backoffice::csrf_token_of(page), "demo", "demo123");
  web::http_request(login_url, 1, body, &cookie, nullptr, nullptr, nullptr, /*no_redirect=*/true);
  if (cookie.empty()) state.SkipWithError("no session cookie for curl");

  const auto config = b.dir / "curl500.cfg";
  {
    std::ofstream out(config);
    out << "silent\ncookie = \"" << cookie << "\"\n";
    for (const auto& o : b.mall.orders())
      out << "url = \"" << b.ctx.backoffice_url("/order/edit?id=") << o.id
          << "\"\noutput = \"/dev/null\"\n";
  }
  // One page first, to be sure curl is served the detail page and not the login form.
  const std::string probe = "curl -s -b '" + cookie + "' " +
                            b.ctx.backoffice_url("/order/edit?id=") + b.mall.orders()[0].id +
                            " | grep -q 'box-body'";
  if (std::system(probe.c_str()) != 0) state.SkipWithError("curl gets no detail page");
  const std::string command = "curl --config " + config.string();
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("curl failed");
}
BENCHMARK(BM_Curl500)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
