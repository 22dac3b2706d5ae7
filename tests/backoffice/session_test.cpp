// An expired session renewed quietly, one that cannot be renewed shown in
// the title without a loop, a shipment repeated only when it was not taken,
// and the dashboard brought up to date after a batch.
#include <gtest/gtest.h>

#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "backoffice/session.h"
#include "fulfilment/shipping.h"
#include "mall_fixture.h"

namespace {

using backoffice_tests::MallTest;
using web::gbk;

class Session : public MallTest {
 protected:
  Session() { backoffice::install_session_hooks(ctx); }
  int requests_to(const std::string& target, const std::string& method) {
    int n = 0;
    for (const auto& r : mall.requests()) n += r.target == target && r.method == method;
    return n;
  }
};

TEST_F(Session, AnExpiredSessionIsRenewedOnceQuietly) {
  log_in();
  const std::size_t spoken = form.spoken.size();
  mall.expire_sessions();
  backoffice::fetch_orders_to_ship(ctx);
  EXPECT_EQ(form.row_count(app::kOrderList), static_cast<int>(orders_in(20).size()));
  EXPECT_EQ(requests_to("/site/login", "POST"), 2);  // the login, and one quiet renewal
  EXPECT_EQ(form.spoken.size(), spoken);
  EXPECT_EQ(form.title().find(gbk("登录已过期")), web::Text::npos);

  // A shipment answered with the login form was not taken: sent again once.
  mall.expire_sessions();
  form.select_row(app::kOrderList, 0);
  form.set_text("编辑框13", gbk(mall.sender_address_id()));
  form.set_text("编辑框14", "YT1234567890");
  fulfilment::ship_selected_order(ctx);
  EXPECT_EQ(requests_to("/order/send", "POST"), 2);
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColShipStatus), gbk("发货成功"));

  // After a batch the dashboard's counts are read again.
  form.set_text("标签4", "stale");
  ctx.after_batch();
  EXPECT_EQ(form.text("标签4"), std::to_string(orders_in(20).size()));
}

TEST_F(Session, ASessionThatCannotBeRenewedIsShownAndNotRetried) {
  log_in();
  form.set_text("编辑框2", "changed-since");  // the saved password no longer works
  mall.expire_sessions();
  backoffice::fetch_orders_to_ship(ctx);
  EXPECT_EQ(form.row_count(app::kOrderList), 0);
  EXPECT_EQ(requests_to("/site/login", "POST"), 2);
  EXPECT_NE(form.title().find(gbk("登录已过期")), web::Text::npos);
  EXPECT_FALSE(form.is_enabled("标签4"));

  // The back office gone: the title says so.
  ctx.hosts.backoffice = "127.0.0.1:1";
  backoffice::fetch_orders_to_ship(ctx);
  EXPECT_NE(form.title().find(gbk("无法连接后台")), web::Text::npos);
  EXPECT_EQ(form.title().find(gbk("登录已过期")), web::Text::npos);
}

// Details asked four at once all come back with the login form: one quiet
// login serves them all; when it fails, no other is tried for every page.
TEST_F(Session, DetailsInFlightWhenTheSessionExpiresShareOneRenewal) {
  log_in();
  backoffice::fetch_orders_to_ship(ctx);
  const int n = form.row_count(app::kOrderList);
  ASSERT_GE(n, 4);
  mall.expire_sessions();
  backoffice::fetch_order_details(ctx);
  EXPECT_EQ(requests_to("/site/login", "POST"), 2);
  for (int r = 0; r < n; ++r)
    EXPECT_FALSE(form.cell(app::kOrderList, r, app::kColGoods).empty()) << r;

  form.set_text("编辑框2", "changed-since");
  for (int r = 0; r < n; ++r) form.set_cell(app::kOrderList, r, app::kColGoods, "");
  mall.expire_sessions();
  backoffice::fetch_order_details(ctx);
  EXPECT_EQ(requests_to("/site/login", "POST"), 3);
  const web::Text title = form.title();
  EXPECT_EQ(title.substr(title.size() - gbk("登录已过期").size()), gbk("登录已过期"));
}

TEST_F(Session, ShipmentsInFlightWhenTheSessionExpiresAreSentAgainAfterOneLogin) {
  log_in();
  backoffice::fetch_orders_to_ship(ctx);
  const int n = form.row_count(app::kOrderList);
  ASSERT_GE(n, 4);
  for (int r = 0; r < n; ++r)
    form.set_cell(app::kOrderList, r, app::kColTrackingNo, "YT77" + std::to_string(1000 + r));
  fulfilment::fetch_from_address_id(ctx);
  form.batch_choice = app::BatchChoice::All;
  mall.expire_sessions();
  fulfilment::ship_all_orders(ctx);
  EXPECT_EQ(requests_to("/site/login", "POST"), 2);
  for (int r = 0; r < n; ++r)
    EXPECT_EQ(form.cell(app::kOrderList, r, app::kColShipStatus), gbk("发货成功")) << r;
  EXPECT_LE(requests_to("/order/send", "POST"), n + 4);  // only those out at the expiry twice
}

}  // namespace
