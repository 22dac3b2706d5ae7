// Packing stations sharing a store on a throwaway PostgreSQL server on
// loopback: a claim's latency (p50/p99 over 2,000 claims, four stations
// claiming at once), and four real weihe-cli stations shipping the same
// workbook of ORDERS orders against the stand-in mall (LATENCY ms away)
// beside one station shipping it alone. Prints a table with the targets.
// Run from a Release build:
//   build/bench/bench_stations [ORDERS] [LATENCY]
#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/timing.h"
#include "exchange/workbook_writer.h"
#include "mall/stand_in_mall.h"
#include "store/shipping_journal.h"
#include "support/pg_cluster.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path station_settings(const fs::path& dir, const std::string& name, const mall::StandInMall& mall,
                          const std::string& url) {
  fs::create_directories(dir / name);
  const fs::path file = dir / name / "settings.ini";
  std::ofstream f(file, std::ios::binary);
  f << "[\xC5\xE4\xD6\xC3\xCF\xEE\xC4\xBF]\r\n\xD5\xCB\xBA\xC5=demo\r\n\xC3\xDC\xC2\xEB=demo123\r\n"
    << "[hosts]\r\nbackoffice=" << mall.backoffice_host() << "\r\nimages=" << mall.image_host()
    << "\r\ntracking=" << mall.tracking_host() << "\r\n[store]\r\nurl=" << url << "\r\nstation=" << name
    << "\r\n";
  return file;
}

// Seconds for `stations` weihe-cli processes to ship the workbook of every
// waiting order, started together; a fresh mall and store each time.
double race(int stations, int orders, int latency_ms, int* sent) {
  mall::StandInMall mall;
  mall.clear_orders();
  mall.add_orders(orders, 20);
  const std::string url = testing_support::pg_cluster().new_database();
  testing_support::TempDir dir("weihe-bench-stations");
  std::vector<std::vector<std::string>> rows;
  for (const auto& o : mall.orders()) {
    rows.emplace_back(26);
    rows.back()[1] = o.order_no;
    rows.back()[8] = o.id;
    rows.back()[21] = "YT" + std::to_string(5000000000LL + static_cast<long long>(rows.size()));
  }
  const fs::path book = dir.path() / "batch.xlsx";
  exchange::write_workbook(book, std::vector<std::string>(26, "t"), rows);
  std::vector<fs::path> settings;
  for (int s = 0; s < stations; ++s) settings.push_back(station_settings(dir.path(), "pack" + std::to_string(s), mall, url));
  // The schema made and the orders listed first, as on a day already begun.
  QProcess list;
  list.start(QStringLiteral(WEIHE_CLI), {QStringLiteral("--settings"), QString::fromStdString(settings[0].string()),
                                         QStringLiteral("list"), QStringLiteral("to-ship")});
  list.waitForFinished(120000);
  mall.set_latency(std::chrono::milliseconds(latency_ms));
  std::vector<std::unique_ptr<QProcess>> runs;
  const auto start = Clock::now();
  for (const fs::path& s : settings) {
    runs.push_back(std::make_unique<QProcess>());
    runs.back()->start(QStringLiteral(WEIHE_CLI),
                       {QStringLiteral("--settings"), QString::fromStdString(s.string()), QStringLiteral("ship"),
                        QStringLiteral("--from"), QString::fromStdString(book.string()),
                        QStringLiteral("--courier"), QStringLiteral("yuantong")});
  }
  for (auto& p : runs) p->waitForFinished(600000);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  *sent = 0;
  for (const auto& r : mall.requests()) *sent += r.target.rfind("/order/send", 0) == 0;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int orders = argc > 1 ? std::atoi(argv[1]) : 200;
  const int latency = argc > 2 ? std::atoi(argv[2]) : 50;
  if (!testing_support::pg_cluster().running()) {
    std::fprintf(stderr, "%s\n", testing_support::pg_cluster().problem().c_str());
    return 1;
  }

  // Claims: four stations at once, each over its own orders and each other's.
  const std::string url = testing_support::pg_cluster().new_database();
  std::vector<std::unique_ptr<store::Database>> dbs;
  for (int s = 0; s < 4; ++s) {
    dbs.push_back(std::make_unique<store::Database>(store::Database::Shared{url, ""}));
    dbs.back()->set_station("pack" + std::to_string(s));
  }
  std::vector<std::vector<double>> times(4);
  std::vector<std::thread> threads;
  for (int s = 0; s < 4; ++s)
    threads.emplace_back([&, s] {
      store::ShippingJournal journal(*dbs[s], "demo@bench");
      for (int i = 0; i < 500; ++i) {
        const auto begin = Clock::now();
        journal.claim(std::to_string(i * 2 + (s % 2)));
        times[s].push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
      }
    });
  for (auto& t : threads) t.join();
  std::vector<double> all;
  for (const auto& t : times) all.insert(all.end(), t.begin(), t.end());
  std::sort(all.begin(), all.end());
  const double p50 = all[all.size() / 2], p99 = all[all.size() * 99 / 100];

  int sent_alone = 0, sent_four = 0;
  const double alone = race(1, orders, latency, &sent_alone);
  const double four = race(4, orders, latency, &sent_four);

  std::printf("Packing stations on a shared PostgreSQL store (loopback), %d orders, the mall %d ms away\n\n",
              orders, latency);
  table_heading("figure");
  table_row("a claim, p50 (4 stations at once)", p50 * 1000, "us", "", true);
  table_row("a claim, p99 (4 stations at once)", p99 * 1000, "us", "< 5000 us", p99 < 5);
  table_row("one station ships the workbook", alone, "s", "", sent_alone == orders);
  table_row("four stations race on it", four, "s", "", sent_four == orders);
  table_row("race / one station alone", four / alone, "x", "< 2", four / alone < 2);
  table_row("shipment requests per order (race)", static_cast<double>(sent_four) / orders, "", "1", sent_four == orders);
  return 0;
}
