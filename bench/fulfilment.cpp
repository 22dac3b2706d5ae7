// Batch shipping throughput: 1,000 orders shipped by ship_all_orders against
// the stand-in back office on loopback, next to the same 1,000 POSTs sent by
// one `curl` process (connection reuse, no window). The ratio of the two real
// times is the cost of our HTTP routine and the form round trips.
//
// Run: bench_fulfilment --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/context.h"
#include "fulfilment/shipping.h"
#include "mall/stand_in_mall.h"
#include "web/http.h"
#include "web/text.h"

namespace {

using app::Text;
using web::gbk;

constexpr int kOrders = 1000;

// Just enough window for a batch: edit boxes, the order list, keyed writes.
class BenchForm : public app::Form {
 public:
  Text text(std::string_view c) override {
    std::lock_guard l(m_mutex);
    auto it = m_texts.find(std::string(c));
    return it == m_texts.end() ? Text() : it->second;
  }
  void set_text(std::string_view c, const Text& t) override {
    std::lock_guard l(m_mutex);
    m_texts[std::string(c)] = t;
  }
  Text title() override { return {}; }
  void set_title(const Text&) override {}
  void set_enabled(std::string_view, bool) override {}
  bool is_enabled(std::string_view) override { return true; }
  bool is_checked(std::string_view) override { return false; }
  void set_progress(int) override {}
  void set_timer_interval(int) override {}
  int timer_interval() override { return 0; }
  void set_picture(const app::Bytes&) override {}
  void set_picture_mode(int) override {}
  int row_count(std::string_view) override {
    std::lock_guard l(m_mutex);
    return static_cast<int>(m_rows.size());
  }
  int append_row(std::string_view, const std::vector<Text>& cells) override {
    std::lock_guard l(m_mutex);
    app::OrderRow row(app::kOrderColumnCount);
    for (std::size_t i = 0; i < cells.size() && i < row.size(); ++i) row[i] = cells[i];
    m_rows.push_back(std::move(row));
    return static_cast<int>(m_rows.size()) - 1;
  }
  Text cell(std::string_view, int r, int c) override {
    std::lock_guard l(m_mutex);
    return r >= 0 && r < static_cast<int>(m_rows.size()) && c >= 0 && c < app::kOrderColumnCount
               ? m_rows[r][c]
               : Text();
  }
  void set_cell(std::string_view, int r, int c, const Text& t) override {
    std::lock_guard l(m_mutex);
    if (r >= 0 && r < static_cast<int>(m_rows.size()) && c >= 0 && c < app::kOrderColumnCount)
      m_rows[r][c] = t;
  }
  void delete_row(std::string_view, int) override {}
  void clear_rows(std::string_view) override {
    std::lock_guard l(m_mutex);
    m_rows.clear();
  }
  void scroll_to_row(std::string_view, int) override {}
  int selected_row(std::string_view) override { return -1; }
  int column_count(std::string_view) override { return app::kOrderColumnCount; }
  Text column_title(std::string_view, int) override { return {}; }
  void append_column(std::string_view, const Text&, int) override {}
  std::vector<app::OrderRow> rows(std::string_view) override {
    std::lock_guard l(m_mutex);
    return m_rows;
  }
  void replace_rows(std::string_view, const std::vector<app::OrderRow>& rows) override {
    std::lock_guard l(m_mutex);
    m_rows = rows;
  }
  // Keys are index + 1: this benchmark never deletes rows.
  app::RowKey row_key(std::string_view, int r) override {
    std::lock_guard l(m_mutex);
    return r >= 0 && r < static_cast<int>(m_rows.size()) ? r + 1 : 0;
  }
  bool set_cells_by_key(std::string_view list, app::RowKey key, int first,
                        const std::vector<Text>& texts) override {
    for (std::size_t i = 0; i < texts.size(); ++i)
      set_cell(list, static_cast<int>(key) - 1, first + static_cast<int>(i), texts[i]);
    return key > 0;
  }
  void append_log(const Text&) override {}
  app::Answer message_box(const Text&, const Text&, app::Buttons) override {
    return app::Answer::Ok;
  }
  bool speak(const Text&) override { return false; }
  void start_worker(std::function<void()> op) override { op(); }
  void process_events() override {}
  void wait(const std::function<void()>& job) override { job(); }
  Text ask_save_path(const Text&) override { return {}; }

  int shipped() {
    std::lock_guard l(m_mutex);
    int n = 0;
    for (auto& r : m_rows) n += r[app::kColShipStatus] == gbk("发货成功");
    return n;
  }

 private:
  std::mutex m_mutex;
  std::map<std::string, Text> m_texts;
  std::vector<app::OrderRow> m_rows;
};

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

void BM_ShipAllOrders(benchmark::State& state) {
  Bench& b = bench();
  web::clear_http_cookies();
  const Text token = Bench::token_of(web::page_text(web::http_request(b.url("/site/login"))));
  web::http_request(b.url("/site/login"), 1, b.login_body(token));
  app::Settings settings(b.dir / "settings.ini");
  BenchForm form;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
  app::Context ctx{.form = form, .settings = settings, .hosts = {b.mall.backoffice_host(), {}, {}}};
#pragma GCC diagnostic pop
  ctx.csrf_token.set(token);
  int shipped = 0;
  for (auto _ : state) {
    state.PauseTiming();
    form.clear_rows(app::kOrderList);
    for (const std::string& id : b.fresh_orders()) {
      std::vector<Text> row(app::kOrderColumnCount);
      row[app::kColId] = id;
      row[app::kColTrackingNo] = "YT" + id;
      form.append_row(app::kOrderList, row);
    }
    form.set_text("编辑框12", "huitong");
    form.set_text("编辑框13", b.mall.sender_address_id());
    state.ResumeTiming();
    fulfilment::ship_all_orders(ctx);
    state.PauseTiming();
    shipped = form.shipped();
    state.ResumeTiming();
  }
  state.counters["shipped"] = shipped;
  state.SetItemsProcessed(state.iterations() * kOrders);
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

BENCHMARK(BM_ShipAllOrders)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CurlSamePosts)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
