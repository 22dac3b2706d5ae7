// Waybills for the orders of the table against the stand-in back office, with
// a provider that answers as scripted: no order is ever asked twice where a
// second waybill could come of it, whatever the answers.
#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "core/archive_keeping.h"
#include "fulfilment/shipping.h"
#include "store/waybill_journal.h"
#include "support/mall_login.h"
#include "waybill/waybill_orders.h"

namespace {

using waybill::Outcome;

// Answers each order code as scripted (else with a fresh number), counting the asks.
class ScriptedProvider : public waybill::Provider {
 public:
  ScriptedProvider(std::string name, bool refuses_repeats)
      : m_name(std::move(name)), m_refuses(refuses_repeats) {}
  std::string name() const override { return m_name; }
  waybill::Guarantees guarantees() const override { return {m_refuses}; }
  waybill::OrderAnswer order(const waybill::WaybillRequest& r) override {
    std::lock_guard lock(m_mutex);
    ++asked[r.order_no];
    waybill::OrderAnswer a;
    if (auto it = next.find(r.order_no); it != next.end()) {
      a = it->second;
      next.erase(it);
      return a;
    }
    a.outcome = Outcome::Ordered;
    a.waybill.number =
        "YT9" + std::string(12 - std::min<std::size_t>(12, r.order_id.size()), '0') + r.order_id;
    a.waybill.big_pen = "杭州 西湖";
    return a;
  }
  waybill::CancelAnswer cancel(const waybill::WaybillRequest&, const waybill::Waybill&,
                               const std::string&) override {
    return {true};
  }
  std::map<std::string, int> asked;                  // order number -> requests
  std::map<std::string, waybill::OrderAnswer> next;  // the next answer for an order number

 private:
  std::string m_name;
  bool m_refuses;
  std::mutex m_mutex;
};

waybill::OrderAnswer lost() {
  waybill::OrderAnswer a;
  a.outcome = Outcome::Unknown;
  a.reason = "连接断了";
  return a;
}

class WaybillOrders : public testing_support::MallFixture {
 protected:
  WaybillOrders() {
    ctx.database = &db;
    account.courier = "yuantong";
    sign_in();
    for (int i = 0; i < 25; ++i) mall.add_order(20);
    backoffice::fetch_orders_to_ship(ctx);
    fulfilment::fetch_from_address_id(ctx);
  }
  std::map<std::string, waybill::WaybillOutcome> run(waybill::Provider& p, bool ship = false) {
    std::map<std::string, waybill::WaybillOutcome> by_id;
    for (auto& o : waybill::order_waybills(ctx, p, account, {}, {.ship = ship}))
      by_id[o.order_id] = o;
    return by_id;
  }
  int rows() { return form.row_count(app::kOrderList); }
  std::string order_no(int row) {
    return web::gbk_to_utf8(form.cell(app::kOrderList, row, app::kColOrderNo));
  }
  std::string id(int row) { return web::gbk_to_utf8(form.cell(app::kOrderList, row, app::kColId)); }

  store::Database db{store::Database::beside(settings.path())};
  waybill::Account account;
};

TEST_F(WaybillOrders, ALostAnswerIsUnknownAndNothingIsEverOrderedTwice) {
  ASSERT_GE(rows(), 30);
  ScriptedProvider k100("kuaidi100", false);
  k100.next[order_no(6)] = lost();
  auto first = run(k100);
  ASSERT_EQ(first.size(), static_cast<std::size_t>(rows()));
  int ordered = 0;
  for (auto& [order, o] : first) ordered += o.result == "ordered";
  EXPECT_EQ(ordered, rows() - 1);
  EXPECT_EQ(first[id(6)].result, "unknown");
  EXPECT_TRUE(first[id(6)].waybill.empty());
  EXPECT_FALSE(first[id(0)].label.waybill_number.isEmpty());
  EXPECT_EQ(first[id(0)].label.big_pen, QStringLiteral("杭州 西湖"));

  // Again: every number reused, the unknown one left alone (a repeat could make a second).
  auto second = run(k100);
  for (auto& [order, o] : second)
    EXPECT_EQ(o.result, order == id(6) ? "unknown" : "reused") << order;
  EXPECT_EQ(second[id(0)].waybill, first[id(0)].waybill);
  for (auto& [no, times] : k100.asked) EXPECT_EQ(times, 1) << no;

  // The merchant finds none was made: one new attempt, and that one only.
  std::string error;
  store::WaybillJournal journal(db, app::shop_of(ctx));
  ASSERT_TRUE(journal.resolve_none(id(6), &error)) << error;
  EXPECT_EQ(run(k100)[id(6)].result, "ordered");
  EXPECT_EQ(k100.asked[order_no(6)], 2);
  EXPECT_EQ(journal.live(id(6))->attempt, 2);
}

TEST_F(WaybillOrders, AProviderThatRefusesRepeatsIsAskedAgainAndADuplicateStaysUnknown) {
  ScriptedProvider kdniao("kdniao", true);
  account.courier = "YTO";
  kdniao.next[order_no(0)] = lost();
  EXPECT_EQ(run(kdniao)[id(0)].result, "unknown");
  waybill::OrderAnswer duplicate;
  duplicate.outcome = Outcome::Refused;
  duplicate.duplicate = true;
  duplicate.reason = "订单编号重复";
  kdniao.next[order_no(0)] = duplicate;
  EXPECT_EQ(run(kdniao)[id(0)].result, "unknown");
  const auto third = run(kdniao);
  EXPECT_EQ(third.at(id(0)).result, "ordered");
  EXPECT_EQ(store::WaybillJournal(db, app::shop_of(ctx)).live(id(0))->attempt, 1);
}

TEST_F(WaybillOrders, EachOrderShipsWithItsWaybillOnceAndAnOrderWithoutAPhoneIsRefused) {
  backoffice::fetch_order_details(ctx);
  form.set_cell(app::kOrderList, 1, app::kColPhone, "");
  form.set_cell(app::kOrderList, 2, app::kColState, web::gbk("待收货"));  // left by other means
  ScriptedProvider k100("kuaidi100", false);
  auto done = run(k100, true);
  EXPECT_EQ(done[id(1)].result, "refused");
  EXPECT_EQ(done[id(1)].reason, "没有收货人电话");
  EXPECT_EQ(k100.asked.count(order_no(1)), 0u);
  EXPECT_EQ(done[id(2)].reason, "已经发过货，不取面单");
  EXPECT_EQ(k100.asked.count(order_no(2)), 0u);
  const mall::Order shipped = mall.order(id(0));
  EXPECT_EQ(shipped.state, 30);
  EXPECT_EQ(shipped.tracking_no, done[id(0)].waybill);
  EXPECT_EQ(shipped.courier, "yuantong");
  EXPECT_TRUE(done[id(0)].shipped);
  store::WaybillJournal journal(db, app::shop_of(ctx));
  EXPECT_EQ(journal.live(id(0))->state, "shipped");

  auto again = run(k100, true);
  EXPECT_EQ(again[id(0)].result, "reused");
  EXPECT_TRUE(again[id(0)].shipped);
  int sends = 0;
  for (const auto& r : mall.requests())
    sends += r.target == "/order/send" && r.body.find("order_id=" + id(0)) != std::string::npos;
  EXPECT_EQ(sends, 1);
}

}  // namespace
