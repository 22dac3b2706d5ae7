#include "core/table_snapshot.h"

namespace app {

Text cell_of(const OrderRow& row, int column) {
  return column < static_cast<int>(row.size()) ? row[column] : Text();
}

TableSnapshot read_order_rows(Form& form) {
  for (;;) {
    std::vector<RowKey> before = form.row_keys(kOrderList);
    std::vector<OrderRow> rows = form.rows(kOrderList);
    if (rows.size() == before.size() && form.row_keys(kOrderList) == before)
      return {std::move(rows), std::move(before)};
  }
}

}  // namespace app
