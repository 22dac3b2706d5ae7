#pragma once
// The detail fetch (按钮6, worker): for every row of the order table, top to
// bottom, requests the order's edit page and writes its thirteen detail groups
// into columns 商品 to 快递单号 of that same row (found by its row key, so a
// detail never lands in another order's row). A page that does not match
// leaves its row as it was; a row deleted before its turn is not asked for.
// The pages are asked for a few at once (app::parallel_requests); the
// progress bar counts the rows finished, in whatever order they finish.
//
// Usage: form.start_worker([&ctx] { backoffice::fetch_order_details(ctx); });

#include <optional>
#include <vector>

#include "core/context.h"

namespace backoffice {

void fetch_order_details(app::Context& ctx);
// The same for the rows whose keys are in `only` (none: nothing is asked).
void fetch_order_details(app::Context& ctx, const std::vector<app::RowKey>& only);

// One order's edit page, read: its thirteen detail groups, or nothing when
// the page does not match (no answer, another layout). Every line of its
// goods table goes into ctx.goods_lines, and what was read into the order
// archive (with the columns of `listed`, the order's table row, when given).
// Renews an expired session once. Blocks; any thread.
std::optional<std::vector<web::Text>> request_order_detail(app::Context& ctx,
                                                           const web::Text& order_id,
                                                           web::HttpOutcome* outcome,
                                                           const app::OrderRow* listed = nullptr);

}  // namespace backoffice
