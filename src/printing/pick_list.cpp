#include "printing/pick_list.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <map>
#include <utility>

#include "core/columns.h"
#include "core/table_snapshot.h"
#include "printing/document_parts.h"
#include "web/text.h"

namespace printing {

QString masked_phone(const QString& phone) {
  std::vector<int> digit_at;
  for (int i = 0; i < phone.size(); ++i)
    if (phone[i].isDigit()) digit_at.push_back(i);
  const int n = static_cast<int>(digit_at.size());
  if (n < 7) return phone;  // too short to keep anything recognisable around four stars
  QString masked = phone;
  const int first = (n - 4) / 2;
  for (int k = first; k < first + 4; ++k) masked[digit_at[k]] = QLatin1Char('*');
  return masked;
}

PickList make_pick_list(const std::vector<PrintOrder>& orders, PickSort sort) {
  PickList list;
  std::map<std::pair<QString, QString>, std::size_t> index;
  std::vector<int> last_order;  // per entry: the order that last counted it
  for (const PrintOrder& order : orders) {
    const int this_order = list.orders++;
    const QString order_no = qs(order_number_of(order.row));
    for (const app::GoodsLine& line : order.lines) {
      ++list.lines;
      const auto key = std::make_pair(qs(line.goods).trimmed(), qs(line.variant).trimmed());
      auto [it, added] = index.try_emplace(key, list.entries.size());
      if (added) {
        list.entries.push_back({key.first, key.second});
        last_order.push_back(-1);
      }
      PickEntry& entry = list.entries[it->second];
      if (const auto q = app::quantity_of(web::gbk_to_utf8(line.quantity))) {
        entry.quantity += *q;
        list.items += *q;
      } else {
        ++entry.unread_quantities;
      }
      if (last_order[it->second] != this_order) {  // an order with two lines of it counts once
        last_order[it->second] = this_order;
        entry.order_nos << order_no;
        ++entry.orders;
      }
    }
  }
  QCollator pinyin(QLocale(QLocale::Chinese, QLocale::China));
  pinyin.setNumericMode(true);
  auto by_name = [&](const PickEntry& a, const PickEntry& b) {
    if (const int c = pinyin.compare(a.goods, b.goods)) return c < 0;
    return pinyin.compare(a.variant, b.variant) < 0;
  };
  if (sort == PickSort::ByQuantity)
    std::stable_sort(list.entries.begin(), list.entries.end(), [&](const PickEntry& a, const PickEntry& b) {
      if (a.quantity != b.quantity) return a.quantity > b.quantity;
      return by_name(a, b);
    });
  else
    std::stable_sort(list.entries.begin(), list.entries.end(), by_name);
  return list;
}

}  // namespace printing
