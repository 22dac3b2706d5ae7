#pragma once
// Which order list the table shows. A list fetch records its list together
// with the identity (row keys) of the rows it wrote; the record holds only
// while the table still has exactly those rows. An import, a cleared table, a
// deleted or added row therefore make it stale without those operations having
// to report anything. Cell edits (details, shipping status) keep it valid.
//
// Usage: record_shown_list(ctx, kToShipList);          // after filling the table
//        if (table_shows_list(ctx, kToShipList)) { ...refresh... }

#include <string_view>

#include "core/context.h"

namespace backoffice {

// Call while holding the table lock, right after the rows were written.
void record_shown_list(app::Context& ctx, std::string_view list);
void forget_shown_list(app::Context& ctx);
bool table_shows_list(app::Context& ctx, std::string_view list);

}  // namespace backoffice
