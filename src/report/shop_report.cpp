#include "report/shop_report.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "core/goods_lines.h"
#include "fulfilment/tracking_reply.h"
#include "report/amounts.h"
#include "store/civil_time.h"

namespace report {

namespace {

constexpr const char* kToShip = "待发货";
constexpr const char* kToReceive = "待收货";

// The line's revenue: its 小计, else unit price × quantity, else nothing.
std::int64_t line_revenue(const store::GoodsLine& line, std::int64_t quantity) {
  if (auto total = amount_fen(line.line_total)) return *total;
  if (auto price = amount_fen(line.unit_price)) return *price * quantity;
  return 0;
}

double nearest_rank(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

double tenths(double hours) {
  return std::round(hours * 10) / 10;
}

int bin_of(double hours) {
  const double edges[] = {6, 12, 24, 48, 72};
  int bin = 0;
  while (bin < 5 && hours >= edges[bin]) ++bin;
  return bin;
}

}  // namespace

const std::vector<std::string>& ship_hour_bins() {
  static const std::vector<std::string> bins = {"6时内", "6-12时", "12-24时", "1-2天", "2-3天", "3天后"};
  return bins;
}

ReportBuilder::ReportBuilder(ReportRequest request) : m_request(std::move(request)) {
  m_report.range = m_request.range;
  m_report.by = m_request.by;
  m_report.late_hours = m_request.late_hours;
  m_now_civil = store::local_civil_seconds(m_request.now);
  for (const Period& p : periods_of(m_request.range, m_request.by)) {
    m_period_of_day[p.since] = m_report.periods.size();
    m_report.periods.push_back({p});
  }
}

void ReportBuilder::add(const store::PaidOrder& o) {
  const auto paid_at = store::civil_seconds(o.pay_time);
  if (!paid_at) return;
  ++m_report.orders;
  const auto paid = amount_fen(o.paid);
  if (!paid) ++m_report.unread_amounts;
  const std::int64_t fen = paid.value_or(0);
  m_report.revenue += fen;

  // The period whose first day is the last one not after the payment's day.
  if (auto it = m_period_of_day.upper_bound(std::string_view(o.pay_time).substr(0, 10));
      it != m_period_of_day.begin()) {
    PeriodFigures& p = m_report.periods[std::prev(it)->second];
    ++p.orders;
    p.revenue += fen;
  }

  for (const store::GoodsLine& line : o.items) {
    m_key.assign(line.goods).append(1, '\x1f').append(line.variant);
    auto found = m_goods.find(m_key);
    if (found == m_goods.end()) found = m_goods.emplace(m_key, GoodsFigures{line.goods, line.variant}).first;
    GoodsFigures& g = found->second;
    const std::int64_t q = app::quantity_of(line.quantity).value_or(0);
    g.quantity += q;
    g.revenue += line_revenue(line, q);
  }

  if (!o.member.empty()) {
    Buyer& b = m_buyers[o.member];
    ++b.orders;
    b.revenue += fen;
  }

  // Shipped: by this program (the journal), else when first seen on its
  // way, if it was seen in another state before (an order first seen on its
  // way says nothing of when it left).
  std::optional<std::int64_t> shipped_at = store::civil_seconds(o.shipped_time);
  if (!shipped_at)
    for (std::size_t i = 1; i < o.states.size(); ++i)
      if (o.states[i].state == kToReceive) {
        shipped_at = store::local_civil_seconds(o.states[i].seen);
        break;
      }
  if (shipped_at && *shipped_at >= *paid_at) m_ship_hours.push_back((*shipped_at - *paid_at) / 3600.0);

  // Shipped by this program is shipped, though the archive has not seen the
  // order on its way yet.
  if (o.state == kToShip && o.shipped_time.empty() &&
      m_now_civil - *paid_at > std::int64_t{m_request.late_hours} * 3600)
    m_report.late.push_back({o.order_id, o.order_no, o.pay_time, (m_now_civil - *paid_at) / 3600});

  if (!o.tracking_reply.empty()) {
    const fulfilment::TrackingReply reply = fulfilment::parse_tracking_reply(o.tracking_reply);
    // Judged as of the answer: an old answer is not stale for being old now.
    const std::string problem = fulfilment::problem_of(reply, static_cast<std::time_t>(o.reply_fetched));
    if (!problem.empty()) m_report.problem_parcels.push_back({o.order_id, o.order_no, o.tracking_no, problem});
  }
}

Report ReportBuilder::finish() {
  Report r = std::move(m_report);
  if (r.orders > 0) r.average_order = (2 * r.revenue + r.orders) / (2 * r.orders);  // half up

  std::vector<GoodsFigures> goods;
  for (auto& entry : m_goods) goods.push_back(entry.second);
  // Ties in a fixed order, whatever the table's order was.
  std::sort(goods.begin(), goods.end(), [](const GoodsFigures& a, const GoodsFigures& b) {
    return std::tie(a.goods, a.variant) < std::tie(b.goods, b.variant);
  });
  auto top = [&](auto better) {
    std::vector<GoodsFigures> sorted = goods;
    std::stable_sort(sorted.begin(), sorted.end(), better);
    if (sorted.size() > 10) sorted.resize(10);
    return sorted;
  };
  r.top_by_quantity = top([](const GoodsFigures& a, const GoodsFigures& b) { return a.quantity > b.quantity; });
  r.top_by_revenue = top([](const GoodsFigures& a, const GoodsFigures& b) { return a.revenue > b.revenue; });

  std::sort(m_ship_hours.begin(), m_ship_hours.end());
  r.ship_hours.count = static_cast<int>(m_ship_hours.size());
  if (!m_ship_hours.empty()) {
    const std::size_t n = m_ship_hours.size();
    const double median = n % 2 ? m_ship_hours[n / 2] : (m_ship_hours[n / 2 - 1] + m_ship_hours[n / 2]) / 2;
    r.ship_hours.median = tenths(median);
    r.ship_hours.p90 = tenths(nearest_rank(m_ship_hours, 0.9));
  }
  for (double h : m_ship_hours) ++r.ship_hours.histogram[static_cast<std::size_t>(bin_of(h))];

  std::stable_sort(r.late.begin(), r.late.end(), [](const LateOrder& a, const LateOrder& b) { return a.hours > b.hours; });

  for (const auto& [member, b] : m_buyers)
    if (b.orders >= 2) {
      ++r.repeat_buyers.members;
      r.repeat_buyers.orders += b.orders;
      r.repeat_buyers.revenue += b.revenue;
    }
  return r;
}

std::optional<Report> make_report(store::OrderArchive& archive, const std::string& shop,
                                  const ReportRequest& request, std::string* error) {
  ReportBuilder builder(request);
  if (!archive.for_each_paid(shop, request.range.since, request.range.until,
                             [&](const store::PaidOrder& o) { builder.add(o); }, error))
    return std::nullopt;
  return builder.finish();
}

int late_hours_setting(const app::Settings& settings) {
  return settings.read_number(web::gbk("late_hours"), web::gbk("report"), 48, 1, 8760);
}

}  // namespace report
