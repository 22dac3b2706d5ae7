#pragma once
// What commands print: JSON objects one per line (keys in the order given),
// tab-separated rows, written to standard output or to a file that appears
// whole (written beside it first, then renamed), so a script never reads
// half of it.
//
// Usage: Output out(path);                        // "" or "-": standard output
//        out.line(json_line({{"id", id}}));
//        if (!out.finish(&error)) ...

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/columns.h"
#include "core/form.h"
#include "store/goods_line.h"

namespace cli {

using Json = nlohmann::ordered_json;

// One JSON value as a line (UTF-8, no ASCII escaping; invalid bytes replaced).
std::string json_line(const Json& object);
// The UTF-8 JSON value of a system text.
Json json_text(const app::Text& text);
// A row as a JSON object line, keys from `columns` (cells beyond them left
// out). Written key by key: a list of thousands of rows is printed this way.
std::string row_json_line(std::span<const app::ListColumn> columns, const app::OrderRow& row);
// Goods lines as a JSON array of {"goods", "quantity", "variant",
// "unit_price", "line_total"} (texts UTF-8, as the archive keeps them).
Json items_json(const std::vector<store::GoodsLine>& lines);
// The same for lines in system text.
Json items_json_of_system_text(const std::vector<store::GoodsLine>& lines);
// `object_line` (a JSON object) with `key`: `value` added at its end.
std::string with_member(std::string object_line, const char* key, const Json& value);
// Cells joined by tabs; tabs and line breaks inside cells become spaces.
std::string tsv_line(const std::vector<std::string>& cells);
std::string tsv_row(std::span<const app::ListColumn> columns, const app::OrderRow& row);
std::string tsv_header(std::span<const app::ListColumn> columns);

class Output {
 public:
  explicit Output(std::string path);
  ~Output();  // an unfinished file is removed
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  bool ok() const { return m_file != nullptr; }
  // Writes `text` and a line break.
  void line(const std::string& text);
  // Flushes and puts the file in place; false with `error` (UTF-8) when that failed.
  bool finish(std::string* error);

 private:
  std::string m_path;  // empty for standard output
  std::string m_temp;
  std::FILE* m_file = nullptr;
  int m_open_errno = 0;
};

class CliForm;
// Finishes `out`; the exit status: done, or failed with the error said.
int finish_output(Output& out, const CliForm& form);

}  // namespace cli
