#include "core/goods_lines.h"

#include "core/form.h"
#include "core/table_snapshot.h"

namespace app {

namespace {

std::vector<GoodsLine> converted(const std::vector<GoodsLine>& lines,
                                 std::string (*convert)(std::string_view)) {
  std::vector<GoodsLine> out;
  out.reserve(lines.size());
  for (const GoodsLine& l : lines)
    out.push_back({convert(l.goods), convert(l.quantity), convert(l.variant), convert(l.unit_price),
                   convert(l.line_total)});
  return out;
}

}  // namespace

std::vector<GoodsLine> lines_in_utf8(const std::vector<GoodsLine>& system_text) {
  return converted(system_text, &web::gbk_to_utf8);
}

std::vector<GoodsLine> lines_in_system_text(const std::vector<GoodsLine>& utf8) {
  return converted(utf8, &web::utf8_to_gbk);
}

std::vector<GoodsLine> goods_lines_of_row(const GoodsLineBook& book, const std::vector<Text>& row) {
  auto cell = [&](int c) { return cell_of(row, c); };
  std::vector<GoodsLine> lines = book.of(cell(kColId));
  if (lines.empty() && !cell(kColGoods).empty())
    lines.push_back({cell(kColGoods), cell(kColGoods + 1), cell(kColGoods + 2), cell(kColGoods + 3),
                     cell(kColGoods + 4)});
  return lines;
}

}  // namespace app
