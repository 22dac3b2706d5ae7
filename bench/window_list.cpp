// The real main window (offscreen) against the stand-in mall on loopback:
//  - BM_ToShipListThroughWindow: click 按钮4 with 2,000 to-ship orders and spin
//    the event loop until the list holds every row and the worker has ended;
//    counts the list's repaints and the worst delay of a 10 ms timer meanwhile.
//  - BM_ToShipListAllShopsThroughWindow: the same with 全部店铺 over two shops
//    of n/2 orders each (each shop's rows through its view of the window).
//  - BM_AllOrdersListThroughWindow: the same through 按钮2 (filled on the UI thread).
//  - BM_ShipAllThroughWindow: 按钮12 over 1,000 listed rows; the batch's time
//    and the worst delay of a 10 ms timer on the UI thread meanwhile.
//  - BM_DetailsThroughWindow: 按钮6 over 500 listed rows with the back office
//    50 ms away and the requests sent 4 at once; the worst delay of a 10 ms
//    timer on the UI thread while the details come in.
//
// Run: QT_QPA_PLATFORM=offscreen ./bench_window_list --benchmark_repetitions=3
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "core/context.h"
#include "app/gui/main_window.h"
#include "app/wiring/operations.h"
#include "app/wiring/served_shops.h"
#include "core/settings.h"
#include "mall/stand_in_mall.h"
#include "web/http.h"

namespace {

using app::kOrderList;
using web::gbk;
namespace fs = std::filesystem;

// Counts paint events reaching a widget.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* target) : m_target(target) { target->installEventFilter(this); }
  ~PaintCounter() override { m_target->removeEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }

 private:
  QWidget* m_target;
};

// A 10 ms timer on the UI thread; records the longest gap between its ticks.
class TickProbe {
 public:
  TickProbe() {
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
      const qint64 now = m_clock.nsecsElapsed();
      m_worst_gap = std::max(m_worst_gap, now - m_last);
      m_last = now;
      ++ticks;
    });
  }
  void start() {
    ticks = 0;
    m_worst_gap = 0;
    m_clock.start();
    m_last = 0;
    m_timer.start(10);
  }
  // The tick that came latest, beyond its 10 ms period (ms); also counts the
  // gap from the last tick to now.
  double stop() {
    m_timer.stop();
    m_worst_gap = std::max(m_worst_gap, m_clock.nsecsElapsed() - m_last);
    return std::max(0.0, m_worst_gap / 1e6 - 10.0);
  }
  int ticks = 0;

 private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_last = 0;
  qint64 m_worst_gap = 0;
};

// The window, its operations and a logged-in session with `orders` to-ship orders.
struct Shell {
  explicit Shell(int orders)
      : mall(options()),
        path(fs::temp_directory_path() /
             ("weihe-bench-window-" + std::to_string(::getpid()) + ".ini")),
        settings((fs::remove(path), path)),
        window(settings, nullptr),
        ctx{window, settings,
            app::Hosts{mall.backoffice_host(), mall.image_host(), mall.tracking_host()}} {
    mall.add_orders(orders, 20);
    web::clear_http_cookies();
    ops = app::bind_operations(ctx);
    window.set_operations(ops);
    window.set_message_handler([this](const app::Text& text, const app::Text&, app::Buttons) {
      if (text == gbk("发货完成，请检查是否发送成功！！！")) batch_done = true;
      return app::Answer::Ok;
    });
    window.show();
    window.set_text("编辑框1", "demo");
    window.set_text("编辑框2", "demo123");
    ops.login();
  }
  ~Shell() {
    window.wait_for_workers(std::chrono::seconds(60));
    web::clear_http_cookies();
    fs::remove(path);
  }
  static mall::Options options() {
    mall::Options o;
    o.seeded_orders = 0;
    return o;
  }
  void click(const char* name) { window.findChild<QPushButton*>(QString::fromUtf8(name))->click(); }
  // Spins the event loop until `done` holds and every worker has ended.
  template <class Done>
  void spin_until(Done done) {
    while (!(done() && window.running_workers() == 0))
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();  // the last rows' paint
  }

  mall::StandInMall mall;
  fs::path path;
  app::Settings settings;
  app::MainWindow window;
  app::Context ctx;
  app::Operations ops;
  std::atomic<bool> batch_done{false};
};

// Clicks 按钮4 on an emptied table until it holds `n` rows, once per
// iteration; counts the list's repaints and the worst timer delay meanwhile.
void time_to_ship_list(benchmark::State& state, Shell& shell, int n) {
  auto* view = shell.window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"));
  PaintCounter paints(view->viewport());
  TickProbe probe;
  int total_paints = 0;
  double worst_delay = 0;
  for (auto _ : state) {
    state.PauseTiming();
    shell.window.clear_rows(kOrderList);
    QCoreApplication::processEvents();
    paints.paints = 0;
    probe.start();
    state.ResumeTiming();

    shell.click("按钮4");
    shell.spin_until([&] { return shell.window.row_count(kOrderList) == n; });

    state.PauseTiming();
    worst_delay = std::max(worst_delay, probe.stop());
    total_paints += paints.paints;
    state.ResumeTiming();
  }
  state.counters["rows"] = shell.window.row_count(kOrderList);
  state.counters["list_paints"] =
      benchmark::Counter(total_paints, benchmark::Counter::kAvgIterations);
  state.counters["worst_tick_delay_ms"] = worst_delay;
}

void BM_ToShipListThroughWindow(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Shell shell(n);
  if (!shell.window.is_enabled("按钮4")) {
    state.SkipWithError("login failed");
    return;
  }
  time_to_ship_list(state, shell, n);
}
BENCHMARK(BM_ToShipListThroughWindow)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();

// 全部店铺 with two shops (two stand-ins, n/2 to-ship orders each): 按钮4
// fills the table with both, each shop's rows through its view of the window.
void BM_ToShipListAllShopsThroughWindow(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  mall::Options second_options = Shell::options();
  second_options.account = "bob";
  mall::StandInMall second(second_options);
  second.add_orders(n / 2, 20);
  Shell shell(n / 2);
  shell.settings.write_setting(gbk("账号"), "demo");
  shell.settings.write_setting(gbk("密码"), "demo123");
  shell.settings.write_setting("backoffice", shell.mall.backoffice_host(), "hosts");
  shell.settings.write_setting("images", shell.mall.image_host(), "hosts");
  app::Text error;
  app::save_shop(shell.settings, {gbk("二号店"), {second.backoffice_host(), second.image_host(), ""}, "bob",
                                  "demo123", false},
                 &error);
  app::ServedShops shops(shell.window, shell.settings, nullptr, nullptr);
  shell.window.set_operations(shops.operations());
  shops.choose(2);
  shops.operations().login();
  if (!shell.window.is_enabled("按钮4")) {
    state.SkipWithError("login failed");
    return;
  }
  time_to_ship_list(state, shell, n);
}
BENCHMARK(BM_ToShipListAllShopsThroughWindow)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same list through 按钮2, which fills the table on the UI thread itself.
void BM_AllOrdersListThroughWindow(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Shell shell(n);
  auto* view = shell.window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"));
  PaintCounter paints(view->viewport());
  int total_paints = 0;
  for (auto _ : state) {
    state.PauseTiming();
    shell.window.clear_rows(kOrderList);
    QCoreApplication::processEvents();
    paints.paints = 0;
    state.ResumeTiming();
    shell.click("按钮2");  // returns when the operation is over
    QCoreApplication::processEvents();
    state.PauseTiming();
    total_paints += paints.paints;
    if (shell.window.row_count(kOrderList) != n) state.SkipWithError("rows missing");
    state.ResumeTiming();
  }
  state.counters["list_paints"] =
      benchmark::Counter(total_paints, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_AllOrdersListThroughWindow)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShipAllThroughWindow(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Shell shell(n);
  shell.click("按钮4");
  shell.spin_until([&] { return shell.window.row_count(kOrderList) == n; });
  shell.window.set_text("编辑框13", shell.mall.sender_address_id());
  for (int r = 0; r < n; ++r)  // tracking numbers, as an import would have filled them
    shell.window.set_cell(kOrderList, r, app::kColTrackingNo, "YT" + std::to_string(900000 + r));
  TickProbe probe;
  double worst_delay = 0;
  int ticks = 0;
  for (auto _ : state) {
    shell.batch_done = false;
    probe.start();
    shell.click("按钮12");
    shell.spin_until([&] { return shell.batch_done.load(); });
    state.PauseTiming();
    worst_delay = std::max(worst_delay, probe.stop());
    ticks += probe.ticks;
    state.ResumeTiming();
  }
  const app::Text shipped = shell.window.cell(kOrderList, n - 1, app::kColShipStatus);
  if (shipped != gbk("发货成功")) state.SkipWithError("the last row was not shipped");
  state.counters["rows"] = n;
  state.counters["ticks"] = benchmark::Counter(ticks, benchmark::Counter::kAvgIterations);
  state.counters["worst_tick_delay_ms"] = worst_delay;
}
// One batch per run: a second batch over the same orders would only meet refusals.
BENCHMARK(BM_ShipAllThroughWindow)
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DetailsThroughWindow(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Shell shell(n);
  shell.settings.write_setting(gbk("connections"), "4", gbk("network"));
  shell.click("按钮4");
  shell.spin_until([&] { return shell.window.row_count(kOrderList) == n; });
  shell.mall.set_latency(std::chrono::milliseconds(50));
  TickProbe probe;
  double worst_delay = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (int r = 0; r < n; ++r) shell.window.set_cell(kOrderList, r, app::kColGoods, "");
    probe.start();
    state.ResumeTiming();
    shell.click("按钮6");
    shell.spin_until([] { return true; });
    state.PauseTiming();
    worst_delay = std::max(worst_delay, probe.stop());
    state.ResumeTiming();
  }
  shell.mall.set_latency(std::chrono::milliseconds(0));
  int filled = 0;
  for (int r = 0; r < n; ++r) filled += !shell.window.cell(kOrderList, r, app::kColGoods).empty();
  if (filled != n) state.SkipWithError("some rows got no details");
  state.counters["rows_with_details"] = filled;
  state.counters["worst_tick_delay_ms"] = worst_delay;
}
BENCHMARK(BM_DetailsThroughWindow)
    ->Arg(500)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
