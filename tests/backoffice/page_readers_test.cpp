// The pure readers of back-office pages, on canned pages.
#include <gtest/gtest.h>

#include "app/form.h"
#include "backoffice/dashboard.h"
#include "backoffice/detail_page.h"
#include "backoffice/order_rows.h"
#include "canned_pages.h"

namespace {

using backoffice_tests::canned_page;
using web::gbk;
using web::Text;

TEST(DashboardPage, LoginPageTokenAndBody) {
  const Text page = canned_page("login.html");
  const Text token = backoffice::csrf_token_of(page);
  EXPECT_EQ(token, "Zm9v-YmFy_0K==");
  EXPECT_FALSE(backoffice::is_logged_in(page));

  // Letters and digits: exactly the form as the back office expects it.
  EXPECT_EQ(backoffice::login_body("abc123", "demo", "demo123"),
            "_csrf-business=abc123&BusinessLoginFrom[username]=demo"
            "&BusinessLoginFrom[password]=demo123&login-button=&login-button=");
  // Separators inside values cannot add or cut fields; Chinese travels as UTF-8.
  EXPECT_EQ(backoffice::login_body(token, gbk("蔚禾"), "p&w=1%"),
            "_csrf-business=Zm9v-YmFy_0K%3D%3D&BusinessLoginFrom[username]=%E8%94%9A%E7%A6%BE"
            "&BusinessLoginFrom[password]=p%26w%3D1%25&login-button=&login-button=");
  EXPECT_EQ(backoffice::login_body("", "", ""),
            "_csrf-business=&BusinessLoginFrom[username]=&BusinessLoginFrom[password]="
            "&login-button=&login-button=");
}

TEST(DashboardPage, FiguresLogoAndStoreName) {
  const Text page = canned_page("dashboard.html");
  ASSERT_TRUE(backoffice::is_logged_in(page));
  EXPECT_EQ(backoffice::logo_path_of(page), "logo/store-7.png");
  const backoffice::Dashboard d = backoffice::dashboard_of(page);
  EXPECT_EQ(d.unpaid_orders, "3");
  EXPECT_EQ(d.orders_to_ship, "5");
  EXPECT_EQ(d.orders_to_receive, "7");
  EXPECT_EQ(d.all_orders, "42");
  EXPECT_EQ(d.goods_on_sale, "11");
  EXPECT_EQ(d.goods_taken_down, "1");
  EXPECT_EQ(d.goods_in_review, "2");
  EXPECT_EQ(d.goods_in_warehouse, "9");
  EXPECT_EQ(d.store_name, gbk("蔚禾测试店"));
}

TEST(DashboardPage, MissingMarkersGiveEmptyTexts) {
  for (const Text& page : {Text(), Text("<html>garbage</html>"), canned_page("login.html")}) {
    const backoffice::Dashboard d = backoffice::dashboard_of(page);
    EXPECT_EQ(d.unpaid_orders + d.orders_to_ship + d.orders_to_receive + d.all_orders, "");
    EXPECT_EQ(d.goods_on_sale + d.goods_taken_down + d.goods_in_review + d.goods_in_warehouse, "");
    EXPECT_EQ(d.store_name, "");
    EXPECT_EQ(backoffice::logo_path_of(page), "");
  }
  // The right marker of the warehouse figure ends with a line feed.
  Text page = canned_page("dashboard.html");
  page.erase(page.rfind(gbk("仓库中商品\n")) + gbk("仓库中商品").size());
  EXPECT_EQ(backoffice::dashboard_of(page).goods_in_warehouse, "");
}

TEST(OrderListPage, RowsAsCapturedWithMarkup) {
  web::PatternMatcher matcher;
  const auto rows = backoffice::order_rows_of(canned_page("order_list.html"), matcher);
  ASSERT_EQ(rows.size(), 3u);
  const std::vector<Text> first = {
      "1",      "201701040001", gbk("张三"),           gbk("蔚禾测试店"),
      "128.00", "128.00",       "2017-01-04 10:00:01", gbk("待发货"),
      "1001"};
  EXPECT_EQ(rows[0], first);
  EXPECT_EQ(rows[1][app::kColSerial], "2");
  EXPECT_EQ(rows[1][app::kColMember], gbk("<b>李四</b>"));
  EXPECT_EQ(rows[1][app::kColState], gbk("<span class=\"label\">待发货</span>"));
  EXPECT_EQ(rows[2][app::kColMember], "wang&amp;wu");
  EXPECT_EQ(rows[2][app::kColPayTime], "");
  EXPECT_EQ(rows[2][app::kColId], "1003");
}

TEST(OrderListPage, OtherPagesGiveNoRows) {
  web::PatternMatcher matcher;
  for (const char* name : {"login.html", "dashboard.html", "order_detail.html"})
    EXPECT_TRUE(backoffice::order_rows_of(canned_page(name), matcher).empty()) << name;
  EXPECT_TRUE(backoffice::order_rows_of("", matcher).empty());
  EXPECT_TRUE(backoffice::order_rows_of(Text("\xFF\xFE<td>", 6), matcher).empty());
}

TEST(OrderDetailPage, ThirteenGroups) {
  web::PatternMatcher matcher;
  const auto groups = backoffice::order_detail_of(canned_page("order_detail.html"), matcher);
  ASSERT_TRUE(groups.has_value());
  const std::vector<Text> expected = {gbk("有机大米 5kg"),
                                      "2",
                                      gbk("礼盒装"),
                                      "64.00",
                                      "128.00",
                                      "128.00",
                                      gbk("微信支付"),
                                      gbk("快递配送"),
                                      gbk("请尽快发货，100%好评"),
                                      gbk("张三"),
                                      "13800138000",
                                      gbk("浙江省杭州市西湖区文三路 1 号"),
                                      "SF1234567890"};
  EXPECT_EQ(*groups, expected);
}

TEST(OrderDetailPage, LayoutChangesDoNotMatch) {
  web::PatternMatcher matcher;
  EXPECT_FALSE(backoffice::order_detail_of(canned_page("order_detail_unspaced.html"), matcher));
  EXPECT_FALSE(backoffice::order_detail_of(canned_page("order_list.html"), matcher));
  EXPECT_FALSE(backoffice::order_detail_of("", matcher));
  // The labels are matched regardless of case of the surrounding markup.
  Text upper = canned_page("order_detail.html");
  for (auto pos = upper.find("<td>"); pos != Text::npos; pos = upper.find("<td>", pos))
    upper.replace(pos, 4, "<TD>");
  EXPECT_TRUE(backoffice::order_detail_of(upper, matcher));
}

}  // namespace
