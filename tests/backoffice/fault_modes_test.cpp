// Every back-office operation ends with a defined result whatever the server does.
#include <gtest/gtest.h>

#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "backoffice/reminder.h"
#include "mall_fixture.h"

namespace {

using backoffice_tests::MallTest;
using web::gbk;

class FaultModes : public MallTest, public ::testing::WithParamInterface<mall::Fault> {};

TEST_P(FaultModes, OperationsEndCleanly) {
  log_in();
  backoffice::fetch_orders_to_ship(ctx);
  const int listed = form.row_count(app::kOrderList);
  ASSERT_GT(listed, 0);
  mall.set_slow_delay(std::chrono::milliseconds(20));
  mall.set_huge_size(2u << 20);
  mall.set_fault(GetParam());
  form.log.clear();
  form.spoken.clear();

  backoffice::fetch_order_details(ctx);
  EXPECT_EQ(form.row_count(app::kOrderList), listed);
  backoffice::NewOrderReminder reminder(ctx);
  reminder.poll();
  form.join_workers();
  EXPECT_FALSE(form.log.empty());

  backoffice::fetch_all_orders(ctx);
  backoffice::fetch_unpaid_orders(ctx);
  EXPECT_TRUE(form.is_enabled("按钮6"));
  // Slow pages arrive, and huge ones hold the real page inside their filler.
  const bool served = GetParam() == mall::Fault::Slow || GetParam() == mall::Fault::Huge;
  // A list that did not come leaves the table as it was, and says so: an
  // empty table would read as "no orders".
  if (!served) {
    EXPECT_EQ(form.row_count(app::kOrderList), listed);
    const web::Text said = form.spoken.back();
    EXPECT_EQ(said.substr(said.size() - gbk("订单列表未更新").size()), gbk("订单列表未更新"));
    EXPECT_EQ(form.status(), said);
    EXPECT_NE(form.log.find(said), std::string::npos);
  }

  web::clear_http_cookies();
  log_in();
  const bool ok = form.log.find(gbk("登录成功")) != std::string::npos;
  EXPECT_EQ(ok, served);
  EXPECT_EQ(form.progress.back(), 100);
}

// A page whose connection drops before its announced length: what came is
// shown, and the merchant is told the list or the details are not whole.
TEST_F(MallTest, PagesCutShortAreSaidToBeIncomplete) {
  log_in();
  backoffice::fetch_orders_to_ship(ctx);
  const int listed = form.row_count(app::kOrderList);
  ASSERT_GT(listed, 0);
  EXPECT_EQ(form.log.find(gbk("不完整")), std::string::npos);
  mall.set_fault(mall::Fault::Truncated);
  backoffice::fetch_order_details(ctx);
  EXPECT_NE(form.log.find(std::to_string(listed) + gbk("笔订单的详情不完整")), std::string::npos);
  backoffice::fetch_orders_to_ship(ctx);
  EXPECT_LT(form.row_count(app::kOrderList), listed);
  EXPECT_EQ(form.spoken.back(), gbk("订单列表不完整：后台的页面没有传完，请重新获取"));
}

INSTANTIATE_TEST_SUITE_P(Backoffice, FaultModes,
                         ::testing::Values(mall::Fault::Slow, mall::Fault::Drop,
                                           mall::Fault::ServerError, mall::Fault::ExpiredSession,
                                           mall::Fault::Garbage, mall::Fault::WrongPage,
                                           mall::Fault::Huge));

}  // namespace
