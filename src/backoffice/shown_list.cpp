#include "backoffice/shown_list.h"

#include <string>

namespace backoffice {

namespace {

// "<list>\t<row count>\t<first row key>\t<last row key>"
std::string snapshot(app::Context& ctx, std::string_view list) {
  app::Form& form = ctx.form;
  const int n = form.row_count(app::kOrderList);
  const app::RowKey first = n > 0 ? form.row_key(app::kOrderList, 0) : 0;
  const app::RowKey last = n > 0 ? form.row_key(app::kOrderList, n - 1) : 0;
  return std::string(list) + '\t' + std::to_string(n) + '\t' + std::to_string(first) + '\t' +
         std::to_string(last);
}

}  // namespace

void record_shown_list(app::Context& ctx, std::string_view list) {
  ctx.shown_list.set(snapshot(ctx, list));
}

void forget_shown_list(app::Context& ctx) {
  ctx.shown_list.set({});
}

bool table_shows_list(app::Context& ctx, std::string_view list) {
  const std::string recorded = ctx.shown_list.get();
  return !recorded.empty() && recorded == snapshot(ctx, list);
}

}  // namespace backoffice
