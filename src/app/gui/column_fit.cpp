#include "app/gui/column_fit.h"

#include <QHeaderView>
#include <QTableView>

#include <algorithm>

#include "core/form.h"
#include "core/settings.h"

namespace app {

namespace {

constexpr int kCapped = 220;     // the long texts' columns
constexpr int kWidest = 400;     // any other column

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
    orders->resizeColumnToContents(c);  // the cells shown and the title
    orders->setColumnWidth(c, std::clamp(header->sectionSize(c), 24, capped ? kCapped : kWidest));
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
