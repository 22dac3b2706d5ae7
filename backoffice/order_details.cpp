#include "backoffice/order_details.h"

#include <algorithm>

#include "app/core/context.h"
#include "backoffice/detail_page.h"

namespace backoffice {

using web::gbk;

namespace {

// i of n rows as a position 0..100; n may have shrunk to 0 meanwhile.
int progress_of(int i, int n) {
  if (n <= 0) return 100;
  return std::clamp(static_cast<int>(static_cast<double>(i) / n * 100), 0, 100);
}

}  // namespace

void fetch_order_details(app::Context& ctx) {
  app::Form& form = ctx.form;
  form.speak(gbk("正在获取订单详情，请等待..."));
  app::TableLock::Hold hold(ctx.table_lock, form);
  form.set_progress(2);
  web::PatternMatcher matcher;
  const int n = form.row_count(app::kOrderList);
  int cut_pages = 0;
  for (int i = 1; i <= n; ++i) {
    const int r = i - 1;
    // The id must come from the row the key names: rows above may be deleted
    // between the two reads, moving another order to index r.
    app::RowKey key = form.row_key(app::kOrderList, r);
    web::Text id;
    while (key != 0) {
      id = form.cell(app::kOrderList, r, app::kColId);
      const app::RowKey again = form.row_key(app::kOrderList, r);
      if (again == key) break;
      key = again;
    }
    if (key == 0) break;  // the table shrank below this row
    const web::Text url = ctx.backoffice_url("/order/edit?id=") + web::form_encode(id);
    web::HttpOutcome outcome;
    const web::Bytes body = app::wait_for_request(form, url, 0, {}, &outcome);
    if (!body.empty() && !outcome.complete) ++cut_pages;
    if (auto groups = order_detail_of(web::page_text(body), matcher)) {
      form.set_cells_by_key(app::kOrderList, key, app::kColGoods, *groups);
      form.set_progress(progress_of(i, form.row_count(app::kOrderList)));
      form.process_events();
    }
    if (form.row_count(app::kOrderList) < i) break;
  }
  if (cut_pages > 0)
    app::tell_page_incomplete(form, std::to_string(cut_pages) + gbk("笔订单的详情"));
}

}  // namespace backoffice
