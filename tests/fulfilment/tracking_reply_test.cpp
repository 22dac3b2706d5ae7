// Reading the tracking service's answers, and the batch query of every
// listed parcel against the stand-in's JSON service.
#include "core/archive_keeping.h"
#include "fulfilment/tracking_reply.h"

#include <gtest/gtest.h>

#include <fstream>

#include "fulfilment/tracking.h"
#include "store/shipping_journal.h"
#include "support/mall_login.h"

namespace {

using fulfilment::parse_tracking_reply;
using fulfilment::TrackingReply;
using Kind = TrackingReply::Kind;
using web::gbk;

constexpr const char* kSigned =
    R"({"message":"ok","nu":"YT5363946405","ischeck":"1","state":"3","status":"1","data":[)"
    R"({"time":"2024-05-23 06:36:16","ftime":"2024-05-23 06:36:16","context":"[杭州市] 快件已签收! 感谢使用","location":"杭州市"},)"
    R"({"time":"2024-05-22 20:01:00","ftime":"2024-05-22 20:01:00","context":"[义乌市] 已发出"}]})";

TEST(TrackingReply, JsonAnswerGivesStateAndEventsNewestFirst) {
  const TrackingReply r = parse_tracking_reply(kSigned);
  ASSERT_EQ(r.kind, Kind::Readable);
  EXPECT_EQ(r.state, "3");
  EXPECT_EQ(r.number, "YT5363946405");
  ASSERT_EQ(r.events.size(), 2u);
  EXPECT_EQ(r.events[0].location, "杭州市");
  EXPECT_EQ(fulfilment::tracking_summary(r), "签收 · 05-23 06:36 · [杭州市] 快件已签收");

  // Oldest first as given, a state as a number: still newest first.
  const TrackingReply asc = parse_tracking_reply(
      R"({"status":"1","state":5,"data":[{"time":"2024-05-01 08:00:00","context":"a"},{"time":"2024-05-02 08:00:00","context":"b"}]})");
  ASSERT_EQ(asc.events.size(), 2u);
  EXPECT_EQ(asc.events[0].context, "b");
  EXPECT_EQ(asc.state, "5");
}

TEST(TrackingReply, TextFormWithTabsOrSpaces) {
  const TrackingReply r = parse_tracking_reply(
      "快递公司：圆通速递  运单号：YT1\r\n2017-01-06 09:10:11\t【上海市】 已收入\r\n"
      "2017-01-05 23:01:02  【杭州市】 已发出");
  ASSERT_EQ(r.kind, Kind::Readable);
  ASSERT_EQ(r.events.size(), 2u);
  EXPECT_EQ(r.events[0].time, "2017-01-06 09:10:11");
  EXPECT_EQ(r.events[1].context, "【杭州市】 已发出");
  EXPECT_EQ(r.state, "");
  EXPECT_EQ(fulfilment::tracking_summary(r), "01-06 09:10 · 【上海市】 已收入");
}

TEST(TrackingReply, EveryStateCodeHasItsName) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"0", "在途"},    {"1", "揽收"},    {"2", "疑难"},      {"3", "签收"},   {"4", "退签"},
      {"5", "派件"},    {"6", "退回"},    {"7", "转投"},      {"8", "清关"},   {"10", "待清关"},
      {"11", "清关中"}, {"12", "已清关"}, {"13", "清关异常"}, {"14", "拒签"}, {"9", ""}};
  for (const auto& [code, name] : names) EXPECT_EQ(fulfilment::state_name(code), name) << code;
}

TEST(TrackingReply, ErrorsAndWhatCannotBeRead) {
  const TrackingReply bad_key = parse_tracking_reply(R"({"message":"身份验证失败：无效的key","status":"0"})");
  EXPECT_EQ(bad_key.kind, Kind::Error);
  EXPECT_EQ(bad_key.message, "身份验证失败：无效的key");
  EXPECT_EQ(parse_tracking_reply(R"({"result":false,"returnCode":"400","message":"找不到对应公司"})").kind,
            Kind::Error);
  const TrackingReply text_error = parse_tracking_reply("查询失败：快递单号不能为空");
  EXPECT_EQ(text_error.kind, Kind::Error);
  EXPECT_EQ(text_error.message, "查询失败：快递单号不能为空");

  for (const char* unreadable : {"", "  \r\n", R"({"message":"ok","status":"1","data":[{"time":)",
                                 "<html>502 Bad Gateway</html>", R"({"code":1,"msg":"x"})", "[1,2]"})
    EXPECT_EQ(parse_tracking_reply(unreadable).kind, Kind::Unreadable) << unreadable;
  EXPECT_EQ(fulfilment::tracking_summary(parse_tracking_reply("garbage")), "");
}

TEST(TrackingReply, PercentSequencesDecodedBeforeReading) {
  // The stored reply has been url-decoded as a whole; a literal "%" stays.
  const web::Text stored = web::page_text(web::Bytes(
      R"({"status":"1","state":"0","data":[{"time":"2024-05-23 06:36:16","context":"%E5%B7%B2%E5%8F%91%E5%87%BA 100%"}]})"));
  const TrackingReply r = parse_tracking_reply(web::gbk_to_utf8(stored));
  ASSERT_EQ(r.kind, Kind::Readable);
  EXPECT_EQ(r.events[0].context, "已发出 100%");
}

TEST(TrackingReply, ProblemParcels) {
  std::tm at{};
  at.tm_year = 124, at.tm_mon = 4, at.tm_mday = 23, at.tm_hour = 6, at.tm_min = 36, at.tm_isdst = -1;
  const std::time_t newest = std::mktime(&at);
  TrackingReply r = parse_tracking_reply(kSigned);
  EXPECT_EQ(fulfilment::problem_of(r, newest + 200 * 3600), "");  // signed for: done, not stale
  r.state = "0";
  EXPECT_EQ(fulfilment::problem_of(r, newest + 10 * 3600), "");
  EXPECT_EQ(fulfilment::problem_of(r, newest + 73 * 3600), "72小时没有新动态");
  for (const char* troubled : {"2", "4", "6", "13", "14"}) {
    r.state = troubled;
    EXPECT_EQ(fulfilment::problem_of(r, newest), fulfilment::state_name(troubled));
  }
}

class TrackAll : public testing_support::MallFixture {
 protected:
  TrackAll() : MallFixture(json_service()) {
    ctx.database = &db;
    form.set_text("编辑框7", gbk(mall.options().tracking_key));
    form.set_text("编辑框8", "yunda");
    std::ofstream(settings.path(), std::ios::app) << "[tracking]\r\nmin_interval_ms=150\r\n";
  }
  static mall::Options json_service() {
    mall::Options o;
    o.tracking_json = true;
    return o;
  }
  void add(const char* id, const char* number) {
    app::OrderRow row(app::kOrderColumnCount);
    row[app::kColId] = id;
    row[app::kColOrderNo] = std::string("NO") + id;
    row[app::kColTrackingNo] = number;
    form.append_row(app::kOrderList, row);
  }
  std::vector<mall::RecordedRequest> queries() {
    std::vector<mall::RecordedRequest> out;
    for (auto& r : mall.requests())
      if (r.target.rfind("/api", 0) == 0) out.push_back(r);
    return out;
  }

  store::Database db{store::Database::beside(settings.path())};
};

TEST_F(TrackAll, CountsStatesFlagsProblemsAndAsksNoNumberTwiceWithinTheWindow) {
  mall.set_parcel_state("A1", {3, 5});
  mall.set_parcel_state("A2", {4, 1});    // 退签
  mall.set_parcel_state("A3", {0, 100});  // in transit, silent for 100 hours
  mall.set_parcel_state("A4", {0, 2});
  add("1", "A1");
  add("2", "A2");
  add("3", "");  // nothing to ask
  add("4", "A3");
  add("5", "A4");
  // Order 5 was shipped with yuantong: that is the courier asked about.
  store::ShippingJournal journal(db, app::shop_of(ctx));
  std::string error;
  store::Shipment shipped;
  shipped.order_id = "5";
  shipped.courier = "yuantong";
  journal.finish(*journal.begin(shipped, &error), true, "操作成功", 200, &error);

  fulfilment::query_all_tracking(ctx);

  const auto first = queries();
  ASSERT_EQ(first.size(), 4u);
  EXPECT_NE(first[3].target.find("com=yuantong&nu=A4"), std::string::npos) << first[3].target;
  EXPECT_NE(first[0].target.find("com=yunda&nu=A1"), std::string::npos);
  for (std::size_t i = 1; i < first.size(); ++i)
    EXPECT_GE(first[i].at - first[i - 1].at, std::chrono::milliseconds(140)) << i;
  EXPECT_TRUE(form.cell(app::kOrderList, 2, app::kColTrackingInfo).empty());
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColTrackingInfo).substr(0, 12), R"({"message":")");
  // The status line counts the parcels as they are asked about.
  EXPECT_EQ(form.statuses, (std::vector<web::Text>{gbk("物流 1/4"), gbk("物流 2/4"),
                                                   gbk("物流 3/4"), gbk("物流 4/4")}));
  ASSERT_EQ(form.messages.size(), 1u);
  const std::string report = web::gbk_to_utf8(form.messages[0].text);
  for (const char* part : {"查询了4个包裹", "在途 2个", "签收 1个", "退签 1个", "需要留意的包裹（2个）",
                           "快递单号 A2：退签", "快递单号 A3：72小时没有新动态"})
    EXPECT_NE(report.find(part), std::string::npos) << part << "\n" << report;

  // Again at once, as after a restart: the answers are reused, nothing is sent.
  store::Database reopened(db.path());
  ctx.database = &reopened;
  const auto again = fulfilment::query_listed_parcels(ctx);
  EXPECT_EQ(queries().size(), 4u);
  ASSERT_EQ(again.size(), 4u);
  for (const auto& p : again) EXPECT_TRUE(p.cached) << web::gbk_to_utf8(p.tracking_no);
  EXPECT_EQ(again[1].problem, "退签");
}

}  // namespace
