// The order archive: what a reading changes, how it is found, what is
// forgotten, the upgrade of an older database, and a writer killed mid-page.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "store/order_archive.h"
#include "store/seen_orders.h"
#include "store/shipping_journal.h"
#include "store/text_fold.h"
#include "support/temp_dir.h"

namespace {

using store::ArchiveQuery;
using store::OrderArchive;
using store::OrderReading;
using Source = OrderArchive::Source;

const std::string kShop = "demo@127.0.0.1:18080";

// A listed order: 订单号, 会员, 店铺, totals, 支付时间, 状态, ID.
OrderReading listed(const std::string& id, const std::string& member, const std::string& pay_time,
                    const std::string& state) {
  return {{"", "NO" + id, member, "店", "¥10.00", "¥10.00", pay_time, state, id}, std::nullopt};
}

OrderReading detailed(const std::string& id, std::vector<store::GoodsLine> items,
                      const std::string& address, const std::string& tracking = "") {
  std::vector<std::string> cells(26);
  cells[8] = id;
  cells[9] = items.empty() ? "" : items[0].goods;
  cells[18] = "收货人" + id;
  cells[19] = "13800138000";
  cells[20] = address;
  cells[21] = tracking;
  return {cells, std::move(items)};
}

std::vector<std::string> ids(const std::vector<store::ArchivedOrder>& found) {
  std::vector<std::string> out;
  for (const auto& o : found) out.push_back(o.cells[8]);
  return out;
}

class Archive : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
  store::Database db{dir.path() / "weihe-orders.db"};
  OrderArchive archive{db};
  std::string error;

  std::vector<std::string> find(const std::string& text, const std::string& state = {}) {
    auto found = archive.search({text, state, {}, {}, {}, 200}, &error);
    EXPECT_EQ(error, "");
    return ids(found);
  }
};

TEST_F(Archive, ListingTwiceChangesOnlyLastSeenAndStatesAreRecorded) {
  ASSERT_TRUE(db.ok()) << db.error();
  EXPECT_EQ(std::filesystem::status(db.path()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::vector<OrderReading> page = {listed("1", "张伟", "", "待付款"),
                                          listed("2", "李娜", "2026-03-05 10:00:00", "待发货")};
  EXPECT_EQ(archive.record(kShop, page, Source::List, &error, 1000), 2);
  EXPECT_EQ(archive.record(kShop, page, Source::List, &error, 2000), 0);
  auto one = archive.find(kShop, "1");
  ASSERT_TRUE(one);
  EXPECT_EQ(one->first_seen, 1000);
  EXPECT_EQ(one->last_seen, 2000);

  // Paid, then shipped: each change with the time it was seen; the key follows the pay time.
  archive.record(kShop, {listed("1", "张伟", "2026-03-06 09:00:00", "待发货")}, Source::List, &error, 3000);
  archive.record(kShop, {listed("1", "张伟", "2026-03-06 09:00:00", "待收货")}, Source::List, &error, 4000);
  one = archive.find(kShop, "1");
  ASSERT_TRUE(one);
  EXPECT_EQ(one->states, (std::vector<store::ArchivedOrder::StateSeen>{
                             {"待付款", 1000}, {"待发货", 3000}, {"待收货", 4000}}));
  EXPECT_EQ(find(""), (std::vector<std::string>{"1", "2"}));  // newest pay time first

  // Details keep the listed columns; a page without goods lines keeps the known ones.
  archive.record(kShop, {detailed("2", {{"大米", "2", "袋", "1", "2"}, {"红枣", "1", "盒", "3", "3"}}, "北京市朝阳区")},
                 Source::Detail, &error);
  archive.record(kShop, {detailed("2", {}, "北京市朝阳区")}, Source::Detail, &error);
  const auto two = archive.find(kShop, "2");
  ASSERT_TRUE(two);
  EXPECT_EQ(two->cells[2], "李娜");
  EXPECT_EQ(two->items.size(), 2u);
  // The same id in another shop is another order.
  archive.record("other@host", {listed("2", "王五", "", "待付款")}, Source::List, &error);
  EXPECT_EQ(archive.find(kShop, "2")->cells[2], "李娜");
}

TEST_F(Archive, FindsByAnyPartLongOrShortFoldedAndFiltered) {
  archive.record(kShop,
                 {listed("11", "张伟", "2026-03-01 08:00:00", "待发货"),
                  listed("12", "张伟伟", "2026-04-01 08:00:00", "待收货"),
                  listed("13", "Ｗｅｉ", "2026-05-01 08:00:00", "待发货")},
                 Source::List, &error);
  archive.record(kShop,
                 {detailed("11", {{"宁夏枸杞", "1", "袋", "1", "1"}, {"西湖龙井茶", "1", "罐", "1", "1"}},
                           "上海市浦东新区张江路", "SF1234567890"),
                  detailed("12", {{"东北黑木耳", "1", "袋", "1", "1"}}, "北京市朝阳区建设路")},
                 Source::Detail, &error);
  EXPECT_EQ(find("龙井"), std::vector<std::string>{"11"});               // 2 characters: a scan
  EXPECT_EQ(find("西湖龙井"), std::vector<std::string>{"11"});           // the index, a later line
  EXPECT_EQ(find("张伟"), (std::vector<std::string>{"12", "11"}));
  EXPECT_EQ(find("伟伟"), std::vector<std::string>{"12"});               // not 张伟 of order 11
  EXPECT_EQ(find("ｓｆ１２３"), std::vector<std::string>{"11"});         // full width, any case
  EXPECT_EQ(find("wei"), std::vector<std::string>{"13"});
  EXPECT_EQ(find("朝阳区张江"), std::vector<std::string>{});             // its trigrams, not the text
  EXPECT_EQ(find("张伟", "待发货"), std::vector<std::string>{"11"});
  EXPECT_EQ(archive.states(&error), (std::vector<std::string>{"待发货", "待收货"}));
  auto in_april = archive.search({"", "", "2026-04-01", "2026-04-30", {}, 0}, &error);
  EXPECT_EQ(ids(in_april), std::vector<std::string>{"12"});
  EXPECT_EQ(archive.count({"张伟", {}, {}, {}, {}, 1}, &error), 2);

  EXPECT_EQ(archive.forget_before("2026-04-01", &error), 1);
  EXPECT_EQ(find("西湖龙井"), std::vector<std::string>{});
  EXPECT_EQ(find(""), (std::vector<std::string>{"13", "12"}));
  EXPECT_FALSE(archive.forget_before("2026-4-1", &error));
}

TEST(ArchiveUpgrade, AnOlderDatabaseKeepsItsJournalSeenIdsAndTrackingAnswers) {
  testing_support::TempDir dir;
  const auto file = dir.path() / "weihe-orders.db";
  std::filesystem::copy_file(std::filesystem::path(WEIHE_TEST_DATA) / "store/schema-3.db", file);
  {
    store::Database db(file);
    ASSERT_TRUE(db.ok()) << db.error();
    // Kept before shops were told apart: the first shop's, once it claims them.
    EXPECT_EQ(store::ShippingJournal(db, kShop).entries().size(), 0u);
    std::string claimed;
    ASSERT_TRUE(db.adopt_records_without_shop(kShop, &claimed)) << claimed;
    EXPECT_EQ(store::ShippingJournal(db).entries().size(), 0u);
    EXPECT_EQ(store::ShippingJournal(db, kShop).entries().size(), 3u);
    EXPECT_EQ(store::ShippingJournal(db, kShop).courier_of("1003"), "huitong");
    EXPECT_EQ(store::SeenOrders(db, kShop).note({"1001", "1099"}), std::vector<std::string>{"1099"});
    EXPECT_EQ(store::ShippingJournal(db, "other@mall").courier_of("1003"), "");
    OrderArchive archive(db);
    std::string error;
    EXPECT_EQ(archive.record(kShop, {listed("1003", "孙浩", "2017-01-16 04:07:07", "待收货")},
                             Source::List, &error),
              1);
    // The journal's shipment is joined to the archived order.
    EXPECT_EQ(archive.find(kShop, "1003")->shipped_courier, "huitong");
  }
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(raw, "SELECT count(*) FROM tracking_replies", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 1);
  sqlite3_finalize(st);
  sqlite3_close(raw);
}

TEST(ArchiveCrash, AWriterKilledMidPageLeavesEachOrderBeforeOrAfter) {
  testing_support::TempDir dir;
  const auto file = dir.path() / "weihe-orders.db";
  constexpr int kOrders = 5000;
  auto page = [](const std::string& state) {
    std::vector<OrderReading> rows;
    for (int i = 0; i < kOrders; ++i) rows.push_back(listed(std::to_string(i), "会员", "2026-01-01 00:00:00", state));
    return rows;
  };
  {
    store::Database db(file);
    OrderArchive archive(db);
    std::string error;
    ASSERT_EQ(archive.record(kShop, page("待发货"), Source::List, &error), kOrders) << error;
  }
  for (int delay_us : {2000, 20000, 60000}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      store::Database db(file);
      OrderArchive archive(db);
      std::string error;
      for (;;) {
        archive.record(kShop, page("待收货"), Source::List, &error);
        archive.record(kShop, page("待发货"), Source::List, &error);
      }
    }
    ::usleep(static_cast<useconds_t>(delay_us));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    store::Database db(file);
    ASSERT_TRUE(db.ok()) << db.error();
    std::string check, states;
    db.run(
        [&](store::Database::Connection& c, std::string*) {
          sqlite3_stmt* st = nullptr;
          sqlite3_prepare_v2(c.db, "PRAGMA integrity_check", -1, &st, nullptr);
          if (sqlite3_step(st) == SQLITE_ROW) check = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
          sqlite3_finalize(st);
          sqlite3_prepare_v2(c.db, "SELECT count(*), count(DISTINCT state) FROM archived_orders", -1, &st, nullptr);
          if (sqlite3_step(st) == SQLITE_ROW)
            states = std::to_string(sqlite3_column_int(st, 0)) + "/" + std::to_string(sqlite3_column_int(st, 1));
          sqlite3_finalize(st);
          return true;
        },
        &check);
    EXPECT_EQ(check, "ok");
    EXPECT_EQ(states, std::to_string(kOrders) + "/1");  // one page is whole: all before or all after
  }
}

TEST(TextFold, FullWidthAndCapitalsFoldOthersStay) {
  EXPECT_EQ(store::fold_text("ＳＦ１２　Ab张"), "sf12 ab张");
  EXPECT_TRUE(store::folded_contains("sf1", "快递ＳＦ１２"));
  EXPECT_FALSE(store::folded_contains("sf1", "快递SG12"));
  EXPECT_EQ(store::utf8_length("张a伟"), 3u);
}

}  // namespace
