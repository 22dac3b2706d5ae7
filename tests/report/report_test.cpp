// The shop's figures against figures worked out by hand, over a few orders
// that cover what is easy to get wrong: unpaid orders, several goods lines,
// a member's three orders, shipped here and shipped elsewhere, empty days, a
// month's end, "¥", "￥" and "元"; then the same read from a real archive.
#include <gtest/gtest.h>

#include <ctime>

#include "exchange/package_maker.h"
#include "report/amounts.h"
#include "report/report_output.h"
#include "report/shop_report.h"
#include "store/shipping_journal.h"
#include "store/tracking_replies.h"
#include "support/temp_dir.h"

namespace {

using report::Grouping;

// Unix time of a local calendar time, whatever the machine's zone.
std::int64_t local(int y, int mo, int d, int h) {
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

const std::string kProblemReply =
    R"({"status":"1","state":"2","data":[{"time":"2026-12-02 08:00:00","context":"地址不详，无法派送"}]})";

std::vector<store::PaidOrder> hand_orders() {
  store::PaidOrder a{"1", "N1", "张三", "¥100.50", "2026-11-29 10:00:00", "待收货", "SF1",
                     {{"龙井", "2", "罐装", "¥30.00", "¥60.00"}, {"白茶", "1", "", "¥40.50", "¥40.50"}}};
  a.shipped_time = "2026-11-29 16:00:00+08:00";  // by this program: 6 hours
  store::PaidOrder b{"2", "N2", "张三", "￥20", "2026-11-29 12:00:00", "待发货"};  // 72 hours late
  store::PaidOrder c{"3", "N3", "张三", "30.25元", "2026-12-01 08:00:00", "待收货", "YT3",
                     {{"龙井", "1", "罐装", "30.25", "30.25"}}};
  c.states = {{"待发货", local(2026, 12, 1, 9)}, {"待收货", local(2026, 12, 2, 8)}};  // elsewhere: 24 hours
  c.tracking_reply = kProblemReply;
  c.reply_fetched = local(2026, 12, 2, 9);
  store::PaidOrder d{"4", "N4", "李四", "1,000.00", "2026-12-01 09:00:00", "待发货"};  // 27 hours: not late
  store::PaidOrder unpaid{"5", "N5", "王五", "¥9.00", "", "待付款"};
  return {a, b, c, d, unpaid};
}

TEST(ShopReport, FiguresEqualThoseWorkedOutByHand) {
  report::ReportBuilder builder({{"2026-11-29", "2026-12-02"}, Grouping::Day, local(2026, 12, 2, 12), 48});
  for (const auto& o : hand_orders()) builder.add(o);
  const report::Report r = builder.finish();

  EXPECT_EQ(r.orders, 4);  // the unpaid one is not counted
  EXPECT_EQ(r.revenue, 115075);
  EXPECT_EQ(r.average_order, 28769);  // 287.6875 rounds half up
  ASSERT_EQ(r.periods.size(), 4u);  // across the month's end, empty days included
  const std::vector<std::tuple<std::string, int, std::int64_t>> days = {
      {"2026-11-29", 2, 12050}, {"2026-11-30", 0, 0}, {"2026-12-01", 2, 103025}, {"2026-12-02", 0, 0}};
  for (std::size_t i = 0; i < days.size(); ++i) {
    EXPECT_EQ(r.periods[i].period.label, std::get<0>(days[i]));
    EXPECT_EQ(r.periods[i].orders, std::get<1>(days[i]));
    EXPECT_EQ(r.periods[i].revenue, std::get<2>(days[i]));
  }
  ASSERT_EQ(r.top_by_quantity.size(), 2u);
  EXPECT_EQ(r.top_by_quantity[0].goods, "龙井");
  EXPECT_EQ(r.top_by_quantity[0].quantity, 3);
  EXPECT_EQ(r.top_by_quantity[0].revenue, 9025);
  EXPECT_EQ(r.top_by_revenue[0].goods, "龙井");
  EXPECT_EQ(r.ship_hours.count, 2);
  EXPECT_DOUBLE_EQ(r.ship_hours.median, 15);
  EXPECT_DOUBLE_EQ(r.ship_hours.p90, 24);
  EXPECT_EQ(r.ship_hours.histogram[1], 1);  // 6-12 h
  EXPECT_EQ(r.ship_hours.histogram[3], 1);  // 1-2 days
  ASSERT_EQ(r.late.size(), 1u);
  EXPECT_EQ(r.late[0].id, "2");
  EXPECT_EQ(r.late[0].hours, 72);
  EXPECT_EQ(r.repeat_buyers.members, 1);
  EXPECT_EQ(r.repeat_buyers.orders, 3);
  EXPECT_EQ(r.repeat_buyers.revenue, 15075);
  ASSERT_EQ(r.problem_parcels.size(), 1u);
  EXPECT_EQ(r.problem_parcels[0].order_no, "N3");

  // The workbook's figures are numbers a spreadsheet can add up.
  testing_support::TempDir dir;
  ASSERT_EQ(report::write_report_workbook(dir.path() / "r.xlsx", r), "");
  const std::string overview =
      exchange_test::read_part(dir.path() / "r.xlsx", "xl/worksheets/sheet1.xml");
  for (const char* figure :
       {"<v>4</v>", "<v>1150.75</v>", "<v>287.69</v>", "<v>15</v>", "<v>1</v>"})
    EXPECT_NE(overview.find(figure), std::string::npos) << figure << "\n" << overview;
  const std::string by_period =
      exchange_test::read_part(dir.path() / "r.xlsx", "xl/worksheets/sheet2.xml");
  EXPECT_NE(by_period.find("<v>1030.25</v>"), std::string::npos) << by_period;
  EXPECT_NE(by_period.find("<v>2</v>"), std::string::npos);

  const auto json = report::report_json(r);
  EXPECT_EQ(json["revenue"], "1150.75");
  EXPECT_EQ(json["average_order"], "287.69");
  EXPECT_EQ(json["by_period"][2]["revenue"], "1030.25");
  EXPECT_EQ(json["repeat_buyers"]["revenue"], "150.75");

  // Shipped by this program an hour ago, listed 待发货 before that: not late.
  report::ReportBuilder shipped_here({{"2026-11-29", "2026-12-02"}, Grouping::Day, local(2026, 12, 2, 12), 48});
  store::PaidOrder f{"7", "N7", "钱七", "¥1.00", "2026-11-29 10:00:00", "待发货"};
  f.shipped_time = "2026-12-02 11:00:00+08:00";
  shipped_here.add(f);
  EXPECT_TRUE(shipped_here.finish().late.empty());

  // First seen already on its way: when it left is not known.
  report::ReportBuilder seen_late({{"2026-11-29", "2026-12-02"}, Grouping::Day, local(2026, 12, 2, 12), 48});
  store::PaidOrder e{"6", "N6", "赵六", "¥1.00", "2026-11-30 10:00:00", "待收货"};
  e.states = {{"待收货", local(2026, 12, 2, 8)}};
  seen_late.add(e);
  EXPECT_EQ(seen_late.finish().ship_hours.count, 0);

  report::ReportBuilder weeks({{"2026-11-29", "2026-12-02"}, Grouping::Week, local(2026, 12, 2, 12), 48});
  for (const auto& o : hand_orders()) weeks.add(o);
  const report::Report w = weeks.finish();
  ASSERT_EQ(w.periods.size(), 2u);  // Sunday 11-29 ends its week; 11-30 is a Monday
  EXPECT_EQ(w.periods[0].period.label, "2026-11-23");
  EXPECT_EQ(w.periods[0].orders, 2);
  EXPECT_EQ(w.periods[1].period.label, "2026-11-30");
  EXPECT_EQ(w.periods[1].orders, 2);
}

TEST(ShopReport, AnEmptyRangeGivesZerosAndSaysWhyAndABackwardRangeIsRefused) {
  const report::Report r = report::ReportBuilder({{"2026-02-01", "2026-02-28"}, Grouping::Month, 0, 48}).finish();
  EXPECT_EQ(r.orders, 0);
  EXPECT_EQ(r.average_order, 0);
  EXPECT_EQ(r.ship_hours.median, 0);
  ASSERT_EQ(r.periods.size(), 1u);
  EXPECT_EQ(r.periods[0].period.label, "2026-02");
  EXPECT_FALSE(report::empty_report_sentence(r).empty());
  EXPECT_TRUE(report::range_problem({"2026-03-02", "2026-03-01"}).has_value());
  EXPECT_TRUE(report::range_problem({"2026-02-30", "2026-03-01"}).has_value());
  EXPECT_FALSE(report::range_problem({"2026-03-01", "2026-03-01"}).has_value());
}

TEST(ReportRange, PresetsAndPeriodsAcrossAYearsEndAndALeapDay) {
  using report::Preset;
  auto range = [](Preset p, const char* today) {
    const report::Range r = report::preset_range(p, today);
    return r.since + ".." + r.until;
  };
  EXPECT_EQ(range(Preset::LastMonth, "2026-01-15"), "2025-12-01..2025-12-31");
  EXPECT_EQ(range(Preset::ThisMonth, "2026-03-31"), "2026-03-01..2026-03-31");
  EXPECT_EQ(range(Preset::Last7Days, "2026-03-03"), "2026-02-25..2026-03-03");
  EXPECT_EQ(range(Preset::Yesterday, "2026-01-01"), "2025-12-31..2025-12-31");

  const auto months = report::periods_of({"2025-12-15", "2026-02-10"}, Grouping::Month);
  ASSERT_EQ(months.size(), 3u);
  EXPECT_EQ(months[0].label + " " + months[0].since + ".." + months[0].until, "2025-12 2025-12-15..2025-12-31");
  EXPECT_EQ(months[1].since + ".." + months[1].until, "2026-01-01..2026-01-31");
  EXPECT_EQ(months[2].since + ".." + months[2].until, "2026-02-01..2026-02-10");
  EXPECT_EQ(report::periods_of({"2024-02-27", "2024-03-01"}, Grouping::Day).size(), 4u);  // 02-29
}

TEST(Amounts, ReadExactlyToTheFen) {
  EXPECT_EQ(report::amount_fen("¥1,234.50"), 123450);
  EXPECT_EQ(report::amount_fen("￥88"), 8800);
  EXPECT_EQ(report::amount_fen("39.9元"), 3990);
  EXPECT_EQ(report::amount_fen("１２.０５"), 1205);
  EXPECT_EQ(report::amount_fen("-¥0.30"), -30);
  EXPECT_EQ(report::amount_fen("0.105"), 11);
  EXPECT_EQ(report::amount_fen("¥-3.00"), -300);
  EXPECT_EQ(report::amount_fen(" 1,000.5 元 "), 100050);
  EXPECT_EQ(report::amount_fen("￥１２　"), std::nullopt);  // an ideographic space is no blank here
  EXPECT_EQ(report::amount_fen("面议"), std::nullopt);
  EXPECT_EQ(report::amount_fen(""), std::nullopt);
  EXPECT_EQ(report::yuan_text(-30), "-0.30");
  EXPECT_EQ(report::yuan_text(123450), "1234.50");
}

TEST(ShopReport, ReadsTheArchiveOfOneShopWithTheJournalAndTrackingJoined) {
  testing_support::TempDir dir;
  store::Database db(dir.path() / "weihe-orders.db");
  store::OrderArchive archive(db);
  auto reading = [](const std::string& id, const std::string& pay_time, const std::string& state,
                    const std::string& tracking = "") {
    store::OrderReading r;
    r.cells.resize(26);
    r.cells[1] = "N" + id;
    r.cells[2] = "会员" + id;
    r.cells[5] = "¥10.00";
    r.cells[6] = pay_time;
    r.cells[7] = state;
    r.cells[8] = id;
    r.cells[21] = tracking;
    r.items = std::vector<store::GoodsLine>{{"红茶", "2", "", "5.00", "10.00"}};
    return r;
  };
  std::string error;
  ASSERT_TRUE(archive.record("a@mall", {reading("1", "2026-11-30 23:59:59", "待收货", "SF1"),
                                        reading("2", "2026-12-01 00:00:00", "待发货"),
                                        reading("3", "", "待付款"), reading("4", "2026-12-02 00:00:00", "待发货"),
                                        reading("5", "2026-11-29 23:59:59", "待发货")},
                             store::OrderArchive::Source::Detail, &error))
      << error;
  ASSERT_TRUE(archive.record("b@mall", {reading("9", "2026-12-01 10:00:00", "待发货")},
                             store::OrderArchive::Source::Detail, &error));
  store::ShippingJournal journal(db, "a@mall");
  const auto id = journal.begin({0, "", "", "1", "N1", "huitong", "SF1", "7", "unknown", "", {}, ""}, &error);
  ASSERT_TRUE(id && journal.finish(*id, true, "ok", 200, &error)) << error;
  ASSERT_TRUE(store::TrackingReplies(db, "a@mall").remember("SF1", "huitong", kProblemReply, true, local(2026, 12, 2, 9), &error));

  const auto r = report::make_report(archive, "a@mall", {{"2026-11-30", "2026-12-01"}, Grouping::Day, 0, 48}, &error);
  ASSERT_TRUE(r) << error;
  EXPECT_EQ(r->orders, 2);  // not the unpaid one, the days outside, nor the other shop's
  EXPECT_EQ(r->revenue, 2000);
  EXPECT_EQ(r->periods[0].orders, 1);
  EXPECT_EQ(r->periods[1].orders, 1);
  EXPECT_EQ(r->top_by_quantity[0].quantity, 4);
  EXPECT_EQ(r->ship_hours.count, 1);  // the journal's shipment
  ASSERT_EQ(r->problem_parcels.size(), 1u);
  EXPECT_EQ(r->problem_parcels[0].tracking_no, "SF1");
}

}  // namespace
