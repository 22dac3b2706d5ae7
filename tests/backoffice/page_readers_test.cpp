// The pure readers of back-office pages, on canned pages.
#include <gtest/gtest.h>

#include "backoffice/dashboard.h"
#include "backoffice/detail_page.h"
#include "backoffice/goods_table.h"
#include "backoffice/order_rows.h"
#include "canned_pages.h"
#include "mall/pages.h"

namespace {

using backoffice_tests::canned_page;
using web::gbk;
using web::Text;

TEST(DashboardPage, TokenBodyFiguresAndStoreName) {
  const Text login = canned_page("login.html");
  EXPECT_EQ(backoffice::csrf_token_of(login), "Zm9v-YmFy_0K==");
  EXPECT_FALSE(backoffice::is_logged_in(login));
  EXPECT_EQ(backoffice::dashboard_of(login).unpaid_orders, "");

  const Text page = canned_page("dashboard.html");
  ASSERT_TRUE(backoffice::is_logged_in(page));
  EXPECT_EQ(backoffice::logo_path_of(page), "logo/store-7.png");
  const backoffice::Dashboard d = backoffice::dashboard_of(page);
  const std::vector<Text> figures = {d.unpaid_orders,   d.orders_to_ship,    d.orders_to_receive,
                                     d.all_orders,      d.goods_on_sale,     d.goods_taken_down,
                                     d.goods_in_review, d.goods_in_warehouse};
  EXPECT_EQ(figures, (std::vector<Text>{"3", "5", "7", "42", "11", "1", "2", "9"}));
  EXPECT_EQ(d.store_name, gbk("蔚禾测试店"));
}

TEST(DashboardPage, LoginBodyEncodesOnlyWhatNeedsIt) {
  EXPECT_EQ(backoffice::login_body("abc123", "demo", "demo123"),
            "_csrf-business=abc123&BusinessLoginFrom[username]=demo"
            "&BusinessLoginFrom[password]=demo123&login-button=&login-button=");
  EXPECT_EQ(backoffice::login_body("Zm9v==", gbk("蔚禾"), "p&w=1%"),
            "_csrf-business=Zm9v%3D%3D&BusinessLoginFrom[username]=%E8%94%9A%E7%A6%BE"
            "&BusinessLoginFrom[password]=p%26w%3D1%25&login-button=&login-button=");
}

// A list found in the field: 50 orders, 4 closed rows without an edit link,
// then a pager. Every order is read, with its own id.
TEST(OrderListPage, EveryRowBeforeClosedRowsAndAPager) {
  web::PatternMatcher matcher;
  const auto rows =
      backoffice::order_rows_of(canned_page("order-list-50-rows-then-pagination.html"), matcher);
  ASSERT_EQ(rows.size(), 50u);
  EXPECT_EQ(rows.front()[app::kColId], "1000");
  EXPECT_EQ(rows.back()[app::kColId], "1049");
  EXPECT_EQ(rows.back()[app::kColSerial], "50");
}

// A page without rows is an empty list only when it is the list page.
TEST(OrderListPage, NoRowsIsAnEmptyListOnlyOnTheListPage) {
  EXPECT_TRUE(backoffice::is_order_list_page(web::utf8_to_gbk(mall::pages::order_list({}, "待发货"))));
  EXPECT_TRUE(backoffice::is_order_list_page(
      web::gbk("<div class=\"grid-view\"><div class=\"empty\">没有找到数据。</div></div>")));
  EXPECT_TRUE(backoffice::is_order_list_page(canned_page("order-list-50-rows-then-pagination.html")));
  for (const char* not_a_list :
       {"", "<html><body><h1>系统维护中</h1><table><tr><td>请稍后</td></tr></table></body></html>",
        "{\"code\":500,\"message\":\"error\"}", "\xff\xfe<td>\x80</td>"})
    EXPECT_FALSE(backoffice::is_order_list_page(web::gbk(not_a_list))) << not_a_list;
}

TEST(OrderDetailPage, ThirteenGroupsOrNothing) {
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
  // "收货人：" without its inner spaces is another layout.
  const Text unspaced =
      web::replace_text(canned_page("order_detail.html"), gbk("收 货 人："), gbk("收货人："));
  ASSERT_NE(unspaced, canned_page("order_detail.html"));
  EXPECT_FALSE(backoffice::order_detail_of(unspaced, matcher));
  EXPECT_FALSE(backoffice::order_detail_of(Text("\xFF\xFE<tbody>", 9), matcher));
}

}  // namespace

namespace {

// A goods table of `rows` rows, as an order's edit page holds it.
Text goods_page(const std::vector<std::vector<std::string>>& rows) {
  std::string page = "<table><thead><tr><th>商品</th><th>数量</th></tr></thead>\n<tbody>\n";
  for (const auto& r : rows) {
    page += "<tr>\n";
    for (std::size_t c = 0; c < r.size(); ++c)
      page += (c == 2 ? "  <td>包装方式:" : "  <td>") + r[c] + "</td>\n";
    page += "</tr>\n";
  }
  return gbk(page + "</tbody></table><div>订单总价：¥1.00</div>");
}

}  // namespace

TEST(GoodsTable, EveryRowInOrderWithItsFiveCells) {
  EXPECT_TRUE(backoffice::goods_lines_of(gbk("<p>没有商品表</p>")).empty());
  EXPECT_TRUE(backoffice::goods_lines_of(canned_page("login.html")).empty());

  const auto one = backoffice::goods_lines_of(goods_page({{"大米", "2", "袋装", "¥68.00", "¥136.00"}}));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0], (app::GoodsLine{gbk("大米"), "2", gbk("袋装"), gbk("¥68.00"), gbk("¥136.00")}));

  std::vector<std::vector<std::string>> five;
  for (int i = 1; i <= 5; ++i)
    five.push_back({"商品" + std::to_string(i), std::to_string(i), "盒", "1.00", std::to_string(i) + ".00"});
  const auto lines = backoffice::goods_lines_of(goods_page(five));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4].goods, gbk("商品5"));
  EXPECT_EQ(lines[4].line_total, "5.00");

  // Markup stays as captured, an emoji (GB18030 four bytes) too; a short note row is no goods.
  const auto marked = backoffice::goods_lines_of(goods_page(
      {{"<b>红枣</b> 🍎", "1", "礼盒", "9.90", "9.90"}, {"备注"}, {"茶", "3", "罐", "1", "3"}}));
  ASSERT_EQ(marked.size(), 2u);
  EXPECT_EQ(marked[0].goods, gbk("<b>红枣</b> 🍎"));
  EXPECT_EQ(marked[1].quantity, "3");
}

TEST(GoodsTable, TheDetailPatternStillTakesTheFirstLine) {
  const Text page = canned_page("order_detail.html");
  web::PatternMatcher matcher;
  const auto groups = backoffice::order_detail_of(page, matcher);
  const auto lines = backoffice::goods_lines_of(page);
  ASSERT_TRUE(groups.has_value());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].goods, (*groups)[0]);
  EXPECT_EQ(lines[0].variant, (*groups)[2]);
}
