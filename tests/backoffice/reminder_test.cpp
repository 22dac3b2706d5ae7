// The new-order reminder, and operations overlapping on the order table.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "backoffice/reminder.h"
#include "mall_fixture.h"
#include "store/database.h"

namespace {

using backoffice_tests::MallTest;
using web::gbk;
using web::Text;

constexpr auto kList = app::kOrderList;
const Text kNothingNew = gbk("<<<<<<<<暂未获取到新订单...");

bool ends_with(const Text& text, const Text& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class Reminder : public MallTest {
 protected:
  void SetUp() override {
    MallTest::SetUp();
    mall.clear_orders();
    sign_in();
  }
  void poll_and_wait() {
    reminder.poll();
    form.join_workers();
  }
  backoffice::NewOrderReminder reminder{ctx};
};

TEST_F(Reminder, ToggleSwitchesTheTimer) {
  reminder.toggle();
  EXPECT_EQ(form.timer_interval(), 10000);
  EXPECT_EQ(form.text("按钮7"), gbk("关闭新订单提醒"));
  form.set_text("编辑框5", "500");  // read only when switched on
  reminder.toggle();
  EXPECT_EQ(form.timer_interval(), 0);
  EXPECT_EQ(form.text("按钮7"), gbk("开启新订单提醒"));
  EXPECT_EQ(form.log, gbk("=======开启新订单提醒======\r\n=======关闭新订单提醒======\r\n"));
  reminder.toggle();
  EXPECT_EQ(form.timer_interval(), 500);
  reminder.toggle();
  // A period without leading digits never polls; an absurd one is clamped, not overflowed.
  for (const char* text : {"abc", "-5", "99999999999999999999"}) {
    form.set_text("编辑框5", text);
    reminder.toggle();
    EXPECT_EQ(form.text("按钮7"), gbk("关闭新订单提醒"));
    EXPECT_EQ(form.timer_interval() > 0, text[0] == '9') << text;
    reminder.toggle();
  }
}

TEST_F(Reminder, AnnouncesOrdersNeverSeenBefore) {
  mall.add_order(20);
  mall.add_order(20);
  mall.add_order(10);
  backoffice::fetch_orders_to_ship(ctx);
  backoffice::fetch_order_details(ctx);
  form.set_cell(kList, 1, app::kColShipStatus, gbk("发货成功"));
  const auto before = form.rows(kList);
  reminder.toggle();
  form.log.clear();
  form.spoken.clear();
  for (int i = 0; i < 3; ++i) mall.add_order(20);

  poll_and_wait();  // 2 -> 5
  EXPECT_EQ(form.spoken, std::vector<Text>{gbk("您有3笔新的蔚禾商城订单，欧耶！")});
  EXPECT_EQ(form.log, gbk("获取到3笔新订单，请查看..."));
  // The table showed the to-ship list: refreshed, keeping what was added to listed orders.
  const auto after = form.rows(kList);
  ASSERT_EQ(after.size(), 5u);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[1], before[1]);
  EXPECT_EQ(after[4][app::kColSerial], "5");
  EXPECT_EQ(after[4][app::kColGoods], "");

  poll_and_wait();  // 5 -> 5
  EXPECT_EQ(form.spoken.size(), 1u);
  EXPECT_EQ(form.log, gbk("获取到3笔新订单，请查看...") + kNothingNew);

  // All five shipped, two others came: fewer rows, yet two new orders.
  mall.clear_orders();
  mall.add_order(20);
  mall.add_order(20);
  poll_and_wait();  // 5 -> 2
  ASSERT_EQ(form.spoken.size(), 2u);
  EXPECT_EQ(form.spoken[1], gbk("您有2笔新的蔚禾商城订单，欧耶！"));
  EXPECT_EQ(form.row_count(kList), 2);
  ASSERT_EQ(form.notifications.size(), 2u);
  EXPECT_EQ(form.notifications[1].first, gbk("蔚禾商城：2笔新订单"));
  const auto rows = form.rows(kList);
  EXPECT_EQ(form.notifications[1].second,
            rows[0][app::kColOrderNo] + "  " + rows[0][app::kColTotal] + "\n" +
                rows[1][app::kColOrderNo] + "  " + rows[1][app::kColTotal]);
  EXPECT_EQ(form.to_ship_counts.back(), 2);
}

TEST_F(Reminder, SeenIdsOutliveARestartAndTheFirstPollOnlyLearns) {
  store::Database db(store::Database::beside(settings.path()));
  ctx.database = &db;
  const std::string a = mall.add_order(20), b = mall.add_order(20);
  poll_and_wait();  // {A,B}: the very first sighting
  EXPECT_TRUE(form.spoken.empty());
  mall.clear_orders();
  const std::string c = mall.add_order(20);
  mall.add_order(20);  // B is gone (shipped), C and D came: the count did not grow
  poll_and_wait();
  EXPECT_EQ(form.spoken, std::vector<Text>{gbk("您有2笔新的蔚禾商城订单，欧耶！")});
  poll_and_wait();
  EXPECT_EQ(form.spoken.size(), 1u);

  // A new start: another reminder, the database opened again.
  store::Database reopened(db.path());
  ctx.database = &reopened;
  backoffice::NewOrderReminder restarted{ctx};
  restarted.poll();
  form.join_workers();
  EXPECT_EQ(form.spoken.size(), 1u);
  EXPECT_EQ(restarted.last_poll()->fresh(), 0);
  EXPECT_EQ(restarted.last_poll()->to_ship, 2);
  ctx.database = nullptr;
}

TEST_F(Reminder, PollLeavesAnImportedTableAlone) {
  std::vector<app::OrderRow> imported;
  for (int i = 1; i <= 3; ++i) {
    app::OrderRow row(app::kOrderColumnCount);
    row[0] = std::to_string(i);
    row[1] = "IMPORTED" + std::to_string(i);
    row[21] = "SF00" + std::to_string(i);
    imported.push_back(row);
  }
  form.replace_rows(kList, imported);
  mall.add_order(20);
  poll_and_wait();  // baseline is what the table held: 3 -> 1, nothing new
  for (int i = 0; i < 4; ++i) mall.add_order(20);
  poll_and_wait();  // 1 -> 5 between polls
  EXPECT_EQ(form.rows(kList), imported);
  EXPECT_EQ(form.spoken, std::vector<Text>{gbk("您有4笔新的蔚禾商城订单，欧耶！")});
  EXPECT_EQ(form.log, kNothingNew + gbk("获取到4笔新订单，请查看..."));
}

// An empty (or cleared) table shows the orders a poll announces.
TEST_F(Reminder, PollFillsAnEmptyTable) {
  mall.add_order(20);
  poll_and_wait();
  form.clear_rows(kList);
  form.set_enabled("按钮6", false);
  for (int i = 0; i < 2; ++i) mall.add_order(20);
  poll_and_wait();  // 1 -> 3
  EXPECT_EQ(form.spoken.back(), gbk("您有2笔新的蔚禾商城订单，欧耶！"));
  EXPECT_EQ(form.row_count(kList), 3);
  EXPECT_TRUE(form.is_enabled("按钮6"));
}

// Two shops on one table: the one polling in the background (its view shows
// no rows) never stops the shown one's polls from refreshing its list.
TEST_F(Reminder, ABackgroundShopsPollLeavesTheShownListRefreshing) {
  mall.add_order(20);
  backoffice::fetch_orders_to_ship(ctx);
  ASSERT_EQ(form.row_count(kList), 1);
  // As a detached shop's view: no rows, and what is written to the table goes nowhere.
  struct NoTable : testing_support::FakeForm {
    void replace_rows(std::string_view, const std::vector<app::OrderRow>&) override {}
  } detached;
  app::Context other{.form = detached, .settings = settings, .hosts = ctx.hosts};
  other.table = ctx.table;
  backoffice::NewOrderReminder background(other);
  background.poll();
  detached.join_workers();
  mall.add_order(20);
  poll_and_wait();
  EXPECT_EQ(form.row_count(kList), 2);
}

TEST_F(Reminder, FailedPollChangesNothing) {
  for (int i = 0; i < 2; ++i) mall.add_order(20);
  backoffice::fetch_orders_to_ship(ctx);
  poll_and_wait();
  // No answer, an error page, the login form of an expired session: none is an empty list.
  for (mall::Fault fault :
       {mall::Fault::Drop, mall::Fault::ServerError, mall::Fault::ExpiredSession}) {
    mall.set_fault(fault);
    poll_and_wait();
    EXPECT_EQ(form.row_count(kList), 2);
  }
  mall.set_fault(mall::Fault::None);
  poll_and_wait();  // compared with the last successful poll, not with a failed answer
  EXPECT_TRUE(form.spoken.empty());
  Text expected;
  for (int i = 0; i < 5; ++i) expected += kNothingNew;
  EXPECT_EQ(form.log, expected);
}

TEST_F(Reminder, TickDuringAPollStartsNoSecondFetch) {
  mall.add_order(20);
  mall.set_slow_delay(std::chrono::milliseconds(300));
  mall.set_fault(mall::Fault::Slow);
  mall.clear_requests();
  reminder.poll();
  EXPECT_TRUE(reminder.polling());
  reminder.poll();
  reminder.poll();
  form.join_workers();
  EXPECT_FALSE(reminder.polling());
  EXPECT_EQ(mall.requests().size(), 1u);
}

// A window that cannot start threads: the operation is dropped unrun.
class ThreadlessForm : public testing_support::FakeForm {
 public:
  void start_worker(std::function<void()> operation) override {
    ++dropped;
    operation = nullptr;
  }
  int dropped = 0;
};

TEST_F(MallTest, APollWhoseThreadNeverStartedDoesNotBlockTheNext) {
  ThreadlessForm threadless;
  app::Context other{.form = threadless, .settings = settings, .hosts = ctx.hosts};
  backoffice::NewOrderReminder reminder(other);
  reminder.poll();
  EXPECT_FALSE(reminder.polling());
  reminder.poll();
  EXPECT_EQ(threadless.dropped, 2);
}

// A window that answers a worker only once its UI thread is free, and whose UI
// thread takes a timer tick just when the poll's worker asks for the row count.
class TickingForm : public testing_support::FakeForm {
 public:
  int row_count(std::string_view list) override {
    if (reminder && std::this_thread::get_id() != ui_thread && !ui_tick.valid()) {
      ui_tick = std::async(std::launch::async, [this] { reminder->poll(); });
      if (ui_tick.wait_for(std::chrono::seconds(2)) == std::future_status::timeout)
        ADD_FAILURE() << "the tick and the poll wait for each other";
    }
    return FakeForm::row_count(list);
  }
  backoffice::NewOrderReminder* reminder = nullptr;
  std::thread::id ui_thread = std::this_thread::get_id();
  std::future<void> ui_tick;
};

TEST_F(MallTest, TickWhileThePollReadsTheTableDoesNotFreeze) {
  sign_in();
  mall.clear_orders();
  TickingForm ticking;
  app::Context other{.form = ticking, .settings = settings, .hosts = ctx.hosts};
  backoffice::NewOrderReminder reminder(other);
  ticking.reminder = &reminder;
  reminder.poll();
  ticking.join_workers();
  ASSERT_TRUE(ticking.ui_tick.valid());
  ticking.ui_tick.get();
  EXPECT_EQ(ticking.log, kNothingNew);  // the tick found the poll running and started none
}

TEST_F(MallTest, ListFetchDuringDetailFetchNeverMixesRows) {
  log_in();
  backoffice::fetch_orders_to_ship(ctx);
  mall.set_slow_delay(std::chrono::milliseconds(10));
  mall.set_fault(mall::Fault::Slow);
  mall.clear_requests();
  form.start_worker([this] { backoffice::fetch_order_details(ctx); });
  std::this_thread::sleep_for(std::chrono::milliseconds(25));
  form.start_worker([this] { backoffice::fetch_unpaid_orders(ctx); });
  form.join_workers();

  // The table is exactly the unpaid list; any detail it holds is its own order's.
  const auto unpaid = orders_in(10);
  const auto rows = form.rows(app::kOrderList);
  ASSERT_EQ(rows.size(), unpaid.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][app::kColId], web::gbk(unpaid[i].id));
    EXPECT_TRUE(rows[i][app::kColGoods].empty() ||
                rows[i][app::kColGoods] == web::gbk(mall.order(unpaid[i].id).goods));
  }
  // The detail requests ran as one block: the list request is not among them.
  const auto requests = mall.requests();
  std::vector<int> kinds;
  for (const auto& r : requests) {
    const int kind = r.target.rfind("/order/edit", 0) == 0 ? 1 : 2;
    if (kinds.empty() || kinds.back() != kind) kinds.push_back(kind);
  }
  EXPECT_LE(kinds.size(), 2u);
}

}  // namespace
