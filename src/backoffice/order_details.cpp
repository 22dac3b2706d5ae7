#include "backoffice/order_details.h"

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <vector>

#include "core/context.h"
#include "core/table_snapshot.h"
#include "backoffice/detail_page.h"
#include "backoffice/goods_table.h"
#include "core/archive_keeping.h"
#include "backoffice/session.h"
#include "web/request_pool.h"

namespace backoffice {

using web::gbk;
using web::Text;

namespace {

// i of n rows as a position 0..100.
int progress_of(std::size_t i, std::size_t n) {
  if (n == 0) return 100;
  return std::clamp(static_cast<int>(static_cast<double>(i) / static_cast<double>(n) * 100), 0, 100);
}

// What one order's edit page gave, kept by the request's task until the
// operation's thread writes it.
struct Detail {
  std::optional<std::vector<web::Text>> groups;  // nothing: the page did not match
  bool cut_short = false;
};

}  // namespace

std::optional<std::vector<web::Text>> request_order_detail(app::Context& ctx,
                                                           const web::Text& order_id,
                                                           web::HttpOutcome* outcome,
                                                           const app::OrderRow* listed) {
  const web::Text url = ctx.backoffice_url("/order/edit?id=") + web::form_encode(order_id);
  std::uint64_t sent_with = 0;
  auto ask = [&] {
    auto out = ctx.session_gate.request();
    sent_with = ctx.csrf_token.version();
    return web::http_request(url, 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {},
                             outcome, ctx.http);
  };
  web::Bytes body = ask();
  web::Text page = web::page_text(body);
  // Answered with the login form, the session has expired: after a quiet
  // login (one for all the requests in flight) the page is asked again.
  if (ctx.renew_if_expired && ctx.renew_if_expired(page, sent_with)) {
    body = ask();
    page = web::page_text(body);
  }
  thread_local web::PatternMatcher matcher;  // one per thread
  std::optional<std::vector<Text>> groups = order_detail_of(page, matcher);
  std::vector<app::GoodsLine> lines = goods_lines_of(page);
  if (!groups && lines.empty()) return groups;
  app::OrderRow row = listed ? *listed : app::OrderRow();
  row.resize(std::max<std::size_t>(row.size(), app::kOrderColumnCount));
  row[app::kColId] = order_id;
  if (groups) std::copy(groups->begin(), groups->end(), row.begin() + app::kColGoods);
  if (!lines.empty()) ctx.goods_lines.set(order_id, lines);
  app::archive_order_detail(ctx, row, lines);
  return groups;
}

namespace {

// The rows of `only`, or every row when it is null.
app::TableSnapshot rows_to_fetch(app::Form& form, const std::vector<app::RowKey>* only) {
  app::TableSnapshot table = app::read_order_rows(form);
  if (!only) return table;
  const std::unordered_set<app::RowKey> wanted(only->begin(), only->end());
  app::TableSnapshot some;
  for (std::size_t r = 0; r < table.rows.size(); ++r)
    if (wanted.count(table.keys[r])) {
      some.rows.push_back(std::move(table.rows[r]));
      some.keys.push_back(table.keys[r]);
    }
  return some;
}

void fetch_details(app::Context& ctx, const std::vector<app::RowKey>* only) {
  app::Form& form = ctx.form;
  form.speak(gbk("正在获取订单详情，请等待..."));
  app::TableLock::Hold hold(ctx.table->lock, form);
  form.set_progress(2);
  // The rows as they are now; each detail is written by row key, so a row
  // deleted meanwhile is neither asked for nor written, and no detail lands
  // in another order's row.
  const app::TableSnapshot table = rows_to_fetch(form, only);
  const std::size_t n = table.rows.size();
  std::vector<Detail> details(n);
  web::RequestPool pool(app::parallel_requests(ctx.settings));
  std::size_t finished = 0;
  int cut_pages = 0;
  int missing = 0;  // pages that gave no details
  auto count_finished = [&] {
    ++finished;
    form.set_progress(progress_of(finished, n));
    form.show_status(gbk("订单详情 ") + std::to_string(finished) + "/" + std::to_string(n));
    form.process_events();
  };
  auto write_next_finished = [&] {
    const std::size_t r = *pool.next_finished();
    if (details[r].cut_short) ++cut_pages;
    if (details[r].groups)
      form.set_cells_by_key(app::kOrderList, table.keys[r], app::kColGoods, *details[r].groups);
    else
      ++missing;
    count_finished();
  };
  for (std::size_t r = 0; r < n; ++r) {
    while (pool.outstanding() >= static_cast<std::size_t>(pool.width())) write_next_finished();
    if (form.row_of_key(app::kOrderList, table.keys[r]) < 0) {
      count_finished();  // deleted while earlier pages came in
      continue;
    }
    const web::Text id = app::cell_of(table.rows[r], app::kColId);
    pool.submit(r, [&ctx, &details, &table, r, id](int) {
      web::HttpOutcome outcome;
      details[r].groups = request_order_detail(ctx, id, &outcome, &table.rows[r]);
      details[r].cut_short = outcome.status != 0 && !outcome.complete;
      return web::pool_answer(outcome);
    });
  }
  while (pool.outstanding() > 0) write_next_finished();
  Text outcome = gbk("订单详情：") + std::to_string(n) + gbk("笔");
  if (missing > 0) {
    outcome += gbk("，") + std::to_string(missing) + gbk("笔没有取到（后台没有回答或页面认不出）");
    form.append_log(outcome + "\r\n");
    form.show_failure(outcome);
    show_failure_in_title(ctx, std::to_string(missing) + gbk("笔订单详情没有取到"));
  } else {
    form.show_status(outcome);
  }
  if (cut_pages > 0)
    app::tell_page_incomplete(form, std::to_string(cut_pages) + gbk("笔订单的详情"));
}

}  // namespace

void fetch_order_details(app::Context& ctx) {
  fetch_details(ctx, nullptr);
}

void fetch_order_details(app::Context& ctx, const std::vector<app::RowKey>& only) {
  if (!only.empty()) fetch_details(ctx, &only);
}

}  // namespace backoffice
