#pragma once
// The order rows with their keys, read as one consistent picture, for the
// operations over the whole table (details, shipping, tracking).
//
// Usage: TableSnapshot t = read_order_rows(form);  // under the table lock
//        form.set_cells_by_key(kOrderList, t.keys[r], column, {text});

#include <vector>

#include "core/form.h"

namespace app {

struct TableSnapshot {
  std::vector<OrderRow> rows;
  std::vector<RowKey> keys;  // keys[r] is the key of rows[r]
};

// A row's cell; the empty text for a column the row does not reach.
Text cell_of(const OrderRow& row, int column);

// While the caller holds the table lock only the merchant's deletes can
// change the rows, so a read with the same keys before and after it is
// consistent; each retry needs another delete, so the loop ends after at most
// as many retries as there are rows.
TableSnapshot read_order_rows(Form& form);

}  // namespace app
