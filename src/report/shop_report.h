#pragma once
// The shop's figures over a range of pay times, from the order archive: how
// many orders and how much they brought, per period; which goods sell; how
// long paid orders wait to be shipped; which paid orders are late; buyers who
// come back; parcels in trouble. Orders without a pay time are not counted;
// amounts are summed in fen. Texts are UTF-8.
//
// Usage: ReportBuilder b({range, Grouping::Day, now, late_hours});
//        archive.for_each_paid(shop, range.since, range.until, [&](auto& o) { b.add(o); }, &e);
//        Report r = b.finish();

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/settings.h"
#include "report/report_range.h"
#include "store/order_archive.h"

namespace report {

struct PeriodFigures {
  Period period;
  int orders = 0;
  std::int64_t revenue = 0;  // fen
};

struct GoodsFigures {
  std::string goods, variant;
  std::int64_t quantity = 0;
  std::int64_t revenue = 0;  // fen: the lines' 小计 (else unit price × quantity)
};

struct LateOrder {
  std::string id, order_no, pay_time;
  std::int64_t hours = 0;  // whole hours since payment
};

struct ProblemParcel {
  std::string id, order_no, tracking_no, problem;
};

// How long payment to shipment took, in hours.
struct ShipHours {
  int count = 0;
  // The median (the mean of the middle two of an even count) and the 90th
  // percentile (nearest rank), to a tenth of an hour; 0 when none.
  double median = 0, p90 = 0;
  // Orders shipped within 6 h, 6-12 h, 12-24 h, 1-2 days, 2-3 days, later
  // (labels are plain: a chart axis would read "<" as markup).
  std::vector<int> histogram = std::vector<int>(6, 0);
};
// The histogram's bins as a merchant reads them.
const std::vector<std::string>& ship_hour_bins();

struct Report {
  Range range;
  Grouping by = Grouping::Day;
  int orders = 0;
  std::int64_t revenue = 0, average_order = 0;  // fen; the average rounds half up
  int unread_amounts = 0;  // orders whose 支付金额 is no amount (counted, not summed)
  std::vector<PeriodFigures> periods;
  std::vector<GoodsFigures> top_by_quantity, top_by_revenue;  // ten each
  ShipHours ship_hours;
  std::vector<LateOrder> late;  // longest waiting first
  int late_hours = 48;
  struct {
    int members = 0, orders = 0;
    std::int64_t revenue = 0;
  } repeat_buyers;
  std::vector<ProblemParcel> problem_parcels;
};

struct ReportRequest {
  Range range;
  Grouping by = Grouping::Day;
  std::int64_t now = 0;  // Unix time
  int late_hours = 48;
};

class ReportBuilder {
 public:
  explicit ReportBuilder(ReportRequest request);
  void add(const store::PaidOrder& order);
  Report finish();

 private:
  ReportRequest m_request;
  Report m_report;
  std::int64_t m_now_civil = 0;
  std::map<std::string, std::size_t, std::less<>> m_period_of_day;  // first day of each period
  // By goods and 规格 joined with a unit separator; m_key is reused for lookups.
  std::unordered_map<std::string, GoodsFigures> m_goods;
  std::string m_key;
  struct Buyer {
    int orders = 0;
    std::int64_t revenue = 0;
  };
  std::unordered_map<std::string, Buyer> m_buyers;
  std::vector<double> m_ship_hours;
};

// Key `late_hours` of section `report` of the settings file: 48 unless set (1 to 8760).
int late_hours_setting(const app::Settings& settings);

// The figures of `shop` (empty: every shop) for the request, or nothing with `error`.
std::optional<Report> make_report(store::OrderArchive& archive, const std::string& shop,
                                  const ReportRequest& request, std::string* error);


}  // namespace report
