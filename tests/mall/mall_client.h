#pragma once
// Helpers for driving the stand-in mall with the program's own HTTP routine
// and text helpers, the way the operations do.
//
// Usage: MallClient c(mall);  c.login();  web::Text page = c.get("/order/list");

#include <string>

#include "mall/stand_in_mall.h"
#include "web/http.h"
#include "web/pattern_matcher.h"
#include "web/text.h"

namespace malltest {

using web::gbk;
using web::Text;

// The markers of the login page and the dashboard, as system text.
inline Text token_left() {
  return gbk("csrf-token\" content=\"");
}
inline Text token_right() {
  return gbk("\">\n    <title>商户");
}

inline const Text& row_pattern() {
  static const Text p =
      gbk("<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>"
          "[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>\n"
          "[\\s\\S]+?<a href=\"/order/edit\\?id=(.*?)\"");
  return p;
}

inline const Text& detail_pattern() {
  static const Text p = gbk(
      "<tbody>[\\s\\S]+?<tr>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>包装方式:"
      "(.*?)</td>\n[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?</tr>[\\s\\S]+?</"
      "tbody>[\\s\\S]+?</table>[\\s\\S]+? </div>[\\s\\S]+?</div>\n[\\s\\S]+?<div "
      "class=\"box\">[\\s\\S]+? <div class=\"box-body\">订单总价：(.*?)</div>[\\s\\S]+?</"
      "div>[\\s\\S]+?<div class=\"box\">\n[\\s\\S]+?<div class=\"box-body\">支付方式：(.*?)</"
      "div>[\\s\\S]+? </div>[\\s\\S]+?<div class=\"box\">\n[\\s\\S]+?<div "
      "class=\"box-body\">取件方式：(.*?)</div>[\\s\\S]+?</div>[\\s\\S]+? <div "
      "class=\"box\">[\\s\\S]+?<div class=\"box-body\">物流信息</div>[\\s\\S]+?<div "
      "class=\"box-body\">[\\s\\S]+?<table>[\\s\\S]+?<tr>[\\s\\S]+?<td>买家留言：</"
      "td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?</tr>[\\s\\S]+?<tr>[\\s\\S]+?<td>收 货 人：</"
      "td>[\\s\\S]+?<td>(.*?)</td>\n[\\s\\S]+?</tr>[\\s\\S]+?<tr>[\\s\\S]+?<td>联系电话：</"
      "td>[\\s\\S]+?<td>(.*?)</td>[\\s\\S]+?</tr>[\\s\\S]+?<tr>[\\s\\S]+?<td>地址：</td>[\\s\\S]+? "
      "<td>(.*?)</td>\n[\\s\\S]+?</tr>\n[\\s\\S]+?<tr>[\\s\\S]+?<td>物流单号：</"
      "td>[\\s\\S]+?<td>(.*?)</"
      "td>");
  return p;
}

inline const Text& withdrawal_pattern() {
  static const Text p =
      gbk("<td>(.*?)</td>[\\S\\s]+?<td>(.*?)</td>[\\S\\s]+?<td>(.*?)</td>[\\S\\s]+?<td>(.*?)</"
          "td>[\\S\\s]+?<td>");
  return p;
}

class MallClient {
 public:
  explicit MallClient(const mall::StandInMall& mall) : m_mall(mall) {}

  Text url(const std::string& path) const { return "http://" + m_mall.backoffice_host() + path; }
  web::Bytes get_bytes(const std::string& path) const { return web::http_request(url(path)); }
  Text get(const std::string& path) const { return web::page_text(get_bytes(path)); }

  // GET the login form, then post the account (system text) with the token found on it;
  // returns the page the post ends on. `token` receives the token used.
  Text login(const std::string& account, const std::string& password, Text* token = nullptr) {
    const Text form = get("/site/login");
    m_token = web::text_between(form, token_left(), token_right());
    if (token) *token = m_token;
    const Text body = "_csrf-business=" + web::form_encode(m_token) +
                      "&BusinessLoginFrom[username]=" + web::form_encode(account) +
                      "&BusinessLoginFrom[password]=" + web::form_encode(password) +
                      "&login-button=&login-button=";
    return web::page_text(web::http_request(url("/site/login"), 1, body));
  }
  Text login() { return login(gbk(m_mall.options().account), gbk(m_mall.options().password)); }

  // POST /order/send with `token` in the X-CSRF-Token header; the reply as text.
  Text ship(const std::string& order_id, const std::string& tracking, const Text& token,
            const std::string& address_id, const std::string& courier = "huitong") const {
    const Text body =
        "deliver_explain=&address=&shipping_express_name=" + web::form_encode(courier) +
        "&shipping_code=" + web::form_encode(tracking) +
        "&from_address_id=" + web::form_encode(address_id) +
        "&order_id=" + web::form_encode(order_id);
    Text headers = "X-CSRF-Token: " + token;
    return web::page_text(
        web::http_request(url("/order/send"), 1, body, nullptr, nullptr, &headers));
  }

  const Text& token() const { return m_token; }

 private:
  const mall::StandInMall& m_mall;
  Text m_token;
};

// Number of matches of `pattern` in `page` (case-sensitive as the list fetches run it).
inline int count_matches(const Text& pattern, const Text& page, bool case_sensitive = true) {
  web::PatternMatcher m;
  m.run(pattern, page, case_sensitive);
  return m.match_count();
}

}  // namespace malltest
