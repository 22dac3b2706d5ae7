// Several shops: the settings that keep them, a session each (cookies never
// cross), and back offices reached over TLS with the certificate verified.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>

#include "backoffice/order_lists.h"
#include "backoffice/session.h"
#include "core/shops.h"
#include "mall_fixture.h"
#include "support/temp_dir.h"
#include "support/tls_front.h"

namespace {

using backoffice_tests::MallTest;
using web::gbk;
using web::Text;

TEST(ShopSettings, AnOldFileIsOneShopAndFurtherShopsAreSectionsOfTheirOwn) {
  testing_support::TempDir dir;
  app::Settings settings(dir.path() / "配置文件.ini");
  settings.write_setting(gbk("账号"), "demo");
  settings.write_setting("backoffice", "shop-a.example:8080", "hosts");
  auto shops = app::read_shops(settings);
  ASSERT_EQ(shops.size(), 1u);
  EXPECT_TRUE(shops[0].first);
  EXPECT_EQ(shops[0].label, gbk("店铺1"));
  EXPECT_EQ(shops[0].hosts.backoffice, "shop-a.example:8080");
  EXPECT_EQ(shops[0].account, "demo");

  Text error;
  app::Shop b{gbk("店铺B"), {"https://b.example", "", ""}, "bob", "p&w=1", false};
  ASSERT_TRUE(app::save_shop(settings, b, &error)) << web::gbk_to_utf8(error);
  EXPECT_FALSE(app::save_shop(settings, {gbk("店铺b"), {"c.example", "", ""}, "", "", false}, &error))
      << "a label is taken regardless of case";
  EXPECT_FALSE(app::save_shop(settings, {gbk("全部店铺"), {"c.example", "", ""}, "", "", false}, &error));
  shops = app::read_shops(settings);
  ASSERT_EQ(shops.size(), 2u);
  EXPECT_EQ(shops[1].hosts.backoffice, "https://b.example");
  EXPECT_EQ(shops[1].password, "p&w=1");

  b.label = gbk("旗舰店");  // renamed: the old section goes
  ASSERT_TRUE(app::save_shop(settings, b, &error, gbk("店铺B"))) << web::gbk_to_utf8(error);
  EXPECT_FALSE(app::find_shop(settings, gbk("店铺B")));
  EXPECT_EQ(app::find_shop(settings, gbk("旗舰店"))->account, "bob");
  EXPECT_FALSE(app::remove_shop(settings, gbk("店铺1"), &error));  // the first stays
  ASSERT_TRUE(app::remove_shop(settings, gbk("旗舰店"), &error));
  EXPECT_EQ(app::read_shops(settings).size(), 1u);
  EXPECT_EQ(settings.read_setting(gbk("账号")), "demo");  // the first shop untouched
}

TEST(ShopSettings, HostsAreCheckedAsTyped) {
  for (const char* fine : {"127.0.0.1:18080", "shop.example", "https://shop.example:8443", "HTTPS://a-b.example"})
    EXPECT_EQ(app::host_problem(fine), "") << fine;
  for (const char* bad : {"", "shop.example/admin", "ftp://shop.example", "http://shop.example",
                          "shop.example:0", "shop.example:65536", "shop.example:80a", "shop example",
                          "user@shop.example", "https://"})
    EXPECT_NE(app::host_problem(bad), "") << bad;
}

// Two sessions with one back office: each keeps its own login, and a
// session that never logged in is sent none of theirs.
TEST_F(MallTest, EachShopsSessionKeepsItsOwnCookies) {
  log_in();  // the first shop: the process-wide session
  web::HttpSession second_store;
  testing_support::FakeForm second_form;
  app::Context second{.form = second_form, .settings = settings, .hosts = ctx.hosts};
  second.http = &second_store;
  second_form.set_text("编辑框1", "demo");
  second_form.set_text("编辑框2", "demo123");
  ASSERT_TRUE(backoffice::login(second));

  web::HttpSession never_logged_in;
  app::Context third{.form = second_form, .settings = settings, .hosts = ctx.hosts};
  third.http = &never_logged_in;
  mall.clear_requests();
  backoffice::fetch_orders_to_ship(ctx);
  backoffice::fetch_orders_to_ship(second);
  EXPECT_EQ(form.row_count(app::kOrderList), static_cast<int>(orders_in(20).size()));
  EXPECT_EQ(second_form.row_count(app::kOrderList), static_cast<int>(orders_in(20).size()));
  const auto requests = mall.requests();
  ASSERT_EQ(requests.size(), 2u);
  const auto cookie = [](const mall::RecordedRequest& r) {
    const auto it = r.headers.find("Cookie");
    return it == r.headers.end() ? std::string() : it->second;
  };
  EXPECT_NE(cookie(requests[0]), "");
  EXPECT_NE(cookie(requests[0]), cookie(requests[1]));

  mall.clear_requests();
  const web::Bytes page = web::http_request(third.backoffice_url("/order/list"), 0, {}, nullptr,
                                            nullptr, nullptr, nullptr, false, nullptr, {}, nullptr,
                                            third.http);
  EXPECT_TRUE(backoffice::is_login_form(web::page_text(page)));
  ASSERT_GE(mall.requests().size(), 1u);
  EXPECT_EQ(mall.requests()[0].headers.count("Cookie"), 0u);  // none of the others' cookies
}

// An https:// back office: with its certificate trusted the login goes
// through; without, it is refused plainly and the password never leaves.
TEST_F(MallTest, AnHttpsBackOfficeIsVerifiedAndAnUntrustedOneNeverSeesThePassword) {
  testing_support::TlsFront front(dir, mall.backoffice_host());
  ASSERT_TRUE(front.ok()) << "openssl could not make the test's certificate";
  ctx.hosts.backoffice = front.host();

  log_in();  // the system's store does not know the test's certificate
  EXPECT_FALSE(form.is_enabled("按钮2"));
  EXPECT_NE(web::find_text(form.log, gbk("证书验证不通过")), -1) << web::gbk_to_utf8(form.log);
  for (const auto& r : mall.requests()) EXPECT_NE(r.method, "POST") << r.target;

  ::setenv("SSL_CERT_FILE", front.certificate().c_str(), 1);
  form.log.clear();
  log_in();
  ::unsetenv("SSL_CERT_FILE");
  EXPECT_TRUE(form.is_enabled("按钮2")) << web::gbk_to_utf8(form.log);
  EXPECT_EQ(form.log, gbk("&=======登录成功======*\r\n"));
}

}  // namespace
