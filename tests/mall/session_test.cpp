// A whole back-office session against the stand-in mall, driven with the
// program's own HTTP routine, text helpers and pattern matcher.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>

#include "mall_client.h"

namespace {

using malltest::count_matches;
using malltest::MallClient;
using web::gbk;
using web::Text;

class MallSession : public ::testing::Test {
 protected:
  void SetUp() override { web::clear_http_cookies(); }
  void TearDown() override { web::clear_http_cookies(); }

  int count_state(int state) const {
    const auto orders = mall.orders();
    return static_cast<int>(std::count_if(orders.begin(), orders.end(),
                                          [&](const mall::Order& o) { return o.state == state; }));
  }

  mall::StandInMall mall;
  MallClient client{mall};
};

Text between(const Text& page, const char* left, const char* right) {
  return web::text_between(page, gbk(left), gbk(right));
}

TEST_F(MallSession, LoginShowsDashboardWithTrueCountsLogoAndStoreName) {
  Text token;
  const Text page = client.login("demo", "demo123", &token);
  EXPECT_EQ(token.size(), 32u);
  ASSERT_NE(web::find_text(page, gbk("欢迎来到蔚禾商城!")), -1);

  EXPECT_EQ(between(page, "<h3>", "</h3>\n                        <p>待付款</p>"),
            std::to_string(count_state(10)));
  EXPECT_EQ(between(page,
                    "<div class=\"small-box bg-green\">\n                    <div "
                    "class=\"inner\">\n                        <h3>",
                    "</h3>\n                        <p>待发货</p>"),
            std::to_string(count_state(20)));
  EXPECT_EQ(between(page,
                    "yellow\">\n                    <div class=\"inner\">\n                        "
                    "<h3>",
                    "</h3>\n                        <p>待收货</p>\n"),
            std::to_string(count_state(30)));
  EXPECT_EQ(between(page,
                    "<div class=\"small-box bg-red\">\n                    <div "
                    "class=\"inner\">\n                        <h3>",
                    "</h3>\n                        <p>总订单</p>"),
            "36");
  // The seed gives the three states different counts, so a swapped box shows.
  EXPECT_NE(count_state(10), count_state(20));
  EXPECT_NE(count_state(20), count_state(30));

  const std::string pad(28, ' ');
  EXPECT_EQ(
      web::text_between(page, gbk("badge bg-green\">"),
                        gbk("</span>\n" + pad + "<i class=\"fa fa-barcode\"></i> 销售中商品")),
      "28");
  EXPECT_EQ(web::text_between(page, gbk("lass=\"badge bg-red\">"),
                              gbk("</span>\n" + pad + "<i class=\"fa fa-download\"></i> 违规下架")),
            "1");
  EXPECT_EQ(web::text_between(page, gbk("=\"badge bg-purple\">"),
                              gbk("</span>\n" + pad + "<i class=\"fa fa-sellsy\"></i> 待审待")),
            "3");
  EXPECT_EQ(
      web::text_between(page, gbk("an class=\"badge bg-aqua\">"),
                        gbk("</span>\n" + pad + "<i class=\"fa  fa-home\"></i> 仓库中商品\n")),
      "6");
  EXPECT_EQ(between(page, "ref=\"#\" target=\"_blank\">", "</a></dd>"), gbk("蔚禾优选旗舰店"));

  const Text logo_path =
      between(page, "<dd class=\"store-logo\"><p><img src=\"", "\"></p><a href=\"business_av");
  ASSERT_FALSE(logo_path.empty());
  const web::Bytes png = web::http_request("http://" + mall.image_host() + "/" + logo_path);
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  QImage image;
  ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(png.data()),
                                 static_cast<int>(png.size()), "PNG"));
  EXPECT_EQ(image.size(), QSize(56, 56));
  EXPECT_NE(image.pixel(28, 28), image.pixel(0, 0));  // a picture, not a blank square

  // The image host's root, which an empty logo path asks for, is not a picture.
  EXPECT_FALSE(QImage::fromData(QByteArray::fromStdString(
                                    web::http_request("http://" + mall.image_host() + "/")))
                   .width() > 0);
}

// As a real back office: the login page starts a session whose cookie holds
// "%" and whose token is bound to it, so a client that loses its cookies
// between the form and the post cannot log in; amounts carry "¥"; about a
// third of orders have a second goods row; the list ends in a pager.
TEST_F(MallSession, BehavesLikeARealBackOffice) {
  Text headers;
  web::http_request(client.url("/site/login"), 0, {}, nullptr, nullptr, nullptr, &headers);
  const Text cookie = web::text_between(headers, "advanced-business=", ";");
  EXPECT_NE(cookie.find('%'), std::string::npos) << cookie;

  Text token;
  web::clear_http_cookies();
  const Text form = client.get("/site/login");
  token = web::text_between(form, malltest::token_left(), malltest::token_right());
  web::clear_http_cookies();  // the cookies are lost before the post
  const Text body = "_csrf-business=" + web::form_encode(token) +
                    "&BusinessLoginFrom[username]=demo&BusinessLoginFrom[password]=demo123";
  const Text refused = web::page_text(web::http_request(client.url("/site/login"), 1, body));
  EXPECT_EQ(web::find_text(refused, gbk("欢迎来到蔚禾商城!")), -1);
  EXPECT_NE(web::find_text(client.login(), gbk("欢迎来到蔚禾商城!")), -1);

  const auto orders = mall.orders();
  const auto two_rows = std::count_if(orders.begin(), orders.end(),
                                      [](const mall::Order& o) { return !o.more_goods.empty(); });
  EXPECT_GE(two_rows * 4, static_cast<long>(orders.size()));
  EXPECT_LE(two_rows * 2, static_cast<long>(orders.size()));
  for (const auto& o : orders) EXPECT_TRUE(o.total.starts_with("\u00A5")) << o.total;
  const Text list = client.get("/order/list");
  EXPECT_NE(web::find_text(list, "<td><a href=\"/order/list?page=2\">2</a></td>"), -1);
  EXPECT_EQ(count_matches(malltest::row_pattern(), list), static_cast<int>(orders.size()));
}

TEST_F(MallSession, WrongPasswordOrTokenGivesTheLoginFormAgain) {
  Text page = client.login("demo", "wrong");
  EXPECT_EQ(web::find_text(page, gbk("欢迎来到蔚禾商城!")), -1);
  EXPECT_FALSE(web::text_between(page, malltest::token_left(), malltest::token_right()).empty());

  page = client.login("", "");
  EXPECT_EQ(web::find_text(page, gbk("欢迎来到蔚禾商城!")), -1);

  // A token the mall never issued is refused even with the right account.
  const Text body =
      "_csrf-business=forged&BusinessLoginFrom[username]=demo&BusinessLoginFrom[password]=demo123"
      "&login-button=&login-button=";
  page = web::page_text(web::http_request(client.url("/site/login"), 1, body));
  EXPECT_EQ(web::find_text(page, gbk("欢迎来到蔚禾商城!")), -1);
  // And nothing behind the login is reachable after these attempts.
  EXPECT_EQ(count_matches(malltest::row_pattern(), client.get("/order/list")), 0);
}

TEST(MallLogin, FormValuesArePercentDecoded) {
  web::clear_http_cookies();
  mall::Options options;
  options.account = "店长 01";
  options.password = "p&ss%w=rd+1";
  mall::StandInMall mall(options);
  MallClient client(mall);
  const Text page = client.login();
  EXPECT_NE(web::find_text(page, gbk("欢迎来到蔚禾商城!")), -1);
  web::clear_http_cookies();
}

TEST_F(MallSession, ListsHoldOneMatchingRowPerOrderOfTheirState) {
  client.login();
  for (int state : {10, 20, 30}) {
    SCOPED_TRACE(state);
    const Text page = client.get("/order/list?order_state=" + std::to_string(state));
    web::PatternMatcher m;
    m.run(malltest::row_pattern(), page, true);
    ASSERT_EQ(m.match_count(), count_state(state));
    std::vector<std::string> ids;
    for (const auto& o : mall.orders()) {
      if (o.state == state) ids.push_back(o.id);
    }
    for (int j = 1; j <= m.match_count(); ++j) {
      const mall::Order o = mall.order(m.submatch(j, 8));
      EXPECT_EQ(o.id, ids[j - 1]);
      EXPECT_EQ(web::gbk_to_utf8(m.submatch(j, 1)), o.order_no);
      EXPECT_EQ(web::gbk_to_utf8(m.submatch(j, 2)), o.member);
      EXPECT_EQ(web::gbk_to_utf8(m.submatch(j, 4)), o.total);
      EXPECT_EQ(web::gbk_to_utf8(m.submatch(j, 6)), o.pay_time);
    }
  }

  // All orders, with the emoji name and the cell holding markup intact.
  const Text all = client.get("/order/list");
  web::PatternMatcher m;
  m.run(malltest::row_pattern(), all, true);
  ASSERT_EQ(m.match_count(), 36);
  bool emoji = false, markup = false;
  for (int j = 1; j <= m.match_count(); ++j) {
    const std::string member = web::gbk_to_utf8(m.submatch(j, 2));
    emoji |= member == "🍀小花";
    markup |= member == "<span class=\"vip\">VIP</span>郑洁";
  }
  EXPECT_TRUE(emoji);
  EXPECT_TRUE(markup);

  EXPECT_EQ(count_matches(malltest::row_pattern(), client.get("/order/list?order_state=99")), 0);
}

TEST_F(MallSession, LoggedOutRequestsAreSentToTheLoginPage) {
  const Text page = client.get("/order/list?order_state=20");
  EXPECT_EQ(count_matches(malltest::row_pattern(), page), 0);
  EXPECT_FALSE(web::text_between(page, malltest::token_left(), malltest::token_right()).empty());
  const auto seen = mall.requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].target, "/order/list?order_state=20");
  EXPECT_EQ(seen[1].target, "/site/login");

  client.login();
  EXPECT_EQ(count_matches(malltest::row_pattern(), client.get("/order/list?order_state=20")),
            count_state(20));
  mall.expire_sessions();
  EXPECT_EQ(count_matches(malltest::row_pattern(), client.get("/order/list?order_state=20")), 0);
}

TEST_F(MallSession, DetailPagesMatchTheDetailPatternWithEveryField) {
  client.login();
  bool percent_message = false;
  for (const mall::Order& o : mall.orders()) {
    SCOPED_TRACE(o.id);
    web::PatternMatcher m;
    m.run(malltest::detail_pattern(), client.get("/order/edit?id=" + o.id), false);
    ASSERT_EQ(m.match_count(), 1);
    const std::string expected[] = {o.goods,      o.quantity,  o.packaging,  o.unit_price,
                                    o.line_total, o.paid,      o.pay_method, o.pickup_method,
                                    o.message,    o.consignee, o.phone,      o.address,
                                    o.tracking_no};
    for (int g = 1; g <= 13; ++g) EXPECT_EQ(web::gbk_to_utf8(m.submatch(1, g)), expected[g - 1]);
    percent_message |= o.message == "100%好评";
  }
  EXPECT_TRUE(percent_message) << "the seed should hold a buyer message with a literal %";

  for (const char* id : {"", "999999", "1001%27", "abc"}) {
    EXPECT_EQ(count_matches(malltest::detail_pattern(),
                            client.get(std::string("/order/edit?id=") + id), false),
              0);
  }
}

TEST_F(MallSession, ShippingNeedsSessionTokenAndAShippableOrder) {
  client.login();
  // The first delete link of the address page names the sender address.
  const Text addresses =
      web::utf8_to_gbk(web::bytes_to_text(client.get_bytes("/user-address/list")));
  const Text address_id = web::text_between(addresses, "<a data-url=\"/user-address/del?id=", "\"");
  ASSERT_EQ(address_id, mall.sender_address_id());

  std::string to_ship, unpaid, done;
  for (const auto& o : mall.orders()) {
    if (o.state == 20 && to_ship.empty()) to_ship = o.id;
    if (o.state == 10 && unpaid.empty()) unpaid = o.id;
    if (o.state == 40 && done.empty()) done = o.id;
  }
  const Text ok = gbk("操作成功");

  // Without the right token nothing changes.
  EXPECT_EQ(web::find_text(client.ship(to_ship, "700123", "not-the-token", address_id), ok), -1);
  EXPECT_EQ(web::find_text(client.ship(to_ship, "700123", "", address_id), ok), -1);
  EXPECT_EQ(mall.order(to_ship).state, 20);

  // Failures name their reason.
  EXPECT_NE(
      web::find_text(client.ship(to_ship, "", client.token(), address_id), gbk("快递单号不能为空")),
      -1);
  EXPECT_NE(web::find_text(client.ship("424242", "700123", client.token(), address_id),
                           gbk("订单不存在")),
            -1);
  EXPECT_NE(
      web::find_text(client.ship(unpaid, "700123", client.token(), address_id), gbk("未付款")), -1);
  EXPECT_NE(web::find_text(client.ship(done, "700123", client.token(), address_id), gbk("已发货")),
            -1);
  EXPECT_EQ(web::find_text(client.ship(to_ship, "700123", client.token(), "999"), ok), -1);
  EXPECT_EQ(mall.order(to_ship).state, 20);

  // The good request, recorded byte for byte.
  mall.clear_requests();
  EXPECT_NE(web::find_text(client.ship(to_ship, "700123", client.token(), address_id), ok), -1);
  EXPECT_EQ(mall.order(to_ship).state, 30);
  EXPECT_EQ(mall.order(to_ship).tracking_no, "700123");
  const auto seen = mall.requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].body,
            "deliver_explain=&address=&shipping_express_name=huitong&shipping_code="
            "700123&from_address_id=" +
                address_id + "&order_id=" + to_ship);
  auto token = seen[0].headers.find("X-CSRF-Token");
  ASSERT_NE(token, seen[0].headers.end());
  EXPECT_EQ(token->second, client.token());

  // Shipping twice is refused; a tracking number cannot smuggle another order id.
  EXPECT_NE(
      web::find_text(client.ship(to_ship, "700123", client.token(), address_id), gbk("已发货")),
      -1);
  std::string other;
  for (const auto& o : mall.orders()) {
    if (o.state == 20) other = o.id;
  }
  client.ship(done, "1&order_id=" + other, client.token(), address_id);
  EXPECT_EQ(mall.order(other).state, 20);

  // The detail page now shows the tracking number.
  web::PatternMatcher m;
  m.run(malltest::detail_pattern(), client.get("/order/edit?id=" + to_ship), false);
  ASSERT_EQ(m.match_count(), 1);
  EXPECT_EQ(m.submatch(1, 13), "700123");
}

TEST_F(MallSession, ShippingWhileLoggedOutFails) {
  MallClient other(mall);
  EXPECT_EQ(web::find_text(other.ship(mall.orders()[0].id, "700123", "", mall.sender_address_id()),
                           gbk("操作成功")),
            -1);
  EXPECT_EQ(mall.orders()[0].state, 20);
}

TEST_F(MallSession, WithdrawalPagesCarryAmountAndPaidRows) {
  client.login();
  const Text form = client.get("/withdraw-cash/add");
  const Text left =
      gbk("可提现金额</label>\n" + std::string(24, ' ') + "<input type=\"text\" value=\"");
  ASSERT_EQ(left.size(), 69u);
  EXPECT_EQ(web::text_between(form, left, "\" class=\"form-control\">"),
            mall.withdrawable_amount());

  web::PatternMatcher m;
  m.run(malltest::withdrawal_pattern(), client.get("/withdraw-cash/list?state=1"), false);
  const auto paid = mall.paid_withdrawals();
  ASSERT_EQ(m.match_count(), static_cast<int>(paid.size()));
  for (int j = 1; j <= m.match_count(); ++j) {
    EXPECT_EQ(m.submatch(j, 1), paid[j - 1].number);
    EXPECT_EQ(m.submatch(j, 2), paid[j - 1].amount);
    EXPECT_EQ(m.submatch(j, 3), paid[j - 1].time);
    EXPECT_EQ(web::gbk_to_utf8(m.submatch(j, 4)), paid[j - 1].operator_name);
  }
}

TEST_F(MallSession, TrackingAnswersStepsForTheRightKeyOnly) {
  auto query = [&](const std::string& key, const std::string& com, const std::string& nu,
                   const std::string& order = "desc") {
    return web::page_text(web::http_request("http://" + mall.tracking_host() + "/api?id=" + key +
                                            "&com=" + com + "&nu=" + nu +
                                            "&valicode=&show=3&muti=1&order=" + order));
  };
  const Text reply = query("demo-key", "yunda", "9876");
  const auto lines = web::split_text(reply, "\r\n");
  ASSERT_GE(lines.size(), 4u);
  EXPECT_NE(web::find_text(lines[0], gbk("韵达快运")), -1);
  EXPECT_NE(web::find_text(lines[0], "9876"), -1);
  EXPECT_GT(lines[1], lines[2]);  // newest first: the time stamps lead each line
  EXPECT_EQ(query("demo-key", "yunda", "9876"), reply);  // deterministic

  const auto ascending = web::split_text(query("demo-key", "yunda", "9876", "asc"), "\r\n");
  ASSERT_EQ(ascending.size(), lines.size());
  EXPECT_EQ(ascending[1], lines.back());

  for (const Text& bad : {query("wrong", "yunda", "9876"), query("demo-key", "nosuch", "9876"),
                          query("demo-key", "yunda", "")}) {
    EXPECT_EQ(web::find_text(bad, gbk("查询失败")), 1);
    EXPECT_EQ(web::find_text(bad, "\r\n"), -1);
  }
}

TEST_F(MallSession, NewOrdersShowInCountsAndLists) {
  client.login();
  const int before = count_state(20);
  const std::string id = mall.add_order(20);
  EXPECT_EQ(mall.order(id).state, 20);
  const Text page = client.get("/site/index");
  EXPECT_EQ(between(page,
                    "<div class=\"small-box bg-green\">\n                    <div "
                    "class=\"inner\">\n                        <h3>",
                    "</h3>\n                        <p>待发货</p>"),
            std::to_string(before + 1));

  mall.add_orders(2000, 20);
  EXPECT_EQ(count_matches(malltest::row_pattern(), client.get("/order/list?order_state=20")),
            before + 2001);
  mall.clear_orders();
  EXPECT_EQ(count_matches(malltest::row_pattern(), client.get("/order/list")), 0);
  EXPECT_TRUE(mall.order(id).id.empty());
}

}  // namespace
