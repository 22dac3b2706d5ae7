#pragma once
// Writes a table as a new .xlsx workbook: titles in row 1, the rows from row
// 2, at most 26 columns (a to z), every cell formatted as text ("@") so digits
// and leading zeros stay as they are; only columns said to hold figures
// (counts, amounts) are written as numbers a spreadsheet can add up. The
// workbook is written to a temporary file beside the target and renamed over
// it only when complete, so a failed write never leaves a half file (nor
// spoils an existing one).
//
// Usage: std::string why = write_workbook(path, titles, rows);
//        if (!why.empty()) report(why);

#include <filesystem>
#include <string>
#include <vector>

namespace exchange {

// Texts are UTF-8. Rows may be shorter or longer than the titles: cells beyond
// the titles (and beyond column z) are not written. Returns the empty text on
// success, otherwise the reason (UTF-8) the file was not written.
// A cell whose text was longer than a workbook cell holds (32,767
// characters) and was cut there: 0-based index into `rows`, and column.
struct CutCell {
  std::size_t row;
  int column;
};

// What a column holds: text (as written), or figures: a cell that reads as a
// decimal number ("12", "-3.5", "1234.50") is written as that number, shown
// as the spreadsheet shows numbers (Number) or with two decimals (Amount);
// any other cell of such a column (empty, "—") stays text.
enum class ColumnKind { Text, Number, Amount };

// A further worksheet, after the first, written the same way. `kinds`:
// column by column (missing ones are Text).
struct NamedSheet {
  std::string name;
  std::vector<std::string> titles;
  std::vector<std::vector<std::string>> rows;
  std::vector<ColumnKind> kinds = {};
};

// `kinds`: the first sheet's columns, as for a NamedSheet.
std::string write_workbook(const std::filesystem::path& path,
                           const std::vector<std::string>& titles,
                           const std::vector<std::vector<std::string>>& rows,
                           std::vector<CutCell>* cut = nullptr,
                           const std::vector<NamedSheet>& more_sheets = {},
                           const std::vector<ColumnKind>& kinds = {});

}  // namespace exchange
