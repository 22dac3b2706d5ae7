// Reading the archive for the shop's figures: the paid orders of a range of
// pay times, found by their keys (which order by pay time), with only the
// columns figures need, the journal's shipment and the tracking answer
// joined. A year of orders is read in one pass.
#include <sqlite3.h>

#include "store/archive_records.h"
#include "store/order_archive.h"

namespace store {

using namespace archive_records;

bool OrderArchive::for_each_paid(const std::string& shop, const std::string& since, const std::string& until,
                                 const std::function<void(const PaidOrder&)>& visit, std::string* error) {
  const auto from = civil_seconds(since);
  const auto to = civil_seconds(next_day(until));
  if (!from || !to) {
    if (error) *error = "no such date: " + (from ? until : since);
    return false;
  }
  // Unpaid orders are keyed by when they were first seen: the pay time itself decides.
  const std::string end = next_day(until);
  const std::int64_t low = *from << kSlotBits, high = *to << kSlotBits;
  const std::string sql =
      "SELECT o.order_id, o.order_no, o.member, o.paid, o.pay_time, o.state, o.tracking_no, o.items, "
      "o.states, o.goods, o.quantity, o.variant, o.unit_price, o.line_total, j.shipped, t.reply, t.fetched "
      "FROM archived_orders o "
      "LEFT JOIN (SELECT order_id, MIN(time) AS shipped FROM shipments WHERE outcome = 'shipped' "
      "           GROUP BY order_id) j ON j.order_id = o.order_id "
      "LEFT JOIN tracking_replies t ON o.tracking_no <> '' AND t.tracking_no = o.tracking_no "
      "WHERE o.key >= ?1 AND o.key < ?2 AND o.pay_time >= ?3 AND o.pay_time < ?4" +
      std::string(shop.empty() ? "" : " AND o.shop = (SELECT id FROM shops WHERE name = ?5)") +
      " ORDER BY o.key";
  return m_db.read(
      [&](Database::Connection& db, std::string* why) {
        Statement st(db, sql.c_str());
        if (!st.ok()) return *why = sqlite3_errmsg(db.db), false;
        st.bind(1, low);
        st.bind(2, high);
        st.bind(3, since);
        st.bind(4, end);
        if (!shop.empty()) st.bind(5, shop);
        PaidOrder o;
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) {
          o.order_id = st.text(0);
          o.order_no = st.text(1);
          o.member = st.text(2);
          o.paid = st.text(3);
          o.pay_time = st.text(4);
          o.state = st.text(5);
          o.tracking_no = st.text(6);
          o.items = unpack_items(st.text(7));
          if (o.items.empty() && !st.text(9).empty())
            o.items.push_back({st.text(9), st.text(10), st.text(11), st.text(12), st.text(13)});
          o.states = unpack_states(st.text(8));
          o.shipped_time = st.text(14);
          o.tracking_reply = st.text(15);
          o.reply_fetched = st.id(16);
          visit(o);
        }
        return rc == SQLITE_DONE || (*why = st.error(), false);
      },
      error);
}

}  // namespace store
