#pragma once
// One row of an order's goods table: what was bought, how many, in which
// packaging, at what price. The texts are as the page gave them, in whatever
// charset the holder keeps (system text in the window, UTF-8 in the archive).

#include <string>

namespace store {

struct GoodsLine {
  std::string goods, quantity, variant, unit_price, line_total;
  bool operator==(const GoodsLine&) const = default;
};

}  // namespace store
