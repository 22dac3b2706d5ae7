#pragma once
// The order rows with their keys, read as one consistent picture, for the
// batches over the whole table (shipping, tracking).
//
// Usage: TableSnapshot t = read_order_rows(form);  // under the table lock
//        form.set_cells_by_key(app::kOrderList, t.keys[r], column, {text});

#include <vector>

#include "app/core/form.h"

namespace fulfilment {

struct TableSnapshot {
  std::vector<app::OrderRow> rows;
  std::vector<app::RowKey> keys;  // keys[r] is the key of rows[r]
};

// A row's cell; the empty text for a column the row does not reach.
app::Text cell_of(const app::OrderRow& row, int column);

// While the caller holds the table lock only the merchant's deletes can
// change the rows, so a read with the same keys before and after it is
// consistent; each retry needs another delete, so the loop ends after at most
// as many retries as there are rows.
TableSnapshot read_order_rows(app::Form& form);

}  // namespace fulfilment
