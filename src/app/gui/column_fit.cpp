#include "app/gui/column_fit.h"

#include <QAbstractProxyModel>
#include <QHeaderView>
#include <QStyleOptionViewItem>
#include <QTableView>

#include <algorithm>

#include "core/form.h"
#include "core/settings.h"

namespace app {

namespace {

constexpr int kCapped = 220;     // the long texts' columns
constexpr int kWidest = 400;     // any other column
constexpr int kMeasuredRows = 1000;  // as many as the view itself measures

// What a column needs for its title and the cells of the table's rows,
// whether a search shows them or not: fitted to the rows shown, a search
// that hides every row would leave each column as narrow as its title.
int needed_width(QTableView* orders, int column) {
  const auto* shown = qobject_cast<const QAbstractProxyModel*>(orders->model());
  const QAbstractItemModel* table = shown ? shown->sourceModel() : orders->model();
  QStyleOptionViewItem option;
  option.initFrom(orders);
  option.widget = orders;
  option.font = orders->font();
  QAbstractItemDelegate* delegate = orders->itemDelegateForColumn(column);
  if (!delegate) delegate = orders->itemDelegate();
  const int grid = orders->showGrid() ? 1 : 0;
  int width = orders->horizontalHeader()->sectionSizeHint(column);
  const int rows = std::min(table->rowCount(), kMeasuredRows);
  for (int r = 0; r < rows; ++r)
    width = std::max(width, delegate->sizeHint(option, table->index(r, column)).width() + grid);
  return width;
}

const Text kSection = "layout";
const Text kKey = "fit_columns";

}  // namespace

void fit_order_columns(QTableView* orders) {
  QHeaderView* header = orders->horizontalHeader();
  int total = 0;
  for (int c = 0; c < header->count(); ++c) {
    if (header->sectionSize(c) == 0 || header->isSectionHidden(c)) continue;  // 店铺, 总价
    const bool capped = c == kColMessage || c == kColAddress || c == kColGoods ||
                        c == kColTrackingInfo;
    orders->setColumnWidth(c, std::clamp(needed_width(orders, c), 24, capped ? kCapped : kWidest));
    total += header->sectionSize(c);
  }
  const int room = orders->viewport()->width() - total;
  if (room > 0 && kColAddress < header->count())
    orders->setColumnWidth(kColAddress, header->sectionSize(kColAddress) + room);
}

bool column_fitting(const Settings& settings) {
  return settings.read_setting(kKey, kSection) != "0";
}

void save_column_fitting(Settings& settings, bool on) {
  settings.write_setting(kKey, on ? "1" : "0", kSection);
}

}  // namespace app
