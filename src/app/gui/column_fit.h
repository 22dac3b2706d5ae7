#pragma once
// The order list's columns as wide as what the table's rows hold, those a
// search hides as well: order numbers, amounts and times in full, the
// address, message, goods and tracking columns capped (their tooltips hold
// the whole cell), the hidden columns left hidden, and a view wider than the
// columns gives the rest to the address. The merchant can keep the system's
// widths instead (恢复默认列宽): key `fit_columns` of section `layout`
// remembers the choice.
//
// Usage: if (column_fitting(settings)) fit_order_columns(view);

class QTableView;

namespace app {

class Settings;

void fit_order_columns(QTableView* orders);
bool column_fitting(const Settings& settings);  // true unless turned off
void save_column_fitting(Settings& settings, bool on);

}  // namespace app
