#pragma once
// The back-office session as the merchant sees it: the window title says
// when the program is not logged in, the session has expired or the back
// office cannot be reached ("未登录", "登录已过期", "无法连接后台"), and the
// dashboard figures are greyed meanwhile, until the next successful login.
// An expired session is renewed once, quietly, before anyone is told.
//
// Usage: install_session_hooks(ctx);            // once, where the context is made
//        if (is_login_form(page) && !renew_session(ctx)) ...;

#include <chrono>

#include "core/context.h"

namespace backoffice {

enum class SessionState { LoggedIn, NotLoggedIn, Expired, Unreachable };

void show_session_state(app::Context& ctx, SessionState state);
// A failed request in the title, where the session state is shown ("后台返回
// 500，待发货订单列表未更新"), unless that says the session is gone; the
// empty text: all is well again (logged in).
void show_failure_in_title(app::Context& ctx, const web::Text& what);

// A page that is the login form: the session it was asked with is gone.
bool is_login_form(const web::Text& page);

// Logs in again with 编辑框1 and 编辑框2, saying nothing, and keeps the new
// CSRF token. On failure the title says the session has expired (or that the
// back office cannot be reached).
bool renew_session(app::Context& ctx);

// Reads the dashboard page again and fills the figures (after a batch).
void refresh_dashboard(app::Context& ctx);

// After a quiet login that failed, how long the same session is not tried again.
inline constexpr std::chrono::seconds kRenewalPause{30};

// Sets ctx.renew_if_expired (is_login_form, then renew_session; one login for
// all the requests that came back with the form at once, none for
// kRenewalPause after a failed one), ctx.after_batch (refresh_dashboard) and
// ctx.tracking_no_on_page (request_order_detail).
void install_session_hooks(app::Context& ctx);

}  // namespace backoffice
