#include "backoffice/order_lists.h"

#include "backoffice/new_orders.h"

#include <chrono>
#include <ctime>
#include <optional>
#include <string>

#include "backoffice/order_rows.h"
#include "core/archive_keeping.h"
#include "backoffice/session.h"
#include "backoffice/shown_list.h"
#include "web/http.h"

namespace backoffice {

using web::gbk;

namespace {

struct ListFetch {
  std::string_view list;
  const char* first_message;  // UTF-8, or nullptr for a silent fetch
  bool count_message;
  bool progress;
  bool ui_thread;  // waits for the table only so long, then says it is busy
};

// Appends the rows in one call each. On the UI thread the window repaints
// about 60 times a second meanwhile, with the newest row in view; it takes no
// user input then, so nothing else starts on the table being filled. The
// list then opens at its first row, where a merchant starts reading.
void append_rows(app::Form& form, const std::vector<app::OrderRow>& rows, bool progress) {
  using Clock = std::chrono::steady_clock;
  const int n = static_cast<int>(rows.size());
  int shown_progress = 1;
  auto last_events = Clock::now();
  int r = -1;
  for (int i = 1; i <= n; ++i) {
    r = form.append_row(app::kOrderList, rows[i - 1]);
    // Someone else added or removed rows meanwhile: keep 序号 equal to the position.
    if (r != i - 1) form.set_cell(app::kOrderList, r, app::kColSerial, std::to_string(r + 1));
    if (progress) {
      const int p = static_cast<int>(static_cast<double>(i) / n * 100);
      if (p != shown_progress) form.set_progress(shown_progress = p);
    }
    if (Clock::now() - last_events >= std::chrono::milliseconds(16)) {
      form.scroll_to_row(app::kOrderList, r);
      form.process_events();
      last_events = Clock::now();
    }
  }
  if (r >= 0) form.scroll_to_row(app::kOrderList, 0);
  form.process_events();
}

// The final response's status is 2xx (an unknown status counts as fine: an
// oversized header block is not handed back).
bool answered_ok(const web::Text& head) {
  const web::TextArray words =
      web::split_text(web::left_text(head, web::find_text(head, "\r\n")), " ");
  if (words.size() < 2) return true;
  const long long status = web::to_integer(words[1]);
  return status >= 200 && status < 300;
}

// "14:02"
web::Text clock_now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[8];
  std::strftime(text, sizeof text, "%H:%M", &local);
  return text;
}

void fetch_list(app::Context& ctx, const ListFetch& fetch) {
  app::Form& form = ctx.form;
  if (fetch.first_message) form.speak(gbk(fetch.first_message));
  std::optional<app::TableLock::Hold> hold;
  if (fetch.ui_thread) {
    hold.emplace(ctx.table->lock, form, app::TableLock::ui_patience());
    if (!hold->owns()) return app::tell_table_busy(form);
  } else {
    hold.emplace(ctx.table->lock, form);
  }
  const web::Text name = list_name(fetch.list);
  form.show_status(gbk("正在获取") + name + gbk("订单……"));
  bool complete = true;
  web::Text failure;
  const std::optional<std::vector<app::OrderRow>> answer =
      request_order_list(ctx, fetch.list, &complete, &failure);
  if (!answer) {
    // The rows stay: an empty table would read as "no orders".
    const web::Text said = failure + gbk("，") + name + gbk("订单列表未更新");
    form.append_log(said + "\r\n");
    form.show_failure(said);
    if (fetch.count_message) form.speak(said);
    return;
  }
  const std::vector<app::OrderRow>& rows = *answer;
  form.clear_rows(app::kOrderList);
  forget_shown_list(ctx);
  if (fetch.count_message)
    form.speak(gbk("一共获取到") + std::to_string(rows.size()) + gbk("笔订单数据"));
  if (fetch.progress) form.set_progress(1);
  append_rows(form, rows, fetch.progress);
  form.set_enabled("按钮6", true);
  record_shown_list(ctx, fetch.list);
  note_listed_orders(ctx, rows);  // what is listed is no news for the reminder
  if (fetch.list == kToShipList) form.show_to_ship_count(static_cast<int>(rows.size()));
  form.show_status(name + gbk("：") + std::to_string(rows.size()) + gbk("笔，") + clock_now() +
                   gbk(" 更新"));
  if (!complete) app::tell_page_incomplete(form, gbk("订单列表"));
}

}  // namespace

web::Text list_name(std::string_view list) {
  if (list == kUnpaidList) return gbk("待付款");
  if (list == kToShipList) return gbk("待发货");
  if (list == kToReceiveList) return gbk("待收货");
  return gbk("总订单");
}

std::optional<std::vector<app::OrderRow>> request_order_list(app::Context& ctx,
                                                             std::string_view list,
                                                             bool* complete,
                                                             web::Text* failure) {
  web::Text ignored;
  web::Text& why = failure ? *failure : ignored;
  web::Bytes body;
  web::Text head;
  web::HttpOutcome outcome;
  std::uint64_t sent_with = 0;
  auto ask = [&] {
    head.clear();
    ctx.form.wait([&] {
      auto out = ctx.session_gate.request();
      sent_with = ctx.csrf_token.version();
      body = web::http_request(ctx.backoffice_url(list), 0, {}, nullptr, nullptr, nullptr, &head,
                               false, nullptr, {}, &outcome, ctx.http);
    });
  };
  ask();
  if (complete) *complete = true;
  if (outcome.status == 0 && body.empty()) {
    show_session_state(ctx, SessionState::Unreachable);
    why = web::failure_of(body, outcome);
    return std::nullopt;
  }
  // The session has expired: renewed once, quietly, and asked again.
  if (answered_ok(head) && ctx.renew_if_expired &&
      ctx.renew_if_expired(web::page_text(body), sent_with))
    ask();
  const web::Text page = web::page_text(body);
  if (answered_ok(head) && is_login_form(page)) {
    show_session_state(ctx, SessionState::Expired);
    why = gbk("登录已过期");
    return std::nullopt;
  }
  // Every list is an HTML page: anything else is no list, not a list without orders.
  if (why = web::failure_of(body, outcome); !why.empty()) {
    show_failure_in_title(ctx, why + gbk("，") + list_name(list) + gbk("订单列表未更新"));
    return std::nullopt;
  }
  show_failure_in_title(ctx, {});  // a list came: whatever the title said is over
  web::PatternMatcher matcher;
  std::vector<app::OrderRow> rows = order_rows_of(page, matcher);
  if (rows.empty() && !is_order_list_page(page)) {
    why = gbk("后台返回的页面不是订单列表");
    show_failure_in_title(ctx, why + gbk("，") + list_name(list) + gbk("订单列表未更新"));
    return std::nullopt;
  }
  if (complete) *complete = outcome.complete && !matcher.cut_short();
  app::archive_listed_orders(ctx, rows);
  return rows;
}

void fetch_unpaid_orders(app::Context& ctx) {
  fetch_list(ctx, {kUnpaidList, "正在获取未付款订单，请等待...", true, false, false});
}

void fetch_orders_to_ship(app::Context& ctx) {
  fetch_list(ctx, {kToShipList, nullptr, false, false, false});
}

void fetch_orders_to_receive(app::Context& ctx) {
  fetch_list(ctx, {kToReceiveList, "正在获取待收货订单，请等待...", true, false, false});
}

void fetch_all_orders(app::Context& ctx) {
  fetch_list(ctx, {kAllList, "正在获取总订单，请等待...", true, true, true});
}

}  // namespace backoffice
