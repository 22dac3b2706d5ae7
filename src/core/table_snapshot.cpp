#include "core/table_snapshot.h"

namespace app {

namespace {

std::vector<RowKey> order_row_keys(Form& form) {
  std::vector<RowKey> keys;
  for (RowKey key; (key = form.row_key(kOrderList, static_cast<int>(keys.size())));)
    keys.push_back(key);
  return keys;
}

}  // namespace

Text cell_of(const OrderRow& row, int column) {
  return column < static_cast<int>(row.size()) ? row[column] : Text();
}

TableSnapshot read_order_rows(Form& form) {
  for (;;) {
    std::vector<RowKey> before = order_row_keys(form);
    std::vector<OrderRow> rows = form.rows(kOrderList);
    if (rows.size() == before.size() && order_row_keys(form) == before)
      return {std::move(rows), std::move(before)};
  }
}

}  // namespace app
