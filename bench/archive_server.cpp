// The order archive on the shared PostgreSQL server against the same archive
// in the file, at the size of years of trade: the first 200 results of
// searches of three characters or more and of one or two, one found nowhere,
// and the 30-day report read through for_each_paid. The file (DB) is built
// once and kept; the server's archive is copied from it with copy_archive
// when it holds fewer orders. The server is WEIHE_BENCH_PG (a libpq
// connection string, kept between runs), else a throwaway one started here.
// Prints a table with both stores' medians and the server's targets; exits 1
// when one is missed or the stores answer differently. Run from a Release build:
//   WEIHE_BENCH_PG='host=127.0.0.1 dbname=bench' build/bench/bench_archive_server [ORDERS] [DB]
#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "bench/order_generator.h"
#include "bench/timing.h"
#include "report/shop_report.h"
#include "store/statement.h"
#include "support/pg_cluster.h"

namespace {

std::int64_t archived(store::Database& db) {
  std::int64_t n = 0;
  std::string ignored;
  db.run(
      [&](store::Database::Connection& c, std::string*) {
        store::Statement st(c, "SELECT count(*) FROM archived_orders");
        if (st.step() == SQLITE_ROW) n = st.id(0);
        return true;
      },
      &ignored);
  return n;
}

// A freshly filled table as a server keeps it: vacuumed (the trigram index's
// pending entries merged) and its statistics read.
void vacuum(store::Database& db) {
  std::string ignored;
  db.run(
      [](store::Database::Connection& c, std::string*) {
        PQclear(PQexec(c.pg->get(), "VACUUM ANALYZE archived_orders"));
        return true;
      },
      &ignored);
}

struct Figures {
  double indexed = 0, scanned = 0, nowhere = 0, old_only = 0, month = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const long long orders = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
  const std::filesystem::path file = argc > 2 ? argv[2] : "/tmp/weihe-archive-bench.db";
  if (!build_archive(file, orders, kBenchShop)) return 1;
  std::unique_ptr<testing_support::PgCluster> cluster;
  std::string url = std::getenv("WEIHE_BENCH_PG") ? std::getenv("WEIHE_BENCH_PG") : "";
  if (url.empty()) {
    cluster = std::make_unique<testing_support::PgCluster>();
    if (!cluster->running()) {
      std::fprintf(stderr, "%s\n", cluster->problem().c_str());
      return 1;
    }
    url = cluster->new_database();
  }
  store::Database file_db(file), server_db(store::Database::Shared{url, ""});
  if (!server_db.ok()) {
    std::fprintf(stderr, "%s\n", server_db.error().c_str());
    return 1;
  }
  store::OrderArchive on_file(file_db), on_server(server_db);
  std::string error;
  if (archived(server_db) < archived(file_db)) {
    std::fprintf(stderr, "copying the archive to the server...\n");
    const double ms = median_ms(1, [&] {
      if (!store::copy_archive(file_db, server_db, &error))
        std::fprintf(stderr, "%s\n", error.c_str());
    });
    std::fprintf(stderr, "copied in %.0f s\n", ms / 1000);
    vacuum(server_db);
  }

  // What a merchant looks an order up by (as bench_archive): parts of one
  // order's texts, goods, a message; and short texts, common and rare.
  std::optional<store::ArchivedOrder> sample;
  const std::int64_t total = archived(file_db);
  for (std::int64_t id = total / 2; id < total / 2 + 100 && !(sample && !sample->cells[21].empty());
       ++id)
    sample = on_file.find(kBenchShop, std::to_string(id));
  if (!sample) return std::fprintf(stderr, "no order %lld\n", static_cast<long long>(total / 2)), 1;
  const auto& c = sample->cells;
  const std::vector<std::string> long_terms = {
      c[19], c[1].substr(6, 10), c[21].substr(2), "王秀英", c[20].substr(0, c[20].find("号") + 3),
      "五常稻花", "请尽快发货", "高山云雾"};
  const std::vector<std::string> short_terms = {
      "张伟", "龙井", "枸杞", "李", "sf", "洋", c[18].substr(0, 6)};
  const bool verbose = std::getenv("WEIHE_BENCH_VERBOSE") != nullptr;
  bool same = true;

  auto measure = [&](store::OrderArchive& archive, const char* name) {
    Figures f;
    auto searches = [&](const std::vector<std::string>& terms) {
      std::vector<double> medians;
      for (const std::string& t : terms) {
        const store::ArchiveQuery q{t, {}, {}, {}, {}, 200};
        medians.push_back(median_ms(9, [&] { archive.search(q, &error); }));
        if (verbose)
          std::fprintf(stderr, "  %-8s %-28s %8.2f ms\n", name, t.c_str(), medians.back());
      }
      std::sort(medians.begin(), medians.end());
      return medians[medians.size() / 2];
    };
    f.indexed = searches(long_terms);
    f.scanned = searches(short_terms);
    f.nowhere = median_ms(3, [&] { archive.search({"鑫鑫", {}, {}, {}, {}, 200}, &error); });
    // Common, but only among older orders (order numbers of January 2025):
    // the newest keys hold few of them.
    f.old_only = median_ms(5, [&] { archive.search({"2025011", {}, {}, {}, {}, 200}, &error); });
    const report::ReportRequest month{
        {"2026-11-01", "2026-11-30"}, report::Grouping::Day, std::time(nullptr), 48};
    f.month = median_ms(5, [&] {
      if (!report::make_report(archive, kBenchShop, month, &error))
        std::fprintf(stderr, "%s\n", error.c_str());
    });
    return f;
  };
  const Figures server = measure(on_server, "server"), local = measure(on_file, "file");

  // Both stores give the same answers.
  for (const auto* terms : {&long_terms, &short_terms})
    for (const std::string& t : *terms) {
      const store::ArchiveQuery q{t, {}, {}, {}, {}, 200};
      std::vector<std::int64_t> a, b;
      for (const auto& o : on_file.search(q, &error)) a.push_back(o.key);
      for (const auto& o : on_server.search(q, &error)) b.push_back(o.key);
      if (a != b) std::fprintf(stderr, "the stores differ on %s\n", t.c_str()), same = false;
    }

  const report::ReportRequest month{
      {"2026-11-01", "2026-11-30"}, report::Grouping::Day, std::time(nullptr), 48};
  const auto a = report::make_report(on_file, kBenchShop, month, &error),
             b = report::make_report(on_server, kBenchShop, month, &error);
  if (!a || !b || a->orders != b->orders || a->revenue != b->revenue ||
      a->late.size() != b->late.size())
    std::fprintf(stderr, "the stores' reports differ\n"), same = false;

  // A search stopped under way says so.
  std::string stopped;
  std::thread search([&] { on_server.search({"鑫鑫", {}, {}, {}, {}, 200}, &stopped); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server_db.interrupt_read();
  search.join();
  if (stopped.empty()) std::fprintf(stderr, "an interrupted search said nothing\n"), same = false;

  std::printf("archive of %lld orders: %s and %s\n\n", static_cast<long long>(total), file.c_str(),
              server_db.where().c_str());
  std::printf("| %-40s | %10s | %10s | %-8s | %-4s |\n", "median of the first 200 found",
              "PostgreSQL", "SQLite", "target", "met");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(12, '-').c_str(),
              std::string(12, '-').c_str(), std::string(10, '-').c_str(),
              std::string(6, '-').c_str());
  bool met = same;
  auto row = [&](const char* what, double pg, double sqlite, double target) {
    const bool ok = target <= 0 || pg < target;
    met = met && ok;
    std::printf("| %-40s | %7.1f ms | %7.1f ms | %-8s | %-4s |\n", what, pg, sqlite,
                target > 0 ? ("< " + std::to_string(static_cast<int>(target))).c_str() : "",
                ok ? "yes" : "NO");
  };
  row("search, 3 chars or more", server.indexed, local.indexed, 50);
  row("search, 1 or 2 chars", server.scanned, local.scanned, 400);
  row("  1 or 2 chars found nowhere (whole scan)", server.nowhere, local.nowhere, 0);
  row("  3+ chars common only among older orders", server.old_only, local.old_only, 0);
  row("30-day report through for_each_paid", server.month, local.month, 300);
  std::printf("\nthe stores answer %s; an interrupted search on the server: %s\n",
              same ? "the same" : "DIFFERENTLY", stopped.c_str());
  return met ? 0 : 1;
}
