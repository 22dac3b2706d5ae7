// The order archive at the size of years of trade: with ORDERS archived
// orders (default 1,000,000, built once into DB and kept), the first 200
// results of searches of three characters or more and of one or two, a LIKE
// scan of the same rows for comparison, writing a 5,000-order list page new
// and unchanged, the file's size, and opening it against an empty one.
// Prints a table with the targets and ratios. Run from a Release build:
//   build/bench/bench_archive [ORDERS] [DB]
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/order_generator.h"
#include "bench/timing.h"
#include "store/order_archive.h"

namespace {


// The first 200 rows holding `text` by LIKE over the searched columns (what
// a search without the index would do).
void like_scan(store::Database& db, const std::string& text) {
  const std::string pattern = "%" + text + "%";
  std::string ignored;
  db.run(
      [&](store::Database::Connection& c, std::string*) {
        sqlite3_stmt* st = c.prepare(
            "SELECT key, order_no, member, address, items FROM archived_orders WHERE order_no LIKE ?1 OR "
            "order_id LIKE ?1 OR member LIKE ?1 OR consignee LIKE ?1 OR phone LIKE ?1 OR address "
            "LIKE ?1 OR goods LIKE ?1 OR items LIKE ?1 OR message LIKE ?1 OR tracking_no LIKE ?1 "
            "ORDER BY key DESC LIMIT 200");
        sqlite3_bind_text(st, 1, pattern.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
        }
        sqlite3_reset(st);
        return true;
      },
      &ignored);
}


}  // namespace

int main(int argc, char** argv) {
  const long long orders = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
  const std::filesystem::path file = argc > 2 ? argv[2] : "/tmp/weihe-archive-bench.db";
  constexpr int kPage = 5000;  // orders in one list page written
  if (!build_archive(file, orders, kBenchShop)) return 1;
  store::Database db(file);
  store::OrderArchive archive(db);
  std::string error;
  const std::int64_t archived = count_orders(db);

  // What a merchant looks an order up by: parts of one order's texts (its
  // telephone, number, tracking number, consignee, address), goods, a message.
  std::optional<store::ArchivedOrder> sample;
  for (std::int64_t id = archived / 2; id < archived / 2 + 100 && !(sample && !sample->cells[21].empty()); ++id)
    sample = archive.find(kBenchShop, std::to_string(id));
  if (!sample || sample->cells[21].empty()) {
    std::fprintf(stderr, "no order %lld in the archive\n", static_cast<long long>(archived / 2));
    return 1;
  }
  const auto& c = sample->cells;
  const std::vector<std::string> long_terms = {
      c[19], c[1].substr(6, 10), c[21].substr(2), "王秀英", c[20].substr(0, c[20].find("号") + 3),
      "五常稻花", "请尽快发货", "高山云雾"};
  const std::vector<std::string> short_terms = {"张伟", "龙井", "枸杞", "李", "sf", "洋", c[18].substr(0, 6)};
  const bool verbose = std::getenv("WEIHE_BENCH_VERBOSE") != nullptr;
  auto searches = [&](const std::vector<std::string>& terms) {
    std::vector<double> medians;
    for (const std::string& t : terms) {
      medians.push_back(median_ms(9, [&] { archive.search({t, {}, {}, {}, {}, 200}, &error); }));
      if (verbose) std::fprintf(stderr, "  %-24s %8.2f ms\n", t.c_str(), medians.back());
    }
    std::sort(medians.begin(), medians.end());
    return medians[medians.size() / 2];
  };
  const double indexed = searches(long_terms);
  const double scanned = searches(short_terms);
  // The worst case of a short text: nothing holds it, every record is looked at.
  const double scanned_all = median_ms(3, [&] { archive.search({"鑫鑫", {}, {}, {}, {}, 200}, &error); });
  std::vector<double> likes;
  for (const std::string& t : long_terms) likes.push_back(median_ms(3, [&] { like_scan(db, t); }));
  std::sort(likes.begin(), likes.end());
  const double like = likes[likes.size() / 2];

  if (const char* merge = std::getenv("WEIHE_BENCH_AUTOMERGE")) {
    std::string ignored;
    db.run(
        [&](store::Database::Connection& c, std::string*) {
          const std::string sql =
              std::string("INSERT INTO archive_search(archive_search, rank) VALUES('automerge', ") + merge + ")";
          return sqlite3_exec(c.db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        },
        &ignored);
  }
  // New orders: the next ids, so the next pay times, as a real list page brings.
  OrderGenerator fresh(7);
  fresh.restart_ids(archived + 1);
  std::vector<std::vector<store::OrderReading>> pages;
  for (int i = 0; i < 3; ++i) pages.push_back(fresh.page(kPage));
  // Pages come a poll's interval apart: each finds the last one's upkeep (the
  // index's merging, in the background) done.
  auto write_pages = [&](const std::function<const std::vector<store::OrderReading>&(int)>& page) {
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
      db.wait_for_upkeep();
      times.push_back(median_ms(1, [&] { archive.record(kBenchShop, page(i), store::OrderArchive::Source::List, &error); }));
    }
    std::sort(times.begin(), times.end());
    return times[1];
  };
  const double write_new = write_pages([&](int i) -> const auto& { return pages[i]; });
  const double write_same = write_pages([&](int) -> const auto& { return pages[0]; });

  const std::filesystem::path empty_file = file.parent_path() / "weihe-archive-bench-empty.db";
  std::filesystem::remove(empty_file);
  const double open_empty = median_ms(5, [&] {
    store::Database d(empty_file);
    store::OrderArchive a(d);
  });
  const double open_full = median_ms(5, [&] {
    store::Database d(file);
    store::OrderArchive a(d);
  });
  std::filesystem::remove(empty_file);
  std::filesystem::remove(empty_file.string() + "-wal");
  std::filesystem::remove(empty_file.string() + "-shm");

  std::uintmax_t bytes = std::filesystem::file_size(file);
  std::error_code ec;
  if (auto wal = std::filesystem::file_size(file.string() + "-wal", ec); !ec) bytes += wal;
  const double megabytes = static_cast<double>(bytes) / 1e6;

  std::printf("archive of %lld orders (%s)\n", static_cast<long long>(archived), file.c_str());
  table_heading("what");
  table_row("search, 3 chars or more, first 200", indexed, "ms", "< 20 ms", indexed < 20);
  table_row("search, 1 or 2 chars, first 200", scanned, "ms", "< 400 ms", scanned < 400);
  table_row("  1 or 2 chars found nowhere (whole scan)", scanned_all, "ms", "", true);
  table_row("LIKE scan of the same rows, 3 chars or more", like, "ms", "", true);
  table_row("  LIKE / index (ratio)", like / indexed, "x", ">= 50x", like / indexed >= 50);
  table_row("write a 5,000-order page, all new", write_new, "ms", "< 250 ms", write_new < 250);
  table_row("write a 5,000-order page, unchanged", write_same, "ms", "< 100 ms", write_same < 100);
  table_row("database size", megabytes, "MB", "< 700 MB", megabytes < 700);
  table_row("open with it minus open with an empty one", open_full - open_empty, "ms", "< 100 ms",
      open_full - open_empty < 100);
  return 0;
}
