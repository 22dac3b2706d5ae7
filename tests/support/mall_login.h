#pragma once
// Test scaffolding for operations that talk to the back office: a stand-in
// mall on loopback, an in-memory window, a settings file in a fresh temporary
// folder and a context wired to all three; cookies start empty. sign_in()
// logs in through the mall's own login form and keeps the CSRF token, as the
// login button does, without going through the login operation.
//
// Usage: class ShippingTest : public testing_support::MallFixture {};
//        TEST_F(ShippingTest, X) { sign_in(); fulfilment::ship_selected_order(ctx); }
//
// Only test programs that link the stand-in mall may include this header.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "core/context.h"
#include "mall/stand_in_mall.h"
#include "support/fake_form.h"
#include "support/temp_dir.h"
#include "web/http.h"
#include "web/text.h"

namespace testing_support {

class MallFixture : public ::testing::Test {
 protected:
  explicit MallFixture(mall::Options options = {}) : mall(std::move(options)) {
    web::clear_http_cookies();
    web::set_http_timeouts({std::chrono::milliseconds(3000), std::chrono::milliseconds(10000)});
  }
  ~MallFixture() override {
    form.join_workers();
    web::clear_http_cookies();
    web::set_http_timeouts({});
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  // Logs in with the mall's own account; fails the test when the mall refuses.
  void sign_in() {
    using web::gbk;
    const web::Text url = ctx.backoffice_url("/site/login");
    const web::Text page = web::page_text(web::http_request(url));
    const web::Text token =
        web::text_between(page, "csrf-token\" content=\"", gbk("\">\n    <title>商户"));
    ASSERT_FALSE(token.empty()) << "the stand-in's login page carries no CSRF token";
    const web::Text body =
        "_csrf-business=" + web::form_encode(token) +
        "&BusinessLoginFrom[username]=" + web::form_encode(gbk(mall.options().account)) +
        "&BusinessLoginFrom[password]=" + web::form_encode(gbk(mall.options().password)) +
        "&login-button=&login-button=";
    const web::Text reply = web::page_text(web::http_request(url, 1, body));
    ASSERT_NE(web::find_text(reply, gbk("欢迎来到蔚禾商城!")), -1)
        << "login to the stand-in failed";
    ctx.csrf_token.set(token);
  }

  std::filesystem::path dir = fresh_temp_dir();
  FakeForm form;
  app::Settings settings{dir / "配置文件.ini"};
  ::mall::StandInMall mall;
  app::Context ctx{.form = form,
                   .settings = settings,
                   .hosts = {mall.backoffice_host(), mall.image_host(), mall.tracking_host()}};
};

}  // namespace testing_support
