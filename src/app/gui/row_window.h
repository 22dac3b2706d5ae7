#pragma once
// One order row to read whole: every cell once, under its column's title
// (the long ones, address, message and 物流信息, wrapped; 会员 without
// markup; 物流信息 as the parcel's state and events), selectable but not
// editable, and a button that copies the lot as "title：text" lines.
// Modal; it shows the row as it was when opened.
//
// Usage: app::show_row_window(window, titles, model->row(r));

#include <QString>
#include <QWidget>

#include <vector>

#include "app/wiring/operations.h"
#include "core/form.h"

namespace app {

// `extras`: every goods line of the order and its history, shown below the cells.
void show_row_window(QWidget* parent, const std::vector<Text>& titles, const OrderRow& cells,
                     const OrderExtras& extras = {});
// What the copy button puts on the clipboard.
QString row_window_text(const std::vector<Text>& titles, const OrderRow& cells,
                        const OrderExtras& extras = {});

}  // namespace app
