// Batch shipping throughput: 1,000 orders shipped by ship_all_orders against
// the stand-in back office on loopback, with and without the shipping journal,
// next to the same 1,000 POSTs sent by one `curl` process (connection reuse,
// no window). The ratio of the real times is the cost of the journal, and of
// our HTTP routine and the form round trips.
// BM_ShipAllOrdersAtLatency/N: the same batch with the back office 50 ms away
// and N shipments sent at once (settings key `connections`); the ratio of N=1
// to N=4 is what the request pool gains over a real network.
//
// Run: bench_fulfilment --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/context.h"
#include "app/headless/memory_form.h"
#include "store/database.h"
#include "store/shipping_journal.h"
#include "fulfilment/shipping.h"
#include "mall/stand_in_mall.h"
#include "web/http.h"
#include "web/text.h"

namespace {

using app::Text;
using web::gbk;

constexpr int kOrders = 1000;

int shipped_rows(app::Form& form) {
  int n = 0;
  for (auto& r : form.rows(app::kOrderList)) n += r[app::kColShipStatus] == gbk("发货成功");
  return n;
}

// A tracking number that looks like huitong's, so every row is ready.
std::string tracking_for(const std::string& id) {
  std::string digits = id.substr(0, 11);
  return "5" + std::string(11 - digits.size(), '0') + digits;
}

struct Bench {
  mall::StandInMall mall;
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "weihe-bench-fulfilment";

  Bench() { std::filesystem::create_directories(dir); }
  ~Bench() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  // A fresh set of to-ship orders; returns their ids.
  std::vector<std::string> fresh_orders() {
    mall.clear_orders();
    mall.add_orders(kOrders, 20);
    mall.clear_requests();
    std::vector<std::string> ids;
    for (auto& o : mall.orders()) ids.push_back(o.id);
    return ids;
  }

  static std::string token_of(const std::string& page) {
    return web::text_between(page, "csrf-token\" content=\"", gbk("\">\n    <title>商户"));
  }
  std::string login_body(const std::string& token) const {
    return "_csrf-business=" + token + "&BusinessLoginFrom[username]=" + mall.options().account +
           "&BusinessLoginFrom[password]=" + mall.options().password +
           "&login-button=&login-button=";
  }
  std::string url(const std::string& path) const {
    return "http://" + mall.backoffice_host() + path;
  }
};

Bench& bench() {
  static Bench b;
  return b;
}

std::string run(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// `journal`: with the shipping journal, as the program ships (one database
// kept open across the runs, holding the earlier batches, as the program
// keeps it); without it, as before the journal existed.
// `connections`: how many shipments are sent at once; 0 leaves the default.
void ship_all(benchmark::State& state, bool journal, int connections = 0) {
  Bench& b = bench();
  web::clear_http_cookies();
  const Text token = Bench::token_of(web::page_text(web::http_request(b.url("/site/login"))));
  web::http_request(b.url("/site/login"), 1, b.login_body(token));
  std::filesystem::remove(b.dir / "settings.ini");
  app::Settings settings(b.dir / "settings.ini");
  if (connections > 0)
    settings.write_setting(gbk("connections"), std::to_string(connections), gbk("network"));
  app::MemoryForm form;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
  app::Context ctx{.form = form, .settings = settings, .hosts = {b.mall.backoffice_host(), {}, {}}};
#pragma GCC diagnostic pop
  ctx.csrf_token.set(token);
  int shipped = 0;
  const std::filesystem::path db_file = b.dir / "weihe-orders.db";
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db_file.string() + suffix);
  std::optional<store::Database> database;
  if (journal) ctx.database = &database.emplace(db_file);
  for (auto _ : state) {
    state.PauseTiming();
    form.clear_rows(app::kOrderList);
    for (const std::string& id : b.fresh_orders()) {
      std::vector<Text> row(app::kOrderColumnCount);
      row[app::kColId] = id;
      row[app::kColTrackingNo] = tracking_for(id);
      form.append_row(app::kOrderList, row);
    }
    form.set_text("编辑框12", "huitong");
    form.set_text("编辑框13", b.mall.sender_address_id());
    state.ResumeTiming();
    fulfilment::ship_all_orders(ctx);
    state.PauseTiming();
    shipped = shipped_rows(form);
    state.ResumeTiming();
  }
  state.counters["shipped"] = shipped;
  state.SetItemsProcessed(state.iterations() * kOrders);
}

void BM_ShipAllOrders(benchmark::State& state) {
  ship_all(state, false);
}
void BM_ShipAllOrdersWithJournal(benchmark::State& state) {
  ship_all(state, true);
}

void BM_ShipAllOrdersAtLatency(benchmark::State& state) {
  bench().mall.set_latency(std::chrono::milliseconds(50));
  ship_all(state, true, static_cast<int>(state.range(0)));
  bench().mall.set_latency(std::chrono::milliseconds(0));
}

void BM_CurlSamePosts(benchmark::State& state) {
  Bench& b = bench();
  const std::string jar = (b.dir / "cookies.txt").string();
  const std::string config = (b.dir / "posts.curlrc").string();
  std::filesystem::remove(jar);
  const std::string page = web::utf8_to_gbk(run("curl -s -c " + jar + " " + b.url("/site/login")));
  const std::string token = Bench::token_of(page);
  run("curl -s -L -b " + jar + " -c " + jar + " -o /dev/null --data-binary '" +
      b.login_body(token) + "' " + b.url("/site/login"));
  int accepted = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      std::ofstream out(config);
      bool first = true;
      for (const std::string& id : b.fresh_orders()) {
        if (!first) out << "next\n";
        first = false;
        out << "url = \"" << b.url("/order/send") << "\"\n"
            << "data-binary = \""
            << fulfilment::ship_body("huitong", "YT" + id, b.mall.sender_address_id(), id)
            << "\"\nheader = \"X-CSRF-Token: " << token << "\"\n"
            << "cookie = \"" << jar << "\"\n";
      }
    }
    state.ResumeTiming();
    const std::string replies = run("curl -s -K " + config);
    state.PauseTiming();
    accepted = 0;
    for (std::size_t at = 0; (at = replies.find("操作成功", at)) != std::string::npos; ++at)
      ++accepted;
    state.ResumeTiming();
  }
  state.counters["shipped"] = accepted;
  state.SetItemsProcessed(state.iterations() * kOrders);
}

// The journal alone: one shipment's two records (begin, finish).
void BM_JournalRecordPair(benchmark::State& state) {
  const std::filesystem::path file = bench().dir / "pair.db";
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file.string() + suffix);
  store::Database db(file);
  store::ShippingJournal journal(db);
  store::Shipment s{0, "", "batch", "1001", "201701191221231001", "huitong", "500000001001", "17"};
  std::string error;
  for (auto _ : state) {
    const auto id = journal.begin(s, &error);
    journal.finish(*id, true, "操作成功", 200, &error);
  }
}

// The same as a batch writes them: the completion goes in with the next
// record, one short transaction per shipment.
void BM_JournalRecordInBatch(benchmark::State& state) {
  const std::filesystem::path file = bench().dir / "batch.db";
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file.string() + suffix);
  store::Database db(file);
  store::ShippingJournal journal(db);
  store::Shipment s{0, "", "batch", "1001", "201701191221231001", "huitong", "500000001001", "17"};
  std::string error;
  for (auto _ : state) {
    const auto id = journal.begin(s, &error);
    journal.finish_soon(*id, true, "操作成功", 200);
  }
}

BENCHMARK(BM_JournalRecordPair)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_JournalRecordInBatch)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShipAllOrders)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ShipAllOrdersWithJournal)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ShipAllOrdersAtLatency)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);
BENCHMARK(BM_CurlSamePosts)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
