#pragma once
// The report's three charts, drawn by Qt Charts: orders (bars) and revenue
// (a line, on its own axis) per period; the best-selling goods (horizontal
// bars); how long paid orders waited to be shipped (a histogram). The same
// charts go on the 统计 page and into its PDF.
//
// Usage: auto* view = new QChartView(period_chart(report));  // the view owns it

#include <QChart>

#include "report/shop_report.h"

namespace charts {

QChart* period_chart(const report::Report& r);
QChart* top_goods_chart(const report::Report& r);
QChart* ship_hours_chart(const report::Report& r);

// A period's label on the axis: "12-09" for a day, "12-07周" for a week, "2026-12" for a month.
QString axis_label(const report::Report& r, const report::PeriodFigures& p);

}  // namespace charts
