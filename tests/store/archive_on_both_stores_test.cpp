// The order archive on the file and on the shared server, given the same
// orders: every search (short, long, folded, filtered, limited), count, the
// states and the shop's figures come out the same on both and as the texts
// say; and an archive copied from one to the other is the same archive.
#include <gtest/gtest.h>

#include <set>

#include "bench/order_generator.h"
#include "report/shop_report.h"
#include "store/text_fold.h"
#include "support/pg_cluster.h"
#include "support/temp_dir.h"

namespace {

using store::ArchivedOrder;
using store::ArchiveQuery;
using store::OrderArchive;

constexpr std::int64_t kNow = 1767225600;  // 2026-01-01, after every generated pay time

// Everything a record holds, as one text.
std::string whole(const ArchivedOrder& o) {
  std::string s = std::to_string(o.key) + "|" + o.shop;
  for (const auto& c : o.cells) s += "|" + c;
  for (const auto& l : o.items)
    s += "|" + l.goods + "/" + l.quantity + "/" + l.variant + "/" + l.unit_price + "/" +
         l.line_total;
  for (const auto& st : o.states) s += "|" + st.state + "@" + std::to_string(st.seen);
  return s + "|" + std::to_string(o.first_seen) + "|" + std::to_string(o.last_seen);
}

std::vector<std::string> wholes(const std::vector<ArchivedOrder>& found) {
  std::vector<std::string> out;
  for (const auto& o : found) out.push_back(whole(o));
  return out;
}

// Generated orders, some with full-width texts and LIKE's own characters.
std::vector<store::OrderReading> orders(int n) {
  OrderGenerator generator(5);
  auto rows = generator.page(n);
  for (std::size_t i = 0; i < rows.size(); i += 7) {
    rows[i].cells[2] = "Ｗａｎｇ　" + rows[i].cells[2];
    rows[i].cells[17] = i % 2 ? "要ＳＦ顺丰，１００%_满意\\" : "请尽快发货，谢谢！";
  }
  return rows;
}

constexpr int kOrders = 7000;  // more than a slice of a copy or a report's reading

// Both stores filled once for the tests, which only read them.
struct Stores {
  testing_support::TempDir dir;
  store::Database file_db{dir.path() / "weihe-orders.db"};
  store::Database server_db{
      store::Database::Shared{testing_support::pg_cluster().new_database(), ""}};
  OrderArchive file{file_db}, server{server_db};
  std::string filled;  // why they could not be filled; empty when they were
};

class ArchiveOnBothStores : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testing_support::pg_cluster().running()) return;
    stores = new Stores;
    // Two shops; then a second listing that pays, ships and completes some.
    const auto rows = orders(kOrders);
    std::string error;
    for (auto* archive : {&stores->file, &stores->server}) {
      for (std::size_t from = 0; from < rows.size(); from += 500) {
        const std::vector<store::OrderReading> page(rows.begin() + from, rows.begin() + from + 500);
        if (archive->record(from % 1000 ? "b@mall" : "a@mall", page, OrderArchive::Source::List,
                            &error, kNow) != 500)
          stores->filled += error + "\n";
      }
      std::vector<store::OrderReading> later(rows.begin(), rows.begin() + 500);
      for (auto& r : later) {
        if (r.cells[6].empty()) r.cells[6] = "2025-12-30 10:00:00";
        r.cells[7] = r.cells[7] == "待发货" ? "待收货" : "已完成";
      }
      if (!archive->record("a@mall", later, OrderArchive::Source::List, &error, kNow + 60))
        stores->filled += error + "\n";
    }
  }
  static void TearDownTestSuite() { delete stores; }
  void SetUp() override {
    ASSERT_TRUE(testing_support::pg_cluster().running()) << testing_support::pg_cluster().problem();
    ASSERT_TRUE(stores->server_db.ok()) << stores->server_db.error();
    ASSERT_EQ(stores->filled, "");
  }

  // The same query on both stores: the same records in the same order.
  std::vector<ArchivedOrder> both(const ArchiveQuery& q) {
    std::string file_error, server_error;
    const auto on_file = file.search(q, &file_error), on_server = server.search(q, &server_error);
    EXPECT_EQ(file_error, "");
    EXPECT_EQ(server_error, "");
    EXPECT_EQ(wholes(on_file), wholes(on_server)) << q.text;
    EXPECT_EQ(file.count(q, &file_error), server.count(q, &server_error)) << q.text;
    return on_file;
  }

  static inline Stores* stores = nullptr;
  store::Database& file_db = stores->file_db;
  store::Database& server_db = stores->server_db;
  OrderArchive& file = stores->file;
  OrderArchive& server = stores->server;
  const std::filesystem::path& dir = stores->dir.path();
  std::string error;
};

TEST_F(ArchiveOnBothStores, EveryQueryFindsTheSameRecordsAsTheirTextsSay) {
  const auto all = both({"", "", "", "", "", 0});
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kOrders));
  std::size_t at = all.size() / 2;
  while (all[at].cells[21].empty()) ++at;
  const ArchivedOrder& some = all[at];  // a shipped one: it has a tracking number
  const std::vector<std::string> needles = {
      "李", "8", "%", "龙井", "sf", "袋装", "68", "西湖龙井", "五常稻花", "ｓｆ０", "wang", "100%_",
      "%_满意\\", "请尽快发货", "朝阳区建设路", some.cells[19].substr(3, 6),
      some.cells[1].substr(8), some.cells[21],
      // The end of one text and the start of the next: in neither.
      some.cells[18].substr(some.cells[18].size() - 3) + some.cells[19].substr(0, 3)};
  for (const std::string& needle : needles) {
    // What the texts say: a record whose searched texts hold the folded needle.
    const std::string folded = store::fold_text(needle);
    std::set<std::string> expected, found;
    for (const auto& o : all)
      for (const std::string& text : store::searched_texts(o))
        if (text.find(folded) != std::string::npos) expected.insert(o.shop + "/" + o.cells[8]);
    for (const auto& o : both({needle, "", "", "", "", 0})) found.insert(o.shop + "/" + o.cells[8]);
    EXPECT_EQ(found, expected) << needle;
    both({needle, "", "", "", "", 7});
    both({needle, "待发货", "", "", "", 200});
    both({needle, "", "2025-01-02", "2025-01-03", "b@mall", 200});
  }
  // Goods' 规格 and prices are not searched; folded texts and telephones are.
  EXPECT_EQ(file.count({"袋装", "", "", "", "", 0}, &error), 0);
  EXPECT_GT(file.count({"wang", "", "", "", "", 0}, &error), kOrders / 8);
  EXPECT_GE(file.count({some.cells[19], "", "", "", "", 0}, &error), 1);
  both({"", "已完成", "2025-12-30", "", "a@mall", 0});
  EXPECT_EQ(file.states(&error), server.states(&error)) << error;

  // The shop's figures read through for_each_paid.
  for (const std::string shop : {"", "a@mall"}) {
    std::vector<std::string> on_file, on_server;
    auto collect = [](std::vector<std::string>& to) {
      return [&to](const store::PaidOrder& o) {
        std::string s =
            o.order_id + "|" + o.pay_time + "|" + o.state + "|" + std::to_string(o.items.size());
        for (const auto& st : o.states) s += "|" + st.state;
        to.push_back(s);
      };
    };
    ASSERT_TRUE(file.for_each_paid(shop, "2025-01-01", "2025-12-31", collect(on_file), &error))
        << error;
    ASSERT_TRUE(server.for_each_paid(shop, "2025-01-01", "2025-12-31", collect(on_server), &error))
        << error;
    EXPECT_GT(on_file.size(), shop.empty() ? 5000u : 2500u);  // every shop: more than a slice
    EXPECT_EQ(on_file, on_server);
    const report::ReportRequest month{
        {"2025-01-01", "2025-01-31"}, report::Grouping::Day, kNow, 48};
    const auto a = report::make_report(file, shop, month, &error),
               b = report::make_report(server, shop, month, &error);
    ASSERT_TRUE(a && b) << error;
    EXPECT_EQ(a->orders, b->orders);
    EXPECT_EQ(a->revenue, b->revenue);
    ASSERT_EQ(a->top_by_quantity.size(), b->top_by_quantity.size());
    for (std::size_t i = 0; i < a->top_by_quantity.size(); ++i)
      EXPECT_EQ(a->top_by_quantity[i].quantity, b->top_by_quantity[i].quantity);
  }
}

TEST_F(ArchiveOnBothStores, ACopyHoldsTheSameArchiveAndASecondCopiesNothing) {
  store::Database copy_db{
      store::Database::Shared{testing_support::pg_cluster().new_database(), ""}};
  OrderArchive copy(copy_db);
  ASSERT_EQ(store::copy_archive(file_db, copy_db, &error), kOrders) << error;
  EXPECT_EQ(store::copy_archive(file_db, copy_db, &error), 0) << error;
  // Into a store that holds them already (recorded there): nothing either.
  EXPECT_EQ(store::copy_archive(file_db, server_db, &error), 0) << error;
  const ArchiveQuery every{"", "", "", "", "", 0};
  EXPECT_EQ(wholes(copy.search(every, &error)), wholes(file.search(every, &error)));
  EXPECT_EQ(wholes(copy.search({"五常稻花", "", "", "", "", 50}, &error)),
            wholes(file.search({"五常稻花", "", "", "", "", 50}, &error)));

  // And back into an empty file, whose own index finds them.
  store::Database back_db{dir / "back.db"};
  OrderArchive back(back_db);
  ASSERT_EQ(store::copy_archive(copy_db, back_db, &error), kOrders) << error;
  EXPECT_EQ(wholes(back.search(every, &error)), wholes(file.search(every, &error)));
  EXPECT_EQ(wholes(back.search({"朝阳区建设路", "", "", "", "", 0}, &error)),
            wholes(file.search({"朝阳区建设路", "", "", "", "", 0}, &error)));
}

}  // namespace
