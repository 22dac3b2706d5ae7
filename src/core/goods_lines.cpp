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

std::optional<long long> quantity_of(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  long long value = 0;
  int digits = 0;
  for (std::size_t i = 0; i < s.size();) {
    int d = -1;
    if (s[i] >= '0' && s[i] <= '9') {
      d = s[i] - '0';
      i += 1;
    } else if (s.substr(i, 2) == "\xEF\xBC" && i + 2 < s.size() &&
               static_cast<unsigned char>(s[i + 2]) >= 0x90 && static_cast<unsigned char>(s[i + 2]) <= 0x99) {
      d = static_cast<unsigned char>(s[i + 2]) - 0x90;  // ０..９ (U+FF10..U+FF19)
      i += 3;
    } else {
      break;
    }
    if (++digits > 12) return std::nullopt;  // no shelf holds that many
    value = value * 10 + d;
  }
  if (digits == 0) return std::nullopt;
  return value;
}

}  // namespace app
