#pragma once
// The 统计 page as one landscape A4 page of PDF: the store and the range, the
// headline figures, the three charts, the late orders. Written whole or not
// at all. Needs a QApplication (the charts are graphics-scene widgets).
//
// Usage: if (!write_report_pdf(path, report, store_name, &error)) say(error);

#include <QString>

#include "report/shop_report.h"

namespace charts {

bool write_report_pdf(const QString& path, const report::Report& r, const QString& shop, QString* error);

}  // namespace charts
