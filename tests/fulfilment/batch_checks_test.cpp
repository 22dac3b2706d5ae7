// The checks before a batch and the journal behind every shipment: what is
// asked, what is sent for each answer, and what a second run does.
#include <gtest/gtest.h>

#include <fstream>

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

class BatchChecks : public MallTest {
 protected:
  BatchChecks() {
    ctx.hosts.backoffice = server.host();
    ctx.database = &db;
    server.set_reply("<div class=\"alert\">操作成功</div>");
    form.set_text("编辑框12", "yuantong");
    form.set_text("编辑框13", "45");
    // One shipment after another: the cases compare what was sent in row order.
    settings.write_setting(web::gbk("connections"), "1", web::gbk("network"));
    std::ofstream(dir / "courier_patterns.tsv")
        << "yuantong\tYT\\d{10,13}\t圆通速递\nshunfeng\tSF\\d{12,13}\t顺丰速运\n";
  }

  // Order ids of the requests sent, in order.
  std::vector<std::string> sent_ids() {
    std::vector<std::string> ids;
    for (const std::string& body : server.bodies()) ids.push_back(body.substr(body.rfind('=') + 1));
    return ids;
  }
  Text status(int row) { return form.cell(app::kOrderList, row, app::kColShipStatus); }

  // One row of every verdict; the ready rows are ids 1 and 9 (a mere warning).
  void add_one_row_of_every_verdict() {
    store::ShippingJournal journal(db, app::shop_of(ctx));
    std::string error;
    store::Shipment earlier;
    earlier.order_id = "7";
    journal.finish(*journal.begin(earlier, &error), true, "操作成功", 200, &error);
    earlier.order_id = "8";
    ASSERT_TRUE(journal.begin(earlier, &error)) << error;  // never answered

    add_row("1", "YT1000000001");
    add_row("", "YT1000000002");
    add_row("3", gbk(" \xE3\x80\x80 "));  // ASCII and full-width spaces only
    add_row("4", "7.73277E+14");
    add_row("5", "773277000000.0");
    add_row("6", "YT1000000006");
    add_row("66", "YT1000000006");
    add_row("7", "YT1000000007");  // shipped by the journal
    add_row("8", "YT1000000008");  // outcome unknown
    add_row("9", "SF100000000009");
    const int shipped = add_row("10", "YT1000000010");
    form.set_cell(app::kOrderList, shipped, app::kColShipStatus, gbk("发货成功"));
  }

  ScriptedServer server;
  store::Database db{store::Database::beside(settings.path())};
};

// One order shipped on its own meets the batch's checks: what must never
// be sent is refused, what is doubtful is asked, and No sends nothing.
TEST_F(BatchChecks, OneOrderShippedOnItsOwnIsRefusedOrAskedAboutLikeABatchRow) {
  store::ShippingJournal journal(db, app::shop_of(ctx));
  std::string error;
  store::Shipment earlier;
  earlier.order_id = "7";
  earlier.tracking_no = "YT1000000007";
  journal.finish(*journal.begin(earlier, &error), true, "操作成功", 200, &error);
  add_row("1");
  add_row("2", "YT1000000002");
  add_row("7");
  const struct {
    int row;
    const char* number;
    bool asked;  // false: refused without a question
  } cases[] = {
      {0, "", false},              {0, "7.73277E+14", false},
      {0, "YT 1000000001", false}, {0, "YT1000000002", true},  // on another row
      {0, "YT1000000007", true},   // shipped with order 7
      {2, "YT1000000099", true},   // order 7 shipped already
      {0, "SF100000000001", true},  // not yuantong's
  };
  for (const auto& c : cases) {
    form.messages.clear();
    form.answers.assign({app::Answer::No});
    form.select_row(app::kOrderList, c.row);
    form.set_text("编辑框14", c.number);
    fulfilment::ship_selected_order(ctx);
    EXPECT_TRUE(server.bodies().empty()) << c.number;
    ASSERT_EQ(form.messages.size(), 1u) << c.number;
    EXPECT_EQ(form.messages[0].buttons == app::Buttons::YesNo, c.asked) << c.number;
  }
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColTrackingNo), "");

  // Yes ships it, and the row shows what was sent.
  form.answers.assign({app::Answer::Yes});
  fulfilment::ship_selected_order(ctx);
  EXPECT_EQ(sent_ids(), std::vector<std::string>{"1"});
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColTrackingNo), "SF100000000001");
  EXPECT_EQ(status(0), gbk("发货成功"));
}

TEST_F(BatchChecks, EveryVerdictIsNamedAndWarnedRowsShipOnlyWhenTaken) {
  add_one_row_of_every_verdict();
  const auto verdicts = fulfilment::check_rows(ctx, form.rows(app::kOrderList));
  using V = fulfilment::Verdict;
  const std::vector<V> expected{V::Ready,          V::NoOrderId,           V::NoTrackingNo,
                                V::SpreadsheetDamaged, V::SpreadsheetDamaged, V::DuplicateTrackingNo,
                                V::DuplicateTrackingNo, V::AlreadyShipped,   V::OutcomeUnknown,
                                V::CourierMismatch, V::AlreadyShipped};
  ASSERT_EQ(verdicts.size(), expected.size());
  for (std::size_t r = 0; r < expected.size(); ++r) EXPECT_EQ(verdicts[r].verdict, expected[r]) << r;
  EXPECT_NE(web::find_text(verdicts[9].reason, gbk("顺丰速运")), -1);  // names the courier it looks like
  // Each of two rows with one number names the other.
  EXPECT_EQ(verdicts[5].reason, gbk("快递单号和订单ID 66 那一行重复"));
  EXPECT_EQ(verdicts[6].reason, gbk("快递单号和订单ID 6 那一行重复"));

  fulfilment::ship_all_orders(ctx);

  // The counts add up: one ready, one warned, nine that cannot go.
  ASSERT_EQ(form.batch_questions.size(), 1u);
  EXPECT_EQ(form.batch_questions[0].ready, 1);
  EXPECT_EQ(form.batch_questions[0].total, 11);
  ASSERT_EQ(form.batch_questions[0].problems.size(), 10u);
  int warned = 0;
  for (const app::BatchProblem& p : form.batch_questions[0].problems) warned += p.warning_only;
  EXPECT_EQ(warned, 1);
  EXPECT_EQ(sent_ids(), (std::vector<std::string>{"1"}));
  EXPECT_EQ(status(0), gbk("发货成功"));
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColState), gbk("待收货"));
  EXPECT_EQ(status(2), gbk("跳过：没有快递单号"));
  EXPECT_EQ(status(9).substr(0, gbk("跳过：").size()), gbk("跳过："));
  const Text end = form.messages.back().text;
  EXPECT_NE(web::find_text(end, gbk("成功1笔，失败0笔，跳过10笔")), -1) << web::gbk_to_utf8(end);

  // Taken with the warned rows, the warned one goes too, and nothing twice.
  form.batch_choice = app::BatchChoice::WithWarned;
  fulfilment::ship_all_orders(ctx);
  EXPECT_EQ(sent_ids(), (std::vector<std::string>{"1", "9"}));
}

TEST_F(BatchChecks, ShipAllSendsEveryRowAndCancelSendsNone) {
  add_one_row_of_every_verdict();
  form.batch_choice = app::BatchChoice::Cancel;
  fulfilment::ship_all_orders(ctx);
  EXPECT_TRUE(server.bodies().empty());
  EXPECT_TRUE(status(0).empty());

  form.batch_choice = app::BatchChoice::All;
  fulfilment::ship_all_orders(ctx);
  EXPECT_EQ(server.bodies().size(), 11u);
}

TEST_F(BatchChecks, AllReadyAsksNothingAndASecondRunShipsNothingTwice) {
  add_row("1", "YT1000000001");
  add_row("2", "YT1000000002");
  fulfilment::ship_all_orders(ctx);
  EXPECT_TRUE(form.batch_questions.empty());
  EXPECT_EQ(server.bodies().size(), 2u);

  // The same workbook again, after a restart: the statuses are gone, the journal is not.
  form.clear_rows(app::kOrderList);
  add_row("1", "YT1000000001");
  add_row("2", "YT1000000002");
  store::Database reopened(db.path());
  ctx.database = &reopened;
  fulfilment::ship_all_orders(ctx);
  EXPECT_EQ(server.bodies().size(), 2u);
  EXPECT_EQ(status(1), gbk("跳过：已经发过货"));

  const auto entries = store::ShippingJournal(reopened, app::shop_of(ctx)).entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].order_id, "2");  // newest first
  EXPECT_EQ(entries[0].outcome, "shipped");
  EXPECT_EQ(entries[0].message, "操作成功");
  EXPECT_EQ(entries[0].http_status, 200);
}

TEST_F(BatchChecks, FailedRowsAreRetriedAndTheReplyMessageIsJournaled) {
  server.set_reply(R"({"code":1,"msg":"订单不存在"})");
  add_row("1", "YT1000000001");
  add_row("2", "YT1000000002");
  fulfilment::ship_all_orders(ctx);
  EXPECT_EQ(status(0), gbk(R"(发货失败{"code":1,"msg":"订单不存在"})"));
  EXPECT_EQ(store::ShippingJournal(db, app::shop_of(ctx)).entries()[0].message, "订单不存在");

  server.set_reply("<div class=\"alert\">操作成功</div>");
  form.set_cell(app::kOrderList, 1, app::kColShipStatus, gbk("发货成功"));
  fulfilment::retry_failed_shipments(ctx);
  EXPECT_EQ(sent_ids(), (std::vector<std::string>{"1", "2", "1"}));
  EXPECT_EQ(status(0), gbk("发货成功"));
}

TEST_F(BatchChecks, AJournalThatCannotBeWrittenRefusesShipping) {
  std::ofstream(dir / "not-a-db") << "these bytes are no SQLite database, not even its header\n";
  store::Database garbage(dir / "not-a-db");
  EXPECT_FALSE(garbage.ok());
  EXPECT_FALSE(garbage.error().empty());

  std::ofstream(dir / "read-only.db").close();
  std::filesystem::permissions(dir / "read-only.db", std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::group_read);
  store::Database read_only(dir / "read-only.db");
  EXPECT_FALSE(read_only.ok());  // also as root, who could write it anyway

  for (store::Database* unusable : {&garbage, &read_only}) {
    ctx.database = unusable;
    add_row("1", "YT1000000001");
    fulfilment::ship_all_orders(ctx);
    form.select_row(app::kOrderList, 0);
    form.set_text("编辑框14", "YT1000000001");
    fulfilment::ship_selected_order(ctx);
    EXPECT_TRUE(server.bodies().empty());
    EXPECT_NE(web::find_text(form.messages.back().text, gbk("发货记录写不进去")), -1);
  }
}

}  // namespace
