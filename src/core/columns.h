#pragma once
// The columns of the two report lists: the title shown (UTF-8), the width the
// window gives it at start (0: hidden), and a stable English key for output
// that scripts read (the command line's JSON and TSV).
//
// Usage: for (const auto& c : app::order_columns()) add_column(c.title, c.width);

#include <span>

namespace app {

struct ListColumn {
  const char* title;
  int width;
  const char* key;
};

std::span<const ListColumn> order_columns();       // 超级列表框1, 26 columns
std::span<const ListColumn> withdrawal_columns();  // 超级列表框2, 6 columns

}  // namespace app
