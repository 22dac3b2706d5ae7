// Reading a workbook file (.xlsx through libzip and expat, .xls through
// FreeXL in a child process) under small limits.

#include <pthread.h>
#include <sanitizer/common_interface_defs.h>
#include <signal.h>

#include "exchange/workbook_reader.h"
#include "fuzz/support.h"

namespace {

// The .xls reader runs FreeXL in a forked child and takes a child that dies
// for a damaged file. The child gets the plain process it has in the program:
// default signal handling and no libFuzzer death callback, which would
// otherwise record FreeXL's known faults on damaged files as crashes here.
void plain_child() {
  __sanitizer_set_death_callback(nullptr);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(s, SIG_DFL);
}

exchange::ReadLimits small_limits() {
  exchange::ReadLimits limits;
  limits.max_file_bytes = 1 << 20;
  limits.max_part_bytes = 4 << 20;
  limits.max_ratio = 100;
  limits.max_rows = 200;
  limits.max_text_bytes = 1 << 20;
  limits.max_shared_strings = 5000;
  return limits;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::pthread_atfork(nullptr, nullptr, plain_child);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path file = fuzz::scratch_file("workbook");
  static const exchange::ReadLimits limits = small_limits();
  fuzz::write_file(file, data, size);
  const exchange::ReadResult r = exchange::read_workbook(file, limits);

  // A refused workbook gives no cells at all.
  if (!r.ok()) {
    FUZZ_CHECK(r.sheet.stored_rows() == 0);
    return 0;
  }

  // Cells come row by row, in order, each a non-empty UTF-8 text in a..z that
  // a look-up finds again.
  std::int64_t last_row = -1;
  int last_column = -1;
  r.sheet.for_each_cell([&](std::int64_t row, int column, const std::string& text) {
    FUZZ_CHECK(row > last_row || (row == last_row && column > last_column));
    FUZZ_CHECK(column >= 0 && column < exchange::kMaxColumns);
    FUZZ_CHECK(!text.empty() && fuzz::valid_utf8(text));
    FUZZ_CHECK(r.sheet.cell(row, column) == text);
    last_row = row;
    last_column = column;
  });

  // An accepted sheet keeps to the row limit (titles plus max_rows).
  std::size_t leading = 0;
  auto has_value = [&](std::int64_t row) {
    for (int c = 0; c < exchange::kMaxColumns; ++c)
      if (!r.sheet.cell(row, c).empty()) return true;
    return false;
  };
  while (leading <= limits.max_rows + 1 && has_value(static_cast<std::int64_t>(leading))) ++leading;
  FUZZ_CHECK(leading <= limits.max_rows + 1);
  return 0;
}
