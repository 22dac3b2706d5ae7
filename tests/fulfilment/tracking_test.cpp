#include "core/archive_keeping.h"
#include "fulfilment/tracking.h"

#include <gtest/gtest.h>

#include "fulfilment/courier_codes.h"
#include "mall_test.h"
#include "scripted_server.h"
#include "store/database.h"
#include "store/shipping_journal.h"

namespace {

using fulfilment_tests::MallTest;
using fulfilment_tests::ScriptedServer;
using web::gbk;
using web::Text;

TEST(TrackingUrl, PlainValuesGiveThePlainQuery) {
  EXPECT_EQ(fulfilment::tracking_url("h:81", "k3y", "yunda", "9876"),
            "http://h:81/api?id=k3y&com=yunda&nu=9876&valicode=&show=3&muti=1&order=desc");
  EXPECT_EQ(fulfilment::tracking_url("h", "", "", ""),
            "http://h/api?id=&com=&nu=&valicode=&show=3&muti=1&order=desc");
  // A tracking number cannot smuggle in another parameter.
  EXPECT_EQ(fulfilment::tracking_url("h", "k", "ems", "1&com=x#"),
            "http://h/api?id=k&com=ems&nu=1%26com%3Dx%23&valicode=&show=3&muti=1&order=desc");
}

TEST(CourierCodes, ReferenceTextLayout) {
  const Text list = fulfilment::courier_code_list();
  EXPECT_EQ(list.size(), 626u);
  const auto lines = web::split_text(list, "\r\n");
  ASSERT_EQ(lines.size(), 31u);
  EXPECT_EQ(lines.front(), gbk("shentong----申通快递"));
  EXPECT_EQ(lines[5], gbk("huitong----百世快递(原汇通)"));
  EXPECT_EQ(lines.back(), gbk("auto----其他"));
}

class TrackingTest : public MallTest {
 protected:
  TrackingTest() {
    form.set_text("编辑框7", gbk(mall.options().tracking_key));
    form.set_text("编辑框8", "yunda");
  }
  std::vector<std::string> api_targets() {
    std::vector<std::string> out;
    for (auto& r : mall.requests())
      if (r.target.rfind("/api", 0) == 0) out.push_back(r.target);
    return out;
  }
};

TEST_F(TrackingTest, QueriesTheServiceAndStoresTheReplyInTheRow) {
  add_row("1", "1111");
  add_row("2", "9876");
  form.select_row(app::kOrderList, 1);
  form.set_checked("选择框1", false);

  fulfilment::query_tracking(ctx);

  ASSERT_EQ(api_targets().size(), 1u);
  EXPECT_EQ(api_targets()[0], "/api?id=" + mall.options().tracking_key +
                                  "&com=yunda&nu=9876&valicode=&show=3&muti=1&order=desc");
  EXPECT_FALSE(form.cell(app::kOrderList, 1, app::kColTrackingInfo).empty());
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColTrackingInfo), "");
  EXPECT_TRUE(form.messages.empty());
}

TEST_F(TrackingTest, CheckedBoxShowsTheDecodedReply) {
  ScriptedServer service;
  service.set_reply("%E5%B7%B2%E7%AD%BE%E6%94%B6 100%");
  ctx.hosts.tracking = service.host();
  add_row("1", "9876");
  form.select_row(app::kOrderList, 0);
  form.set_checked("选择框1", true);

  fulfilment::query_tracking(ctx);

  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColTrackingInfo), gbk("已签收 100%"));
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text, gbk("已签收 100%"));
  EXPECT_EQ(form.messages[0].title, gbk("信息："));
}

TEST_F(TrackingTest, SettingsAreSavedEvenWhenTheServiceIsDown) {
  ctx.hosts.tracking = "127.0.0.1:1";
  form.set_text("编辑框7", gbk("钥匙&key"));
  form.set_text("编辑框8", "");
  add_row("1", "9876");
  form.select_row(app::kOrderList, 0);
  form.set_cell(app::kOrderList, 0, app::kColTrackingInfo, "old");
  form.set_checked("选择框1", true);

  fulfilment::query_tracking(ctx);

  EXPECT_EQ(settings.read_setting(gbk("快递100sky")), gbk("钥匙&key"));
  EXPECT_EQ(settings.read_setting(gbk("快递类型")), "");
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColTrackingInfo), "");
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text, "");
}

// The service is never asked about an empty number: an order without one
// in its row is tracked with the number the journal shipped it with.
TEST_F(TrackingTest, AnEmptyNumberCellTakesTheJournalsNumberOrAsksNothing) {
  add_row("1");
  form.set_checked("选择框1", false);
  form.select_row(app::kOrderList, 0);
  fulfilment::query_tracking(ctx);
  EXPECT_TRUE(api_targets().empty());
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text, gbk("该订单没有快递单号"));

  store::Database db(store::Database::beside(settings.path()));
  ctx.database = &db;
  store::ShippingJournal journal(db, app::shop_of(ctx));
  std::string error;
  store::Shipment shipped;
  shipped.order_id = "1";
  shipped.courier = "yuantong";
  shipped.tracking_no = "YT1000000001";
  journal.finish(*journal.begin(shipped, &error), true, "操作成功", 200, &error);
  fulfilment::query_tracking(ctx);
  ASSERT_EQ(api_targets().size(), 1u);
  EXPECT_NE(api_targets()[0].find("&com=yuantong&nu=YT1000000001&"), std::string::npos);
  ctx.database = nullptr;
}

}  // namespace
