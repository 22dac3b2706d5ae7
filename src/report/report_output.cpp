#include "report/report_output.h"

#include "exchange/workbook_writer.h"
#include "report/amounts.h"

namespace report {

namespace {

std::string hours_text(double h) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", h);
  return text;
}

std::string share(int part, int whole) {
  if (whole == 0) return "0%";
  return std::to_string((200LL * part + whole) / (2LL * whole)) + "%";
}

}  // namespace

nlohmann::ordered_json report_json(const Report& r) {
  using Json = nlohmann::ordered_json;
  Json j;
  j["since"] = r.range.since;
  j["until"] = r.range.until;
  j["orders"] = r.orders;
  j["revenue"] = yuan_text(r.revenue);
  j["average_order"] = yuan_text(r.average_order);
  Json periods = Json::array();
  for (const PeriodFigures& p : r.periods)
    periods.push_back({{"period", p.period.label}, {"orders", p.orders}, {"revenue", yuan_text(p.revenue)}});
  j["by_period"] = periods;
  auto goods = [](const std::vector<GoodsFigures>& list) {
    Json out = Json::array();
    for (const GoodsFigures& g : list)
      out.push_back({{"goods", g.goods}, {"variant", g.variant}, {"quantity", g.quantity},
                     {"revenue", yuan_text(g.revenue)}});
    return out;
  };
  j["top_goods"] = goods(r.top_by_quantity);
  j["top_goods_by_revenue"] = goods(r.top_by_revenue);
  j["ship_hours"] = {{"count", r.ship_hours.count}, {"median", r.ship_hours.median}, {"p90", r.ship_hours.p90}};
  Json late = Json::array();
  for (const LateOrder& o : r.late)
    late.push_back({{"id", o.id}, {"order_no", o.order_no}, {"pay_time", o.pay_time}, {"hours", o.hours}});
  j["late"] = late;
  j["repeat_buyers"] = {{"members", r.repeat_buyers.members},
                        {"orders", r.repeat_buyers.orders},
                        {"revenue", yuan_text(r.repeat_buyers.revenue)}};
  Json problems = Json::array();
  for (const ProblemParcel& p : r.problem_parcels)
    problems.push_back({{"id", p.id}, {"order_no", p.order_no}, {"tracking_no", p.tracking_no}, {"problem", p.problem}});
  j["problem_parcels"] = problems;
  return j;
}

std::vector<std::string> report_tsv(const Report& r) {
  std::vector<std::string> lines = {"period\torders\trevenue"};
  for (const PeriodFigures& p : r.periods)
    lines.push_back(p.period.label + "\t" + std::to_string(p.orders) + "\t" + yuan_text(p.revenue));
  lines.push_back("合计\t" + std::to_string(r.orders) + "\t" + yuan_text(r.revenue));
  return lines;
}

std::string write_report_workbook(const std::filesystem::path& path, const Report& r) {
  using Rows = std::vector<std::vector<std::string>>;
  using exchange::ColumnKind;
  constexpr ColumnKind kText = ColumnKind::Text, kNumber = ColumnKind::Number,
                       kAmount = ColumnKind::Amount;
  // The headline figures as numbers a spreadsheet can work with, each with
  // its unit and what it means (as the page says it).
  const std::vector<Headline> headlines = headline_figures(r);
  const auto& h = r.ship_hours;
  const std::pair<std::string, const char*> figures[] = {
      {std::to_string(r.orders), "笔"},
      {yuan_text(r.revenue), "元"},
      {yuan_text(r.average_order), "元"},
      {h.count ? hours_text(h.median) : "", "小时"},
      {std::to_string(r.late.size()), "笔"},
      {std::to_string(r.repeat_buyers.members), "人"},
      {std::to_string(r.problem_parcels.size()), "件"}};
  static_assert(std::size(figures) == 7, "one per headline figure");
  Rows overview = {{"时间", r.range.since + " 至 " + r.range.until, "", ""}};
  for (std::size_t i = 0; i < headlines.size() && i < std::size(figures); ++i)
    overview.push_back(
        {headlines[i].caption, figures[i].first, figures[i].second, headlines[i].note});
  Rows periods, goods, hours, late, problems;
  for (const PeriodFigures& p : r.periods) periods.push_back({p.period.label, std::to_string(p.orders), yuan_text(p.revenue)});
  for (const GoodsFigures& g : r.top_by_quantity)
    goods.push_back({g.goods, g.variant, std::to_string(g.quantity), yuan_text(g.revenue)});
  for (std::size_t b = 0; b < ship_hour_bins().size(); ++b)
    hours.push_back({ship_hour_bins()[b], std::to_string(r.ship_hours.histogram[b])});
  for (const LateOrder& o : r.late) late.push_back({o.order_no, o.id, o.pay_time, std::to_string(o.hours)});
  for (const ProblemParcel& p : r.problem_parcels) problems.push_back({p.order_no, p.id, p.tracking_no, p.problem});
  return exchange::write_workbook(
      path, {"项目", "数值", "单位", "说明"}, overview, nullptr,
      {{"按期间", {"期间", "订单数", "销售额"}, periods, {kText, kNumber, kAmount}},
       {"热销商品", {"商品", "规格", "数量", "销售额"}, goods, {kText, kText, kNumber, kAmount}},
       {"发货时长", {"时长", "订单数"}, hours, {kText, kNumber}},
       {"超时未发货",
        {"订单号", "ID", "支付时间", "已等小时"},
        late,
        {kText, kText, kText, kNumber}},
       {"物流异常", {"订单号", "ID", "快递单号", "问题"}, problems}},
      {kText, kNumber, kText, kText});
}

std::vector<Headline> headline_figures(const Report& r) {
  const auto& h = r.ship_hours;
  return {
      {"订单数", std::to_string(r.orders), ""},
      {"销售额", "¥" + yuan_text(r.revenue), ""},
      {"客单价", "¥" + yuan_text(r.average_order), ""},
      {"发货用时（中位）", h.count ? hours_text(h.median) + " 小时" : "—",
       h.count ? "90% 在 " + hours_text(h.p90) + " 小时内，共 " + std::to_string(h.count) + " 笔" : "没有已发货的订单"},
      {"超时未发货", std::to_string(r.late.size()) + " 笔", "付款超过 " + std::to_string(r.late_hours) + " 小时"},
      {"复购会员", std::to_string(r.repeat_buyers.members) + " 人",
       "订单占 " + share(r.repeat_buyers.orders, r.orders) + "，销售额 ¥" + yuan_text(r.repeat_buyers.revenue)},
      {"物流异常", std::to_string(r.problem_parcels.size()) + " 件", ""}};
}

std::string empty_report_sentence(const Report& r) {
  if (r.orders > 0) return {};
  return r.range.since + " 至 " + r.range.until +
         " 没有已付款的订单：统计只看本机存档里有支付时间的订单（获取订单列表时存入）";
}

}  // namespace report
