// The store several packing stations share, on a throwaway PostgreSQL
// server: claims between stations, new orders seen by one station only, the
// same journals as on the file, and a server that is not there.
#include <gtest/gtest.h>

#include <libpq-fe.h>

#include <condition_variable>
#include <thread>

#include "store/seen_orders.h"
#include "store/shipping_journal.h"
#include "store/station_events.h"
#include "store/tracking_replies.h"
#include "store/waybill_journal.h"
#include "support/pg_cluster.h"

namespace {

class SharedStore : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::pg_cluster().running()) << testing_support::pg_cluster().problem();
    url = testing_support::pg_cluster().new_database();
  }
  std::unique_ptr<store::Database> station(const std::string& name, int lease = 60) {
    auto db = std::make_unique<store::Database>(store::Database::Shared{url, ""});
    db->set_station(name);
    db->set_claim_lease(lease);
    return db;
  }
  std::string url;
  std::string error;
};

store::Shipment shipment_of(const std::string& order_id) {
  store::Shipment s;
  s.order_id = order_id;
  s.order_no = "N" + order_id;
  s.courier = "yuantong";
  s.tracking_no = "YT" + order_id;
  s.sender_id = "7";
  return s;
}

TEST_F(SharedStore, AClaimRefusesOtherStationsUntilItFailsOrItsLeaseEnds) {
  auto one = station("一号台"), two = station("二号台", 1);
  ASSERT_TRUE(one->ok()) << one->error();
  EXPECT_EQ(one->schema_version(), store::Database::current_schema_version());
  store::ShippingJournal j1(*one, "demo@mall"), j2(*two, "demo@mall");

  // Sent and shipped by 一号台: 二号台 is told who has it, before and after.
  ASSERT_EQ(j1.claim("1").outcome, store::Claim::Ours);
  const auto entry = j1.begin(shipment_of("1"), &error);
  ASSERT_TRUE(entry) << error;
  const store::Claim busy = j2.claim("1");
  EXPECT_EQ(busy.outcome, store::Claim::Held);
  EXPECT_EQ(busy.said, "一号台正在发货");
  ASSERT_TRUE(j1.finish(*entry, true, "操作成功", 200, &error)) << error;
  EXPECT_EQ(j2.claim("1").said, "已由一号台发货");
  EXPECT_EQ(j2.entries().front().station, "一号台");  // the journal is shared, and says who

  // Refused by the back office: anyone may try again.
  ASSERT_EQ(j1.claim("2").outcome, store::Claim::Ours);
  const auto refused = j1.begin(shipment_of("2"), &error);
  ASSERT_TRUE(j1.finish(*refused, false, "单号不对", 200, &error));
  EXPECT_EQ(j2.claim("2").outcome, store::Claim::Ours);

  // Claimed, never sent: 一号台's own lease (60 s) keeps it; 二号台's
  // shorter one lets it take the order once that has passed.
  ASSERT_EQ(j1.claim("3").outcome, store::Claim::Ours);
  EXPECT_EQ(j2.claim("3").outcome, store::Claim::Held);
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  EXPECT_EQ(j2.claim("3").outcome, store::Claim::Ours);
  // A request that left is never taken over by time: it is settled by the order's page.
  ASSERT_TRUE(j2.begin(shipment_of("3"), &error));
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  auto three = station("三号台", 1);
  store::ShippingJournal j3(*three, "demo@mall");
  EXPECT_EQ(j3.claim("3").said, "二号台正在发货");
}

TEST_F(SharedStore, FourStationsRacingForTheSameOrdersEachGetOnlyTheirOwn) {
  constexpr int kOrders = 200;
  std::vector<std::unique_ptr<store::Database>> stations;
  for (int s = 0; s < 4; ++s) stations.push_back(station("台" + std::to_string(s)));
  std::vector<std::vector<std::string>> won(4);
  std::vector<std::thread> threads;
  for (int s = 0; s < 4; ++s)
    threads.emplace_back([&, s] {
      store::ShippingJournal j(*stations[s], "demo@mall");
      for (int o = 0; o < kOrders; ++o)
        if (j.claim(std::to_string(o)).outcome == store::Claim::Ours) won[s].push_back(std::to_string(o));
    });
  for (auto& t : threads) t.join();
  std::map<std::string, int> owners;
  for (const auto& orders : won)
    for (const auto& o : orders) ++owners[o];
  EXPECT_EQ(owners.size(), static_cast<std::size_t>(kOrders));
  for (const auto& [order, n] : owners) EXPECT_EQ(n, 1) << order;
}

TEST_F(SharedStore, ANewOrderIsNewToOneStationOnly) {
  std::vector<std::unique_ptr<store::Database>> stations;
  for (int s = 0; s < 3; ++s) stations.push_back(station("台" + std::to_string(s)));
  std::vector<std::string> ids;
  for (int i = 0; i < 300; ++i) ids.push_back("o" + std::to_string(i));
  std::vector<std::vector<std::string>> fresh(3);
  std::vector<std::thread> threads;
  for (int s = 0; s < 3; ++s)
    threads.emplace_back([&, s] {
      store::SeenOrders seen(*stations[s], "demo@mall");
      // Overlapping pages of the list, as three polls would read them.
      for (int from = 0; from < 300; from += 50) {
        const std::vector<std::string> page(ids.begin() + from, ids.begin() + std::min(300, from + 100));
        for (auto& id : seen.note(page)) fresh[s].push_back(id);
      }
    });
  for (auto& t : threads) t.join();
  std::map<std::string, int> announced;
  for (const auto& f : fresh)
    for (const auto& id : f) ++announced[id];
  EXPECT_EQ(announced.size(), ids.size());
  for (const auto& [id, n] : announced) EXPECT_EQ(n, 1) << id;
}

TEST_F(SharedStore, TheWaybillJournalAndTrackingAnswersKeepTheirRulesOnTheServer) {
  auto one = station("一号台"), two = station("二号台");
  store::WaybillJournal w1(*one, "demo@mall"), w2(*two, "demo@mall");
  const auto first = w1.begin("1001", "N1001", "kuaidi100", "yuantong", &error);
  ASSERT_TRUE(first) << error;
  EXPECT_EQ(first->attempt, 1);
  EXPECT_FALSE(w2.begin("1001", "N1001", "kuaidi100", "yuantong", &error));
  EXPECT_EQ(error, "一号台正在取号");
  ASSERT_TRUE(w1.finish_failed(first->id, "余额不足", "{}", &error)) << error;
  const auto second = w2.begin("1001", "N1001", "kuaidi100", "yuantong", &error);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(second->attempt, 2);
  // 一号台 starting again leaves 二号台's attempt on its way alone.
  EXPECT_EQ(w1.mark_interrupted(&error), 0);
  EXPECT_EQ(w2.mark_interrupted(&error), 1);

  store::TrackingReplies replies(*one, "demo@mall");
  ASSERT_TRUE(replies.remember("YT1", "yuantong", "{\"a\":1}", true, 1000, &error)) << error;
  ASSERT_TRUE(replies.remember("YT1", "yuantong", "{\"a\":2}", true, 2000, &error)) << error;
  const auto got = store::TrackingReplies(*two, "demo@mall").recent("YT1", 1500);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->reply, "{\"a\":2}");
}

TEST_F(SharedStore, AnotherStationsShipmentReachesAListenerWithinASecondAlsoAfterALostConnection) {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<store::StationEvent> seen;
  auto one = station("一号台");  // the schema, before anyone listens
  store::StationEvents events(url, "", [&](const store::StationEvent& e) {
    std::lock_guard lock(mutex);
    seen.push_back(e);
    arrived.notify_all();
  });
  auto wait_for = [&](std::size_t n, std::chrono::milliseconds most) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, most, [&] { return seen.size() >= n; });
  };
  for (int i = 0; i < 200 && events.last_seen() < 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  auto two = station("二号台");
  store::ShippingJournal journal(*two, "demo@mall");
  auto ship = [&](const std::string& id) {
    ASSERT_EQ(journal.claim(id).outcome, store::Claim::Ours);
    const auto entry = journal.begin(shipment_of(id), &error);
    ASSERT_TRUE(entry) << error;
    ASSERT_TRUE(journal.finish(*entry, true, "操作成功", 200, &error)) << error;
  };
  ship("1");
  ASSERT_TRUE(wait_for(1, std::chrono::milliseconds(1000)));
  EXPECT_EQ(seen[0].order_id, "1");
  EXPECT_EQ(seen[0].station, "二号台");
  EXPECT_EQ(seen[0].detail, "YT1");

  // The listener's connection is cut; what is shipped meanwhile arrives after it is back.
  std::unique_ptr<PGconn, void (*)(PGconn*)> admin(PQconnectdb(url.c_str()), PQfinish);
  PQclear(PQexec(admin.get(),
                 "SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                 "WHERE application_name = 'weihe-orders-events'"));
  ship("2");
  ship("3");
  ASSERT_TRUE(wait_for(3, std::chrono::milliseconds(8000)));
  EXPECT_EQ(seen[1].order_id, "2");
  EXPECT_EQ(seen[2].order_id, "3");
}

TEST_F(SharedStore, AServerThatDoesNotAnswerOrCannotIndexChineseIsRefusedWithWhy) {
  store::Database gone(store::Database::Shared{"host=127.0.0.1 port=1 dbname=weihe connect_timeout=2", ""});
  EXPECT_FALSE(gone.ok());
  EXPECT_NE(gone.error().find("127.0.0.1:1/weihe"), std::string::npos) << gone.error();
  store::ShippingJournal journal(gone, "demo@mall");
  EXPECT_EQ(journal.claim("1").outcome, store::Claim::Failed);

  store::Database c_ctype(store::Database::Shared{testing_support::pg_cluster().new_database_with_ctype("C"), ""});
  EXPECT_FALSE(c_ctype.ok());
  EXPECT_NE(c_ctype.error().find("UTF-8"), std::string::npos) << c_ctype.error();
}

}  // namespace
