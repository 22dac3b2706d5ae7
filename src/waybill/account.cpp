#include "waybill/account.h"

#include <utility>

#include "web/http.h"
#include "web/text.h"

namespace waybill {

namespace {

constexpr const char* kSection = "waybill";

std::string read(const app::Settings& settings, const char* key) {
  return web::gbk_to_utf8(web::trim_spaces(settings.read_setting(key, kSection)));
}

// A secret missing from the file, from the keeper when there is one.
void from_keeper(const app::Settings& settings, std::string& secret, const std::string& owner,
                 const char* key) {
  app::PasswordKeeper* keeper = settings.password_keeper();
  if (!secret.empty() || owner.empty() || !keeper) return;
  if (auto kept = keeper->read(web::utf8_to_gbk(owner), std::string("waybill/") + key))
    secret = web::gbk_to_utf8(*kept);
}

std::string lower_ascii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

Account read_account(const app::Settings& settings) {
  Account a;
  a.provider = lower_ascii(read(settings, "provider"));
  if (a.provider == "快递100") a.provider = "kuaidi100";
  if (a.provider == "快递鸟") a.provider = "kdniao";
  a.endpoint = read(settings, "endpoint");
  a.courier = read(settings, "courier");
  a.key = read(settings, "key");
  a.secret = read(settings, "secret");
  a.partner_id = read(settings, "partner_id");
  a.partner_key = read(settings, "partner_key");
  a.partner_secret = read(settings, "partner_secret");
  a.net = read(settings, "net");
  a.temp_id = read(settings, "temp_id");
  a.ebusiness_id = read(settings, "ebusiness_id");
  a.app_key = read(settings, "app_key");
  a.customer_name = read(settings, "customer_name");
  a.customer_pwd = read(settings, "customer_pwd");
  a.month_code = read(settings, "month_code");
  a.send_site = read(settings, "send_site");
  a.pay_type = settings.read_number("pay_type", kSection, 3, 1, 4);
  from_keeper(settings, a.secret, a.key, "secret");
  from_keeper(settings, a.partner_secret, a.partner_id, "partner_secret");
  from_keeper(settings, a.app_key, a.ebusiness_id, "app_key");
  from_keeper(settings, a.customer_pwd, a.customer_name, "customer_pwd");
  return a;
}

Post http_post(app::Context* ctx) {
  return [ctx](const std::string& url, const std::string& form_body) {
    web::HttpOutcome outcome;
    web::Text headers = "Content-Type: application/x-www-form-urlencoded; charset=UTF-8";
    web::Text no_cookies;  // the provider is no back office: none of its cookies go there
    web::Bytes body;
    auto send = [&] {
      body = web::http_request(web::utf8_to_gbk(url), 1, form_body, &no_cookies, nullptr, &headers,
                               nullptr, false, nullptr, {}, &outcome);
    };
    if (ctx)
      ctx->form.wait(send);
    else
      send();
    HttpAnswer answer;
    answer.status = outcome.complete ? static_cast<int>(outcome.status) : 0;
    answer.body = std::move(body);
    return answer;
  };
}

}  // namespace waybill
