#include "backoffice/session.h"

#include <chrono>
#include <memory>
#include <mutex>

#include "backoffice/dashboard.h"
#include "backoffice/login.h"
#include "backoffice/order_details.h"

namespace backoffice {

using web::gbk;
using web::Text;

namespace {

// What the title carries after the window's own text while the session is not usable.
const Text& state_marker() {
  static const Text marker = gbk("  ——  ");
  return marker;
}

constexpr const char* kFigures[] = {"标签3", "标签4", "标签5", "标签6",
                                    "标签7", "标签8", "标签9", "标签10"};

}  // namespace

void show_session_state(app::Context& ctx, SessionState state) {
  app::Form& form = ctx.form;
  Text title = form.title();
  const auto at = title.find(state_marker());
  if (at != Text::npos) title.erase(at);
  const char* label = state == SessionState::NotLoggedIn ? "未登录"
                      : state == SessionState::Expired   ? "登录已过期"
                      : state == SessionState::Unreachable ? "无法连接后台"
                                                           : nullptr;
  if (label) title += state_marker() + gbk(label);
  form.set_title(title);
  // Greyed, not cleared: the last figures stay readable but do not pass for current.
  for (const char* figure : kFigures) form.set_enabled(figure, label == nullptr);
}

void show_failure_in_title(app::Context& ctx, const Text& what) {
  if (what.empty()) return show_session_state(ctx, SessionState::LoggedIn);
  Text title = ctx.form.title();
  const auto at = title.find(state_marker());
  if (at != Text::npos) {
    // A session that is gone says more than what failed because of it.
    const Text shown = title.substr(at + state_marker().size());
    for (const char* label : {"未登录", "登录已过期"})
      if (shown == gbk(label)) return;
    title.erase(at);
  }
  ctx.form.set_title(title + state_marker() + what);
}

bool is_login_form(const Text& page) {
  return web::find_text(page, "BusinessLoginFrom[username]") != -1;
}

bool renew_session(app::Context& ctx) {
  app::Form& form = ctx.form;
  const Text url = ctx.backoffice_url("/site/login");
  const Text login_page = web::page_text(app::wait_for_request(ctx, url));
  const Text token = csrf_token_of(login_page);
  const Text answer = web::page_text(app::wait_for_request(
      ctx, url, 1, login_body(token, form.text("编辑框1"), form.text("编辑框2"))));
  if (is_logged_in(answer)) {
    ctx.csrf_token.set(token);
    form.append_log(gbk("=======登录已过期，已重新登录======\r\n"));
    show_session_state(ctx, SessionState::LoggedIn);
    return true;
  }
  show_session_state(ctx, login_page.empty() && answer.empty() ? SessionState::Unreachable
                                                              : SessionState::Expired);
  return false;
}

void refresh_dashboard(app::Context& ctx) {
  const Text page = web::page_text(app::wait_for_request(ctx, ctx.backoffice_url("/")));
  if (is_logged_in(page)) show_dashboard(ctx.form, dashboard_of(page));
}

void install_session_hooks(app::Context& ctx) {
  app::Context* c = &ctx;
  // Requests sent side by side may all come back with the login form: one
  // of them logs in again, the others wait for it and take its session. When
  // that login fails, the session is not tried again for a while, so a batch
  // in flight does not log in once per order (and lock the account).
  struct Renewal {
    std::mutex mutex;
    bool failed = false;
    std::uint64_t failed_with = 0;  // the session version whose renewal failed
    std::chrono::steady_clock::time_point failed_at{};
  };
  auto renewal = std::make_shared<Renewal>();
  ctx.renew_if_expired = [c, renewal](const Text& page, std::uint64_t sent_with) {
    if (!is_login_form(page)) return false;
    std::lock_guard lock(renewal->mutex);
    // Logged in again since this request went out (by another one meanwhile).
    if (c->csrf_token.version() != sent_with) return true;
    const auto now = std::chrono::steady_clock::now();
    if (renewal->failed && renewal->failed_with == sent_with &&
        now - renewal->failed_at < kRenewalPause)
      return false;
    // Once every request still out has come back (and set what cookie it was
    // given), the login runs with none beside it.
    auto alone = c->session_gate.login();
    if (renew_session(*c)) return true;
    renewal->failed = true;
    renewal->failed_with = sent_with;
    renewal->failed_at = now;
    return false;
  };
  ctx.after_batch = [c] { refresh_dashboard(*c); };
  ctx.tracking_no_on_page = [c](const Text& order_id) -> std::optional<Text> {
    web::HttpOutcome outcome;
    const auto groups = request_order_detail(*c, order_id, &outcome);
    if (!groups) return std::nullopt;
    return web::trim_spaces(groups->back());  // 物流单号, the last group
  };
}

}  // namespace backoffice
