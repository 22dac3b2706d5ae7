#include "core/goods_lines.h"

#include "core/form.h"

namespace app {

std::vector<GoodsLine> goods_lines_of_row(const GoodsLineBook& book, const std::vector<Text>& row) {
  auto cell = [&](int c) { return c < static_cast<int>(row.size()) ? row[c] : Text(); };
  std::vector<GoodsLine> lines = book.of(cell(kColId));
  if (lines.empty() && !cell(kColGoods).empty())
    lines.push_back({cell(kColGoods), cell(kColGoods + 1), cell(kColGoods + 2), cell(kColGoods + 3),
                     cell(kColGoods + 4)});
  return lines;
}

}  // namespace app
