// How fast the shop's figures come from a million archived orders (the
// archive benchmark's generator: about one order a minute from 2025 on):
// a 30-day report, a whole year's, and the 统计 page's three charts built
// and drawn. Prints a table of medians against their targets; exits 1 when
// one is missed.
//
// Usage: build-bench/bench/bench_report [ORDERS] [DATABASE]
#include <QApplication>
#include <QChartView>
#include <QHBoxLayout>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/order_generator.h"
#include "bench/timing.h"
#include "charts/report_charts.h"
#include "report/shop_report.h"

int main(int argc, char** argv) {
  const long long orders = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
  const std::filesystem::path file = argc > 2 ? argv[2] : "/tmp/weihe-archive-bench.db";
  static int qt_argc = 3;
  static char name[] = "bench_report", option[] = "-platform", platform[] = "offscreen";
  static char* qt_argv[] = {name, option, platform, nullptr};
  QApplication app(qt_argc, qt_argv);
  if (!build_archive(file, orders, kBenchShop)) return 1;
  store::Database db(file);
  store::OrderArchive archive(db);
  std::string error;

  std::optional<report::Report> month, year;
  auto figures = [&](const char* since, const char* until, std::optional<report::Report>& out) {
    return median_ms(5, [&] {
      out = report::make_report(archive, kBenchShop, {{since, until}, report::Grouping::Day, std::time(nullptr), 48},
                                &error);
    });
  };
  // The generator's last full month and year of a million orders.
  const double month_ms = figures("2026-11-01", "2026-11-30", month);
  const double year_ms = figures("2026-01-01", "2026-12-31", year);
  if (!month || !year) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  QWidget page;
  page.resize(1136, 330);
  auto* layout = new QHBoxLayout(&page);
  QChartView* views[] = {new QChartView(&page), new QChartView(&page), new QChartView(&page)};
  for (QChartView* v : views) layout->addWidget(v);
  const double draw_ms = median_ms(5, [&] {
    QChart* made[] = {charts::period_chart(*month), charts::top_goods_chart(*month), charts::ship_hours_chart(*month)};
    for (int i = 0; i < 3; ++i) {
      QChart* before = views[i]->chart();
      views[i]->setChart(made[i]);
      delete before;
    }
    page.grab();  // lays out and paints every chart
  });

  std::printf("archive: %lld orders in %s; the month holds %d, the year %d\n\n",
              static_cast<long long>(count_orders(db)), file.string().c_str(), month->orders, year->orders);
  table_heading("figure (median of 5)");
  table_row("30-day report (2026-11)", month_ms, "ms", "< 150", month_ms < 150);
  table_row("whole-year report (2026)", year_ms, "ms", "< 1000", year_ms < 1000);
  table_row("the page's three charts built and drawn", draw_ms, "ms", "< 200", draw_ms < 200);
  return month_ms < 150 && year_ms < 1000 && draw_ms < 200 ? 0 : 1;
}
