#pragma once
// Test scaffolding for operations that talk to the back office: a stand-in
// mall on loopback, an in-memory window, a settings file in a fresh temporary
// folder, and a context wired to all three. login() signs in through the
// mall's own login form and keeps the CSRF token, as the login button does.
//
// Usage: class ShippingTest : public fulfilment_tests::MallSession {};
//        TEST_F(ShippingTest, X) { login(); fulfilment::ship_selected_order(ctx); }

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/context.h"
#include "mall/stand_in_mall.h"
#include "support/fake_form.h"
#include "web/http.h"
#include "web/text.h"

namespace fulfilment_tests {

inline std::filesystem::path make_temp_dir() {
  std::string templ = (std::filesystem::temp_directory_path() / "weihe-fulfilment-XXXXXX").string();
  if (!mkdtemp(templ.data())) return std::filesystem::temp_directory_path();
  return templ;
}

// A context over the given window, settings and hosts; every other member
// starts empty (whatever members the context gains later).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
inline app::Context make_context(app::Form& form, app::Settings& settings, app::Hosts hosts) {
  return app::Context{.form = form, .settings = settings, .hosts = std::move(hosts)};
}
#pragma GCC diagnostic pop

// A request header's value by case-insensitive name; "<absent>" when missing.
inline std::string header(const mall::RecordedRequest& request, const std::string& name) {
  for (auto& [key, value] : request.headers)
    if (web::to_lower(key) == web::to_lower(name)) return value;
  return "<absent>";
}

class MallSession : public ::testing::Test {
 protected:
  MallSession()
      : dir(make_temp_dir()),
        settings(dir / "配置文件.ini"),
        ctx(make_context(form, settings,
                         {mall.backoffice_host(), mall.image_host(), mall.tracking_host()})) {
    web::clear_http_cookies();
    web::set_http_timeouts({std::chrono::milliseconds(3000), std::chrono::milliseconds(10000)});
  }
  ~MallSession() override {
    form.join_workers();
    web::clear_http_cookies();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  void login() {
    using web::gbk;
    const web::Text page = web::page_text(web::http_request(ctx.backoffice_url("/site/login")));
    const web::Text token =
        web::text_between(page, "csrf-token\" content=\"", gbk("\">\n    <title>商户"));
    ASSERT_FALSE(token.empty()) << "the stand-in's login page carries no CSRF token";
    const web::Text body =
        "_csrf-business=" + token + "&BusinessLoginFrom[username]=" + mall.options().account +
        "&BusinessLoginFrom[password]=" + mall.options().password + "&login-button=&login-button=";
    const web::Text reply =
        web::page_text(web::http_request(ctx.backoffice_url("/site/login"), 1, body));
    ASSERT_NE(web::find_text(reply, gbk("欢迎来到蔚禾商城!")), -1)
        << "login to the stand-in failed";
    ctx.csrf_token.set(token);
  }

  // Appends an order row with the given back-office id and tracking number.
  int add_row(const web::Text& id, const web::Text& tracking = {}) {
    app::OrderRow row(app::kOrderColumnCount);
    row[app::kColId] = id;
    row[app::kColTrackingNo] = tracking;
    return form.append_row(app::kOrderList, row);
  }

  mall::StandInMall mall;
  testing_support::FakeForm form;
  std::filesystem::path dir;
  app::Settings settings;
  app::Context ctx;
};

}  // namespace fulfilment_tests
