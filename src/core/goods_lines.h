#pragma once
// Every goods line of the orders whose details this run has read (or a
// workbook brought), by order id, in system text. The order table keeps only
// the first line in its columns 商品 to 总价; the row window, the export's
// "商品明细" sheet and weihe-cli read the rest here. Safe from any thread.
//
// Usage: ctx.goods_lines.set(id, lines);
//        for (const auto& line : ctx.goods_lines.of(id)) ...

#include <map>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "store/goods_line.h"
#include "web/text.h"

namespace app {

using GoodsLine = store::GoodsLine;

class GoodsLineBook {
 public:
  void set(const web::Text& order_id, std::vector<GoodsLine> lines) {
    std::lock_guard lock(m_mutex);
    m_lines[order_id] = std::move(lines);
  }
  std::vector<GoodsLine> of(const web::Text& order_id) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_lines.find(order_id);
    return it == m_lines.end() ? std::vector<GoodsLine>() : it->second;
  }

 private:
  mutable std::mutex m_mutex;
  std::map<web::Text, std::vector<GoodsLine>> m_lines;
};

// Lines between system text and UTF-8 (the archive's and the workbooks').
std::vector<GoodsLine> lines_in_utf8(const std::vector<GoodsLine>& system_text);
std::vector<GoodsLine> lines_in_system_text(const std::vector<GoodsLine>& utf8);

// The whole number a quantity cell (UTF-8) holds: leading digits, full-width
// ones too, a unit after them allowed ("2", "２", "2件"); nothing for another text.
std::optional<long long> quantity_of(std::string_view utf8);

// The lines of a table row: those read for its order, else the first line
// its columns 商品 to 总价 hold (none when 商品 is empty).
std::vector<GoodsLine> goods_lines_of_row(const GoodsLineBook& book, const std::vector<web::Text>& row);

}  // namespace app
