#include "finance/withdrawals.h"

#include <gtest/gtest.h>

#include "support/mall_login.h"

namespace {

using testing_support::MallFixture;
using web::gbk;
using web::Text;

const std::string kIndent(24, ' ');

TEST(WithdrawableAmount, ValueOfTheInputAfterTheLabel) {
  const Text page = gbk("<label>可提现金额</label>\n") + kIndent +
                    "<input type=\"text\" value=\"1234.50\" class=\"form-control\">";
  EXPECT_EQ(finance::read_withdrawable_amount(page), "1234.50");
  // The marker is exact: other white space between label and input gives nothing.
  EXPECT_EQ(
      finance::read_withdrawable_amount(gbk("可提现金额</label>\n") + std::string(23, ' ') +
                                        "<input type=\"text\" value=\"1\" class=\"form-control\">"),
      "");
  EXPECT_EQ(
      finance::read_withdrawable_amount(gbk("可提现金额</label>\r\n") + kIndent +
                                        "<input type=\"text\" value=\"1\" class=\"form-control\">"),
      "");
  EXPECT_EQ(finance::read_withdrawable_amount(""), "");
}

// 发起申请 sends nothing: it says what is wrong with the amount typed.
TEST(WithdrawalRequest, SaysWhatIsWrongWithTheAmount) {
  const struct {
    const char* typed;
    const char* withdrawable;
    const char* said;  // part of the message; "" when the amount is fine
  } cases[] = {{"", "1000.00", "请先在“输入金额”里填上"},
               {"必须是100的整倍数", "1000.00", "请先在“输入金额”里填上"},
               {"abc", "1000.00", "不是整数元"},
               {"250.5", "1000.00", "不是整数元"},
               {"250", "1000.00", "必须是100的整倍数"},
               {"0", "1000.00", "必须是100的整倍数"},
               {"1,100", "1,000.00", "超过了可提现金额"},
               {" 300 ", "1000.00", ""},
               {"300.00", "", ""}};
  for (const auto& c : cases) {
    const std::string said =
        web::gbk_to_utf8(finance::withdrawal_amount_problem(gbk(c.typed), gbk(c.withdrawable)));
    if (*c.said == '\0')
      EXPECT_EQ(said, "") << c.typed;
    else
      EXPECT_NE(said.find(c.said), std::string::npos) << c.typed << ": " << said;
  }
}

std::string withdrawal_rows(int count) {
  std::string html = "<table><tr><th>编号</th><th>回购金额</th></tr>\n";
  for (int i = 1; i <= count; ++i)
    html += "<tr>\n  <td>W" + std::to_string(i) + "</td>\n  <td>" + std::to_string(i * 100) +
            ".00</td>\n  <td>2017-01-0" + std::to_string(i) + " 10:00:00</td>\n  <td>财务" +
            std::to_string(i) + "</td>\n  <td><a href=\"#\">详情</a></td>\n</tr>\n";
  return html + "</table>";
}

TEST(PaidWithdrawalPage, OneEntryPerTableRow) {
  const auto rows = finance::read_paid_withdrawals(gbk(withdrawal_rows(3)));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].number, "W1");
  EXPECT_EQ(rows[1].amount, "200.00");
  EXPECT_EQ(rows[2].time, "2017-01-03 10:00:00");
  EXPECT_EQ(rows[2].operator_name, gbk("财务3"));
  // Upper-case tags match too; a page without cells gives no rows.
  EXPECT_EQ(
      finance::read_paid_withdrawals("<TD>a</TD>\n<TD>b</TD>\n<TD>c</TD>\n<TD>d</TD>\n<TD>").size(),
      1u);
  EXPECT_TRUE(finance::read_paid_withdrawals(gbk("<p>暂无记录</p>")).empty());
  EXPECT_TRUE(finance::read_paid_withdrawals("").empty());
}

class WithdrawalsTest : public MallFixture {};

TEST_F(WithdrawalsTest, AmountFromTheBackOffice) {
  sign_in();
  finance::fetch_withdrawable_amount(ctx);
  ASSERT_FALSE(mall.withdrawable_amount().empty());
  EXPECT_EQ(form.text("编辑框10"), gbk(mall.withdrawable_amount()));

  // No answer leaves the amount shown as it was, and says so.
  mall.set_fault(mall::Fault::Drop);
  finance::fetch_withdrawable_amount(ctx);
  EXPECT_EQ(form.text("编辑框10"), gbk(mall.withdrawable_amount()));
  EXPECT_EQ(form.status(), gbk("连接不上后台，可提现金额没有更新"));
  EXPECT_TRUE(form.messages.empty());
}

TEST_F(WithdrawalsTest, ListingTwiceShowsEachWithdrawalOnce) {
  sign_in();
  const auto paid = mall.paid_withdrawals();
  ASSERT_FALSE(paid.empty());
  for (int run = 0; run < 2; ++run) {
    form.start_worker([this] { finance::list_paid_withdrawals(ctx); });
    form.join_workers();
  }
  const auto rows = form.rows(app::kWithdrawalList);
  ASSERT_EQ(rows.size(), paid.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 6u);
    EXPECT_EQ(rows[i][0], std::to_string(i + 1));
    EXPECT_EQ(rows[i][1], gbk(paid[i].number));
    EXPECT_EQ(rows[i][2], gbk(paid[i].amount));
    EXPECT_EQ(rows[i][3], gbk(paid[i].time));
    EXPECT_EQ(rows[i][4], gbk(paid[i].operator_name));
    EXPECT_EQ(rows[i][5], "");
  }
}

TEST_F(WithdrawalsTest, CannedPageOfThreeNumberedFromOne) {
  sign_in();
  mall.override_page("/withdraw-cash/list?state=1", withdrawal_rows(3));
  form.append_row(app::kWithdrawalList, {"9", "old"});
  finance::list_paid_withdrawals(ctx);
  finance::list_paid_withdrawals(ctx);
  const auto rows = form.rows(app::kWithdrawalList);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "1");
  EXPECT_EQ(rows[2][0], "3");
  EXPECT_EQ(rows[2][1], "W3");

  // A failed listing keeps the rows there are and says so.
  mall.set_fault(mall::Fault::ServerError);
  finance::list_paid_withdrawals(ctx);
  EXPECT_EQ(form.row_count(app::kWithdrawalList), 3);
  EXPECT_EQ(form.status(), gbk("后台返回 500，提现记录未更新"));
}

}  // namespace
