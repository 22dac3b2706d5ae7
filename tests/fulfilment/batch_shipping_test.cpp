#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <utility>

#include "core/archive_keeping.h"
#include "fulfilment/shipping.h"
#include "mall_test.h"
#include "scripted_server.h"
#include "store/shipping_journal.h"

namespace {

using fulfilment_tests::MallTest;
using fulfilment_tests::ScriptedServer;
using web::gbk;
using web::Text;

const Text kDone = gbk("发货完成，请检查是否发送成功！！！");

// The batch against a scripted back office, with the address id already fetched.
class BatchTest : public MallTest {
 protected:
  BatchTest() {
    // As listed, whatever the checks say, one shipment after another: these
    // cases are about the sending itself, in row order.
    form.batch_choice = app::BatchChoice::All;
    settings.write_setting(gbk("connections"), "1", gbk("network"));
    ctx.hosts.backoffice = server.host();
    form.set_text("编辑框13", "45");
  }
  std::string order_id_field(std::size_t request) {
    const std::string body = server.bodies().at(request);
    return body.substr(body.rfind("&order_id=") + 10);
  }
  Text status(int row) { return form.cell(app::kOrderList, row, app::kColShipStatus); }

  ScriptedServer server;
};

TEST_F(BatchTest, SendsEveryRowInOrderAndReportsTheEnd) {
  server.set_reply("<div class=\"alert\">操作成功</div>");
  add_row("101", "T1");
  add_row("102", "");
  add_row("103", "T3");

  fulfilment::ship_all_orders(ctx);

  const auto bodies = server.bodies();
  ASSERT_EQ(bodies.size(), 3u);
  EXPECT_EQ(bodies[0],
            "deliver_explain=&address=&shipping_express_name=huitong&shipping_code=T1"
            "&from_address_id=45&order_id=101");
  EXPECT_EQ(bodies[1],
            "deliver_explain=&address=&shipping_express_name=huitong&shipping_code="
            "&from_address_id=45&order_id=102");
  EXPECT_EQ(order_id_field(2), "103");
  for (int r = 0; r < 3; ++r) EXPECT_EQ(status(r), gbk("发货成功")) << r;
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text.substr(0, kDone.size()), kDone);
}

TEST_F(BatchTest, FailureStatusCarriesTheWholeReply) {
  server.set_reply("<p>订单状态不对，不能发货</p>");
  add_row("101", "T1");
  fulfilment::ship_all_orders(ctx);
  EXPECT_EQ(status(0), gbk("发货失败<p>订单状态不对，不能发货</p>"));

  ctx.hosts.backoffice = "127.0.0.1:1";  // nothing listens there
  fulfilment::ship_all_orders(ctx);
  EXPECT_EQ(status(0), gbk("发货失败"));
  EXPECT_EQ(form.messages.back().text.substr(0, kDone.size()), kDone);
}

TEST_F(BatchTest, MissingInputsSendNothingForAnyRow) {
  add_row("101", "T1");
  form.set_text("编辑框13", "");
  fulfilment::ship_all_orders(ctx);
  form.set_text("编辑框13", "45");
  form.set_text("编辑框12", "");
  fulfilment::ship_all_orders(ctx);
  EXPECT_TRUE(server.bodies().empty());
  ASSERT_EQ(form.messages.size(), 2u);
  EXPECT_EQ(form.messages[0].text, gbk("请先获取发货地址ID"));
  EXPECT_EQ(form.messages[1].text, gbk("请填写发货快递"));
}

TEST_F(BatchTest, EmptyTableOnlyReportsTheEnd) {
  fulfilment::ship_all_orders(ctx);
  EXPECT_TRUE(server.bodies().empty());
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text.substr(0, kDone.size()), kDone);
}

TEST_F(BatchTest, ImportedTrackingNumberCannotRedirectTheShipment) {
  server.set_reply("操作成功");
  add_row("101", "1&order_id=9");
  add_row("102", "SF 1=2%");
  fulfilment::ship_all_orders(ctx);
  ASSERT_EQ(server.bodies().size(), 2u);
  EXPECT_EQ(order_id_field(0), "101");
  EXPECT_EQ(order_id_field(1), "102");
  EXPECT_NE(server.bodies()[0].find("&shipping_code=1%26order_id%3D9&"), std::string::npos);
}

TEST_F(BatchTest, EditsDuringTheBatchApplyToTheFollowingRows) {
  server.set_reply("操作成功");
  add_row("101");
  add_row("102");
  server.close_gate();
  form.start_worker([this] { fulfilment::ship_all_orders(ctx); });
  ASSERT_TRUE(server.wait_for_requests(1));
  form.set_text("编辑框12", "yunda");
  form.set_text("编辑框13", "46");
  server.open_gate();
  form.join_workers();

  const auto bodies = server.bodies();
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_NE(bodies[0].find("shipping_express_name=huitong&"), std::string::npos);
  EXPECT_NE(bodies[1].find("shipping_express_name=yunda&"), std::string::npos);
  EXPECT_NE(bodies[1].find("from_address_id=46&"), std::string::npos);
}

TEST_F(BatchTest, EmptiedBoxStopsTheRestOfTheBatch) {
  // A closed window reads every box as empty: the rows left must not go out
  // without a courier code or a sender address.
  server.set_reply("操作成功");
  add_row("101");
  add_row("102");
  server.close_gate();
  form.start_worker([this] { fulfilment::ship_all_orders(ctx); });
  ASSERT_TRUE(server.wait_for_requests(1));
  form.set_text("编辑框13", "");
  server.open_gate();
  form.join_workers();

  EXPECT_EQ(server.bodies().size(), 1u);
  EXPECT_EQ(status(0), gbk("发货成功"));
  EXPECT_EQ(status(1), "");
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text, gbk("请先获取发货地址ID\r\n成功1笔，失败0笔，跳过0笔"));
}

TEST_F(BatchTest, SecondStartWhileRunningIsRefused) {
  server.set_reply("操作成功");
  add_row("101");
  add_row("102");
  server.close_gate();
  form.start_worker([this] { fulfilment::ship_all_orders(ctx); });
  ASSERT_TRUE(server.wait_for_requests(1));

  fulfilment::ship_all_orders(ctx);       // 批量发货 again
  fulfilment::confirm_and_ship_all(ctx);  // 导入单号发货 while it runs: no question asked
  ASSERT_EQ(form.messages.size(), 2u);
  EXPECT_EQ(form.messages[0].text, form.messages[1].text);
  EXPECT_NE(web::find_text(form.messages[0].text, gbk("批量发货正在进行中")), -1);
  EXPECT_EQ(form.messages[1].buttons, app::Buttons::Ok);

  server.open_gate();
  form.join_workers();
  EXPECT_EQ(server.bodies().size(), 2u);
  EXPECT_EQ(form.messages.back().text.substr(0, kDone.size()), kDone);

  // Once finished, a new batch runs again.
  fulfilment::ship_all_orders(ctx);
  EXPECT_EQ(server.bodies().size(), 4u);
}

TEST_F(BatchTest, WaitsForTheOrderTableToBeFree) {
  server.set_reply("操作成功");
  add_row("101");
  ctx.table->lock.acquire();  // a list fetch is filling the table
  form.start_worker([this] { fulfilment::ship_all_orders(ctx); });
  EXPECT_FALSE(server.wait_for_requests(1, std::chrono::milliseconds(200)));
  ctx.table->lock.release();
  form.join_workers();
  EXPECT_EQ(server.bodies().size(), 1u);
}

TEST_F(BatchTest, ConfirmationGatesTheBatch) {
  server.set_reply("操作成功");
  add_row("101", "T1");
  form.answers.push_back(app::Answer::No);
  fulfilment::confirm_and_ship_all(ctx);
  form.join_workers();
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text, gbk("请确保已经导入过快递单号"));
  EXPECT_EQ(form.messages[0].title, gbk("询问"));
  EXPECT_EQ(form.messages[0].buttons, app::Buttons::YesNo);
  EXPECT_TRUE(server.bodies().empty());

  form.answers.push_back(app::Answer::Yes);
  fulfilment::confirm_and_ship_all(ctx);
  form.join_workers();
  EXPECT_EQ(server.bodies().size(), 1u);
  EXPECT_EQ(form.messages.back().text.substr(0, kDone.size()), kDone);
}

// A window that runs `on_first_read` once, just after the batch has read the
// order rows (to delete one, or to fail as a window may).
class HookedReadForm : public testing_support::FakeForm {
 public:
  std::vector<app::OrderRow> rows(std::string_view list) override {
    std::vector<app::OrderRow> snapshot = FakeForm::rows(list);
    if (list == app::kOrderList && on_first_read) std::exchange(on_first_read, nullptr)();
    return snapshot;
  }
  std::function<void()> on_first_read;
};

class BatchRowIdentity : public ::testing::Test {
 protected:
  BatchRowIdentity() {
    form.batch_choice = app::BatchChoice::All;
    server.set_reply("<p>操作成功</p>");
    for (const char* id : {"101", "102", "103"}) {
      app::OrderRow row(app::kOrderColumnCount);
      row[app::kColId] = id;
      form.append_row(app::kOrderList, row);
    }
    form.set_text("编辑框13", "45");
  }

  ScriptedServer server;
  HookedReadForm form;
  app::Settings settings{std::filesystem::temp_directory_path() / "weihe-unused.ini"};
  app::Context ctx{.form = form, .settings = settings, .hosts = {server.host(), {}, {}}};
};

TEST_F(BatchRowIdentity, RowDeletedWhileTheTableIsReadNeverShiftsTheStatuses) {
  form.on_first_read = [this] { form.delete_row(app::kOrderList, 0); };

  fulfilment::ship_all_orders(ctx);

  // Only the rows still listed go out, and each status is its own row's.
  const auto bodies = server.bodies();
  ASSERT_EQ(bodies.size(), 2u);
  const std::string both = bodies[0] + bodies[1];
  EXPECT_NE(both.find("&order_id=102"), std::string::npos);
  EXPECT_NE(both.find("&order_id=103"), std::string::npos);
  ASSERT_EQ(form.row_count(app::kOrderList), 2);
  for (int r = 0; r < 2; ++r)
    EXPECT_EQ(form.cell(app::kOrderList, r, app::kColShipStatus), gbk("发货成功")) << r;
}

TEST_F(BatchRowIdentity, BatchEndingInAnExceptionLetsTheNextOneRun) {
  form.on_first_read = [] { throw std::runtime_error("window gone"); };
  EXPECT_THROW(fulfilment::ship_all_orders(ctx), std::runtime_error);

  // Neither the order table nor the running mark stays taken.
  ASSERT_TRUE(ctx.table->lock.try_acquire());
  ctx.table->lock.release();
  fulfilment::ship_all_orders(ctx);
  EXPECT_EQ(server.bodies().size(), 3u);
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text.substr(0, kDone.size()), kDone);
}

// The whole road against the stand-in: the token header on every request.
TEST_F(MallTest, BatchAgainstTheBackOfficeCarriesTheToken) {
  sign_in();
  std::vector<std::string> ids;
  for (auto& o : mall.orders())
    if (o.state == 20 && ids.size() < 3) ids.push_back(o.id);
  while (ids.size() < 3) ids.push_back(mall.add_order(20));
  for (std::size_t i = 0; i < ids.size(); ++i) add_row(ids[i], "YT90" + std::to_string(i));
  fulfilment::fetch_from_address_id(ctx);
  mall.clear_requests();
  form.batch_choice = app::BatchChoice::WithWarned;  // the numbers do not look like huitong's

  fulfilment::ship_all_orders(ctx);

  std::vector<std::string> order_ids;
  for (auto& r : mall.requests()) {
    if (r.target != "/order/send") continue;
    EXPECT_EQ(fulfilment_tests::header(r, "X-CSRF-Token"), ctx.csrf_token.get());
    order_ids.push_back(r.body.substr(r.body.rfind("&order_id=") + 10));
  }
  std::sort(order_ids.begin(), order_ids.end());
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(order_ids, ids);
  for (int r = 0; r < 3; ++r)
    EXPECT_EQ(form.cell(app::kOrderList, r, app::kColShipStatus), gbk("发货成功")) << r;
}

// Batches against the stand-in with four shipments in flight and the journal
// behind them, as the program ships.
class PooledBatch : public MallTest {
 protected:
  PooledBatch() {
    form.batch_choice = app::BatchChoice::All;
    ctx.database = &db;
    sign_in();
    fulfilment::fetch_from_address_id(ctx);
    for (int i = 0; i < 8; ++i) {
      ids.push_back(mall.add_order(20));
      add_row(ids.back(), "YT8" + ids.back());
    }
    mall.clear_requests();
  }
  // What the stand-in holds and what the window and the journal say, order by order.
  void expect_each_row_shipped_once() {
    for (int r = 0; r < form.row_count(app::kOrderList); ++r) {
      const Text id = form.cell(app::kOrderList, r, app::kColId);
      if (id == "990001") continue;
      EXPECT_EQ(form.cell(app::kOrderList, r, app::kColShipStatus), gbk("发货成功")) << id;
      EXPECT_EQ(mall.order(id).tracking_no, "YT8" + id);
    }
    std::map<std::string, int> accepted;
    for (const store::Shipment& s : store::ShippingJournal(db, app::shop_of(ctx)).entries()) {
      EXPECT_NE(s.outcome, "unknown") << s.order_id;
      accepted[s.order_id] += s.outcome == "shipped";
    }
    for (const std::string& id : ids) EXPECT_EQ(accepted[id], 1) << id;
  }

  store::Database db{store::Database::beside(settings.path())};
  std::vector<std::string> ids;
};

TEST_F(PooledBatch, AnswersOutOfOrderEachLandOnTheirOwnRow) {
  mall.set_order_delay(ids[0], std::chrono::milliseconds(400));
  mall.set_order_delay(ids[1], std::chrono::milliseconds(200));
  add_row("990001", "YT8990001");  // unknown to the back office

  fulfilment::ship_all_orders(ctx);

  expect_each_row_shipped_once();
  EXPECT_EQ(form.cell(app::kOrderList, 8, app::kColShipStatus).substr(0, gbk("发货失败").size()),
            gbk("发货失败"));
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_NE(web::find_text(form.messages[0].text, gbk("成功8笔，失败1笔")), -1)
      << web::gbk_to_utf8(form.messages[0].text);
}

TEST_F(PooledBatch, ShipmentsRefusedAsTooManyAreSentAgainAndNoneTwice) {
  mall.set_latency(std::chrono::milliseconds(40));
  mall.set_max_concurrent(2, 0);

  fulfilment::ship_all_orders(ctx);

  mall.set_max_concurrent(0);
  EXPECT_GT(mall.rejected_requests(), 0);
  expect_each_row_shipped_once();
}

}  // namespace
