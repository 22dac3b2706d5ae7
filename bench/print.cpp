// How fast the packing table's paper is made: 500 packing slips with their
// barcodes written as a PDF, and a pick list of 5,000 orders (summed and
// written), with how much the process grew meanwhile. Prints a table of
// figures against their targets; exits 1 when one is missed.
//
// Usage: build-bench/bench/bench_print [SLIPS] [PICK_ORDERS]
#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/order_generator.h"
#include "bench/timing.h"
#include "printing/documents.h"
#include "printing/pick_list.h"

namespace {

// The process's resident size now, and at its highest, in megabytes.
double status_mb(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::stod(line.substr(std::string(field).size())) / 1024;
  return 0;
}

printing::PrintJob job_of(printing::Document document, int orders) {
  OrderGenerator generator(20261209);
  printing::PrintJob job;
  job.document = document;
  job.store_name = web::utf8_to_gbk("蔚禾优选旗舰店");
  for (store::OrderReading& r : generator.page(orders)) {
    app::OrderRow row;
    for (const std::string& cell : r.cells) row.push_back(web::utf8_to_gbk(cell));
    job.orders.push_back({row, app::lines_in_system_text(r.items.value_or(std::vector<store::GoodsLine>{}))});
  }
  return job;
}


}  // namespace

int main(int argc, char** argv) {
  const int slips = argc > 1 ? std::atoi(argv[1]) : 500;
  const int pick_orders = argc > 2 ? std::atoi(argv[2]) : 5000;
  static int qt_argc = 3;
  static char name[] = "bench_print", option[] = "-platform", platform[] = "offscreen";
  static char* qt_argv[] = {name, option, platform, nullptr};
  QGuiApplication app(qt_argc, qt_argv);
  const QString pdf = QString::fromStdString((std::filesystem::temp_directory_path() / "weihe-bench.pdf").string());
  printing::PrintOptions options;
  QString error;

  // Fonts and the PDF writer warm up once, as in a running program.
  const printing::PrintJob warm = job_of(printing::Document::PackingSlips, 5);
  printing::write_pdf(pdf, warm, options, &error);

  const printing::PrintJob slip_job = job_of(printing::Document::PackingSlips, slips);
  const printing::PrintJob pick_job = job_of(printing::Document::PickList, pick_orders);
  // The peak starts again from here (writing 5 to clear_refs resets VmHWM).
  std::ofstream("/proc/self/clear_refs") << "5";
  const double rss_before = status_mb("VmRSS:");
  const double slips_ms = median_ms(5, [&] { printing::write_pdf(pdf, slip_job, options, &error); });
  const auto slip_size = std::filesystem::file_size(pdf.toStdString());
  const double sum_ms = median_ms(5, [&] { printing::make_pick_list(pick_job.orders, printing::PickSort::ByName); });
  const double pick_ms = median_ms(5, [&] { printing::write_pdf(pdf, pick_job, options, &error); });
  options.order_numbers = true;
  const double numbered_ms = median_ms(5, [&] { printing::write_pdf(pdf, pick_job, options, &error); });
  const double grown = status_mb("VmHWM:") - rss_before;
  if (!error.isEmpty()) {
    std::fprintf(stderr, "%s\n", error.toStdString().c_str());
    return 1;
  }

  table_heading("figure (median of 5)");
  const std::string slips_what = std::to_string(slips) + " packing slips with barcodes to PDF";
  const std::string pick_what = "pick list of " + std::to_string(pick_orders) + " orders to PDF";
  table_row(slips_what.c_str(), slips_ms, "ms", "< 1000", slips_ms < 1000);
  table_row("  its file", slip_size / 1024.0, "KiB", "", true);
  table_row("  summing the pick list's lines", sum_ms, "ms", "", true);
  table_row(pick_what.c_str(), pick_ms, "ms", "< 500", pick_ms < 500);
  table_row("  with the order-number column", numbered_ms, "ms", "", true);
  table_row("memory grown (peak resident - before)", grown, "MB", "< 150", grown < 150);
  std::filesystem::remove(pdf.toStdString());
  return slips_ms < 1000 && pick_ms < 500 && grown < 150 ? 0 : 1;
}
