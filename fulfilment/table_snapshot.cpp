#include "fulfilment/table_snapshot.h"

namespace fulfilment {

namespace {

std::vector<app::RowKey> order_row_keys(app::Form& form) {
  std::vector<app::RowKey> keys;
  for (app::RowKey key; (key = form.row_key(app::kOrderList, static_cast<int>(keys.size())));)
    keys.push_back(key);
  return keys;
}

}  // namespace

app::Text cell_of(const app::OrderRow& row, int column) {
  return column < static_cast<int>(row.size()) ? row[column] : app::Text();
}

TableSnapshot read_order_rows(app::Form& form) {
  for (;;) {
    std::vector<app::RowKey> before = order_row_keys(form);
    std::vector<app::OrderRow> rows = form.rows(app::kOrderList);
    if (rows.size() == before.size() && order_row_keys(form) == before)
      return {std::move(rows), std::move(before)};
  }
}

}  // namespace fulfilment
