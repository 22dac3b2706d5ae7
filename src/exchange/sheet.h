#pragma once
// The cells of one worksheet as texts, the way the import sees a workbook:
// only columns a to z, only cells that hold a value, every value already
// turned into the text a spreadsheet shows for it. Texts are UTF-8.
//
// Usage: Sheet s; s.set(0, 0, "序号");      // row 1, column a
//        s.finish();                        // after the last set
//        const std::string& a2 = s.cell(1, 0);

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace exchange {

// Columns a to z: the only ones a cell name of one letter can address.
inline constexpr int kMaxColumns = 26;

class Sheet {
 public:
  // Stores a cell (0-based row and column). Columns outside a..z and empty
  // texts are not stored. Rows may arrive in any order; call finish() after.
  void set(std::int64_t row, int column, std::string text);
  // Sorts the rows; a cell set twice keeps its last text.
  void finish();

  // The text of a cell, the empty text when it holds nothing.
  const std::string& cell(std::int64_t row, int column) const;
  // Rows holding at least one value.
  std::size_t stored_rows() const { return m_rows.size(); }
  // Rows from the first row down to the first one without any value: the
  // rows an import reads. (Every stored row, for rows set out of order.)
  std::size_t leading_rows() const { return m_sorted ? m_leading : m_rows.size(); }
  // Every stored cell, row by row (after finish(): in row order).
  void for_each_cell(
      const std::function<void(std::int64_t row, int column, const std::string& text)>& visit)
      const {
    for (const Row& r : m_rows)
      for (size_t c = 0; c < r.cells.size(); ++c)
        if (!r.cells[c].empty()) visit(r.number, static_cast<int>(c), r.cells[c]);
  }

 private:
  struct Row {
    std::int64_t number = 0;
    std::vector<std::string> cells;  // index = column, at most kMaxColumns
  };
  Row& row_for_append(std::int64_t row);

  std::vector<Row> m_rows;
  bool m_sorted = true;
  std::size_t m_leading = 0;
  bool m_gap = false;
};

// Bounds on what reading a workbook may cost. A workbook beyond any of them
// is refused with a message instead of being read.
struct ReadLimits {
  std::uint64_t max_file_bytes = 256ull << 20;  // the workbook file itself
  std::uint64_t max_part_bytes = 256ull << 20;  // one part of an .xlsx, uncompressed
  std::uint64_t max_ratio = 500;                // uncompressed / compressed, for parts over 1 MiB
  std::size_t max_rows = 100'000;  // rows below the titles, down to the first blank row
  std::size_t max_text_bytes = 128ull << 20;    // all kept texts together
  std::size_t max_shared_strings = 2'000'000;
  // Called now and then during a long read (e.g. to let the window paint).
  std::function<void()> tick;
};

struct ReadResult {
  Sheet sheet;
  std::string error;  // UTF-8 reason for the merchant; empty when read
  bool ok() const { return error.empty(); }
};

}  // namespace exchange
