#include "backoffice/login.h"

#include "core/shops.h"
#include "core/context.h"
#include "backoffice/dashboard.h"
#include "backoffice/session.h"

namespace backoffice {

using web::Bytes;
using web::gbk;
using web::Text;

void show_dashboard(app::Form& form, const Dashboard& d) {
  form.set_text("标签3", d.unpaid_orders);
  form.set_text("标签4", d.orders_to_ship);
  form.set_text("标签5", d.orders_to_receive);
  form.set_text("标签6", d.all_orders);
  form.set_text("标签7", gbk("销售中：") + d.goods_on_sale);
  form.set_text("标签8", gbk("违规下架：") + d.goods_taken_down);
  form.set_text("标签9", gbk("待审核：") + d.goods_in_review);
  form.set_text("标签10", gbk("仓库中：") + d.goods_in_warehouse);
}

namespace {

Text summary_of(app::Form& form, const Text& store_name) {
  return gbk("登录成功！") + store_name + gbk("欢迎您的使用！待付款订单：") + form.text("标签3") +
         gbk("笔！待发货订单：") + form.text("标签4") + gbk("笔！待收货订单：") +
         form.text("标签5") + gbk("笔！总订单：") + form.text("标签6") + gbk("笔！");
}

}  // namespace

bool login(app::Context& ctx) {
  app::Form& form = ctx.form;
  const Text login_url = ctx.backoffice_url("/site/login");

  form.speak(gbk("登录中...请稍后"));
  form.set_progress(10);
  web::HttpOutcome first_answer;
  const Bytes form_page = app::wait_for_request(ctx, login_url, 0, {}, &first_answer);
  Text page = web::page_text(form_page);
  form.set_progress(20);

  ctx.csrf_token.set(csrf_token_of(page));
  const Text body = login_body(ctx.csrf_token.get(), form.text("编辑框1"), form.text("编辑框2"));
  web::HttpOutcome post_answer;
  const Bytes answer = app::wait_for_request(ctx, login_url, 1, body, &post_answer);
  page = web::page_text(answer);
  form.set_progress(50);

  const Bytes logo =
      app::wait_for_request(ctx, web::site_url(ctx.hosts.images, "/" + logo_path_of(page)));
  form.set_picture(logo);
  form.set_picture_mode(1);
  form.set_progress(78);

  const bool logged_in = is_logged_in(page);
  const bool reached = !(form_page.empty() && answer.empty());
  // Only the login form shown again says the password was refused; a failed
  // or unreadable answer is the back office's fault, and said as such.
  Text back_office_fault = web::failure_of(answer, post_answer);
  if (back_office_fault.empty() && !logged_in && !is_login_form(page))
    back_office_fault = gbk("后台的回答既不是首页也不是登录页");
  if (!logged_in) {
    form.append_log(gbk("&=======登录失败======*\r\n"));
    form.show_status(reached ? gbk("登录失败：账号或密码错误") : gbk("登录失败：连接不上后台"));
    if (!first_answer.tls_failure.empty()) {
      // A certificate that does not verify: the password was never sent.
      const Text why = gbk("后台的") + first_answer.tls_failure;
      form.show_status(gbk("登录失败：") + why);
      form.append_log(gbk("=======无法连接蔚禾商城后台：") + why + gbk("======\r\n"));
      form.speak(gbk("哎哟喂！蔚禾商城后台的证书验证不通过，没有登录！呜呜"));
    } else if (!reached) {
      // Nothing came back at all: the back office was not reached, the password is not to blame.
      form.append_log(gbk("=======无法连接蔚禾商城后台，请检查网络======\r\n"));
      form.speak(gbk("哎哟喂！连接不上蔚禾商城后台，请检查网络后再试！呜呜"));
    } else if (!back_office_fault.empty()) {
      const Text said = back_office_fault + gbk("，没有登录");
      form.show_status(gbk("登录失败：") + said);
      form.append_log(gbk("=======蔚禾商城后台出错：") + said + gbk("======\r\n"));
      form.speak(gbk("哎哟喂！蔚禾商城后台出错了，没有登录！呜呜"));
      form.message_box(said);
    } else {
      form.speak(gbk("哎哟喂！你是不是账号密码输入错误啦！呜呜"));
      form.message_box(gbk("登录失败：账号或密码错误"));
    }
  } else {
    form.append_log(gbk("&=======登录成功======*\r\n"));
    form.set_progress(90);
    const Dashboard dashboard = dashboard_of(page);
    show_dashboard(form, dashboard);
    ctx.store_name.set(dashboard.store_name);
    ctx.store_logo.set(logo);
    form.speak(summary_of(form, dashboard.store_name));
    form.show_status(gbk("登录成功：") + dashboard.store_name + gbk("，待发货") + form.text("标签4") +
                     gbk("笔"));
    for (const char* button : {"按钮2", "按钮3", "按钮4", "按钮5"}) form.set_enabled(button, true);
  }

  // Kept only once the back office took them: a mistyped password must not
  // replace the good one that the next start and every cron run use.
  if (logged_in)
    app::save_login(ctx.settings, ctx.settings_section, ctx.hosts.backoffice,
                    form.text("编辑框1"), form.text("编辑框2"));
  form.set_title(gbk("蔚禾商城订单管理系统 V4.0   qq:604918273          欢迎您！  ") +
                 store_name_of(page));
  show_session_state(ctx, logged_in ? SessionState::LoggedIn
                          : reached ? SessionState::NotLoggedIn
                                    : SessionState::Unreachable);
  form.set_progress(100);
  return logged_in;
}

}  // namespace backoffice
