// Export and import of an order table of 5,000 rows x 26 columns: the
// workbook writing and reading with the text conversions the operations do.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "exchange/import.h"
#include "exchange/workbook_reader.h"
#include "exchange/workbook_writer.h"
#include "web/text.h"

namespace {

constexpr int kRows = 5000;
constexpr int kColumns = 26;

std::filesystem::path bench_file() {
  return std::filesystem::temp_directory_path() /
         ("bench-exchange-" + std::to_string(::getpid()) + ".xlsx");
}

// System-text cells like those the order lists and details fill in.
std::vector<std::vector<web::Text>> table() {
  std::vector<std::vector<web::Text>> rows;
  for (int r = 0; r < kRows; ++r) {
    std::vector<web::Text> row;
    for (int c = 0; c < kColumns; ++c)
      row.push_back(c % 3 == 0 ? web::gbk("广东省深圳市南山区 收货人") + std::to_string(r)
                               : "0012345" + std::to_string(r * kColumns + c));
    rows.push_back(std::move(row));
  }
  return rows;
}

void write_table(const std::vector<std::vector<web::Text>>& rows) {
  std::vector<std::string> titles;
  for (int c = 0; c < kColumns - 1; ++c) titles.push_back(web::gbk_to_utf8(web::gbk("标题")));
  titles.emplace_back();
  std::vector<std::vector<std::string>> cells;
  for (const auto& row : rows) {
    std::vector<std::string> out;
    for (const auto& t : row) out.push_back(web::gbk_to_utf8(t));
    cells.push_back(std::move(out));
  }
  if (!exchange::write_workbook(bench_file(), titles, cells).empty()) std::abort();
}

void BM_Export5000x26(benchmark::State& state) {
  const auto rows = table();
  for (auto _ : state) write_table(rows);
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(bench_file()));
  std::filesystem::remove(bench_file());
}
BENCHMARK(BM_Export5000x26)->Unit(benchmark::kMillisecond);

void BM_Import5000x26(benchmark::State& state) {
  write_table(table());
  for (auto _ : state) {
    exchange::ReadResult r = exchange::read_workbook(bench_file());
    if (!r.ok()) std::abort();
    auto rows = exchange::orders_from_sheet(r.sheet, kColumns);
    if (rows.size() != kRows) std::abort();
    benchmark::DoNotOptimize(rows);
  }
  std::filesystem::remove(bench_file());
}
BENCHMARK(BM_Import5000x26)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
