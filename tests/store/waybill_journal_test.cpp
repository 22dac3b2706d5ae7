// The waybill journal: an order never has two live waybills, whatever
// order the attempts, answers and processes come in.
#include <gtest/gtest.h>

#include "store/waybill_journal.h"
#include "support/temp_dir.h"

namespace {

class WaybillJournalTest : public ::testing::Test {
 protected:
  testing_support::TempDir dir{"weihe-waybills"};
  store::Database db{dir.path() / "weihe-orders.db"};
  store::WaybillJournal journal{db, "demo@mall"};
  std::string error;
};

TEST_F(WaybillJournalTest, OneLiveWaybillPerOrderUntilItFailsOrIsCancelled) {
  auto first = journal.begin("1001", "N1001", "kuaidi100", "yuantong", &error);
  ASSERT_TRUE(first) << error;
  EXPECT_EQ(first->attempt, 1);
  // Sending, then ordered: no second attempt either way, not from another connection either.
  EXPECT_FALSE(journal.begin("1001", "N1001", "kuaidi100", "yuantong", &error));
  store::Database other(dir.path() / "weihe-orders.db");
  EXPECT_FALSE(store::WaybillJournal(other, "demo@mall")
                   .begin("1001", "N1001", "kuaidi100", "yuantong", &error));
  // Another shop's order of the same id is its own.
  EXPECT_TRUE(store::WaybillJournal(db, "other@mall")
                  .begin("1001", "N1001", "kuaidi100", "yuantong", &error));

  ASSERT_TRUE(journal.finish_ordered(first->id, {"YT1234567890123", "T1", "K1", "杭州", "", "", ""},
                                     "{}", &error))
      << error;
  EXPECT_EQ(journal.live("1001")->waybill.number, "YT1234567890123");
  EXPECT_FALSE(journal.begin("1001", "N1001", "kuaidi100", "yuantong", &error));
  ASSERT_TRUE(journal.set_state(first->id, "printed", &error)) << error;
  ASSERT_TRUE(journal.set_state(first->id, "shipped", &error)) << error;
  EXPECT_FALSE(journal.set_state(first->id, "printed", &error));  // never back

  ASSERT_TRUE(journal.set_state(first->id, "cancelled", &error, "退回")) << error;
  EXPECT_FALSE(journal.live("1001"));
  auto second = journal.begin("1001", "N1001", "kuaidi100", "yuantong", &error);
  ASSERT_TRUE(second) << error;
  EXPECT_EQ(second->attempt, 2);
  ASSERT_TRUE(journal.finish_failed(second->id, "余额不足", "{\"code\":30004}", &error));
  EXPECT_EQ(journal.begin("1001", "N1001", "kuaidi100", "yuantong", &error)->attempt, 3);
}

TEST_F(WaybillJournalTest, UnknownStaysUntilTheMerchantSettlesIt) {
  auto a = journal.begin("2002", "N2002", "kdniao", "YTO", &error);
  auto b = journal.begin("2003", "N2003", "kdniao", "YTO", &error);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(journal.finish_unknown(a->id, "没有回答", "", &error));
  // A process that ended while sending: its attempt is unknown at the next start.
  EXPECT_EQ(journal.mark_interrupted(&error), 1);
  EXPECT_EQ(journal.live("2003")->state, "unknown");
  EXPECT_FALSE(journal.begin("2002", "N2002", "kdniao", "YTO", &error));

  EXPECT_FALSE(journal.resolve_number("9999", "YT1", &error));
  ASSERT_TRUE(journal.resolve_number("2002", "YT2000000000002", &error)) << error;
  EXPECT_EQ(journal.live("2002")->state, "ordered");
  EXPECT_EQ(journal.live("2002")->waybill.number, "YT2000000000002");
  ASSERT_TRUE(journal.resolve_none("2003", &error)) << error;
  EXPECT_FALSE(journal.live("2003"));
  EXPECT_TRUE(journal.begin("2003", "N2003", "kdniao", "YTO", &error));
  EXPECT_EQ(journal.entries("failed").size(), 1u);
}

}  // namespace
