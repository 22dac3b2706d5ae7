#pragma once
// The window's layout kept between runs in section "layout" of the settings
// file: the order list's column widths (`order_column_widths`, one per
// column of the 26, hidden ones included) and their order on screen
// (`order_column_order`, the column shown at each place), the window's place
// and size (`window`: x,y,width,height) and whether it was maximised
// (`maximized`). Anything unreadable (a width that is not a number, or
// absurd, an order that is not one of the columns each, a window off every
// screen) is left at the system's own layout.
//
// Usage: restore_layout(settings, window, orders_view);   // before show()
//        save_layout(settings, window, orders_view);      // when it closes
//        restore_default_columns(orders_view);            // 恢复默认列宽

#include <span>

#include "core/columns.h"

class QTableView;
class QWidget;

namespace app {

class Settings;

void restore_layout(const Settings& settings, QWidget* window, QTableView* orders);
void save_layout(Settings& settings, const QWidget* window, const QTableView* orders);
// The widths and the order the system gives the order list's columns.
void restore_default_columns(QTableView* orders);

}  // namespace app
