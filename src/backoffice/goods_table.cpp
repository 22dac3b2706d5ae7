#include "backoffice/goods_table.h"

namespace backoffice {

using web::find_text;
using web::Text;

namespace {

// The cells of one table row: the text between each "<td...>" and its "</td>".
std::vector<Text> cells_of(const Text& row) {
  std::vector<Text> cells;
  int at = 1;
  for (;;) {
    const int open = find_text(row, "<td", at, true);
    if (open < 0) break;
    // "<td>" or "<td class=...>", not "<tdx"
    const char after = open + 2 < static_cast<int>(row.size()) ? row[open + 2] : '\0';
    if (after != '>' && after != ' ' && after != '\t' && after != '\n' && after != '\r') {
      at = open + 3;
      continue;
    }
    const int start = find_text(row, ">", open + 3);
    if (start < 0) break;
    const int end = find_text(row, "</td>", start + 1, true);
    if (end < 0) break;
    cells.push_back(web::mid_text(row, start + 1, end - start - 1));
    at = end + 5;
  }
  return cells;
}

}  // namespace

std::vector<app::GoodsLine> goods_lines_of(const Text& page) {
  std::vector<app::GoodsLine> lines;
  const int body = find_text(page, "<tbody>", 1, true);
  if (body < 0) return lines;
  const int body_end = find_text(page, "</tbody>", body, true);
  if (body_end < 0) return lines;
  const Text table = web::mid_text(page, body + 7, body_end - body - 7);
  const Text packaging = web::gbk("包装方式:");
  int at = 1;
  for (;;) {
    const int open = find_text(table, "<tr", at, true);
    if (open < 0) break;
    int end = find_text(table, "</tr>", open, true);
    if (end < 0) end = static_cast<int>(table.size()) + 1;  // the last row left open
    const std::vector<Text> cells = cells_of(web::mid_text(table, open, end - open));
    at = end + 5;
    if (cells.size() < 5) continue;  // a heading or a note row, not goods
    Text variant = cells[2];
    if (const int p = find_text(variant, packaging); p > 0)
      variant = web::mid_text(variant, p + static_cast<int>(packaging.size()),
                              static_cast<int>(variant.size()));
    lines.push_back({cells[0], cells[1], variant, cells[3], cells[4]});
  }
  return lines;
}

}  // namespace backoffice
