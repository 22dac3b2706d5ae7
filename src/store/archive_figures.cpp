// Reading the archive for the shop's figures: the paid orders of a range of
// pay times, found by their keys (which order by pay time), with only the
// columns figures need, the journal's shipment and the tracking answer
// added. A year of orders is read in one pass on the file; on the server in
// slices of keys within one snapshot, so a year's rows never wait whole in
// the client's memory.
#include <sqlite3.h>

#include <unordered_map>

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
  constexpr int kSlice = 5000;  // rows per statement on the server
  auto sql = [&](bool server) {
    return "SELECT o.order_id, o.order_no, o.member, o.paid, o.pay_time, o.state, o.tracking_no, "
           "o.items, o.states, o.goods, o.quantity, o.variant, o.unit_price, o.line_total, o.key "
           "FROM archived_orders o "
           "WHERE o.key >= ?1 AND o.key < ?2 AND o.pay_time >= ?3 AND o.pay_time < ?4" +
           // "+o.shop": the pay-time keys must choose the rows, not the (shop, order id) index.
           std::string(shop.empty() ? ""
                       : server     ? " AND o.shop = (SELECT id FROM shops WHERE name = ?5)"
                                    : " AND +o.shop = (SELECT id FROM shops WHERE name = ?5)") +
           " ORDER BY o.key" + (server ? " LIMIT " + std::to_string(kSlice) : std::string());
  };
  return m_db.read(
      [&](Database::Connection& db, std::string* why) {
        // The server's slices see one snapshot (a record moving to another
        // key between two would be read twice, or not at all).
        if (db.pg &&
            !(Statement(db, "BEGIN").step() == SQLITE_DONE &&
              Statement(db, "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY").step() ==
                  SQLITE_DONE))
          return *why = db.error(), false;
        // The journal's shipments and the tracking answers, looked up per
        // order from memory: cheaper than joining them row by row.
        std::unordered_map<std::string, std::string> shipped;
        std::unordered_map<std::string, std::pair<std::string, std::int64_t>> replies;
        {
          // Each shop's own; every shop's when `shop` is empty.
          Statement j(db,
                      "SELECT order_id, MIN(time) FROM shipments WHERE outcome = 'shipped' "
                      "AND (?1 = '' OR shop = ?1) GROUP BY order_id");
          Statement t(db, "SELECT tracking_no, reply, fetched FROM tracking_replies WHERE ?1 = '' OR shop = ?1");
          if (!j.ok() || !t.ok()) return *why = db.error(), false;
          j.bind(1, shop);
          t.bind(1, shop);
          while (j.step() == SQLITE_ROW) shipped.emplace(j.text(0), j.text(1));
          while (t.step() == SQLITE_ROW)
            replies.emplace(t.text(0), std::make_pair(t.text(1), t.id(2)));
        }
        const std::string text = sql(db.pg != nullptr);
        // One record reused: its texts keep their room from order to order.
        PaidOrder o;
        // The rows from key `next` on; false with `why` when they cannot be read.
        int rows = 0;
        auto slice = [&](std::int64_t& next) {
          Statement st(db, text.c_str());
          if (!st.ok()) return *why = db.error(), false;
          st.bind(1, next);
          st.bind(2, high);
          st.bind(3, since);
          st.bind(4, end);
          if (!shop.empty()) st.bind(5, shop);
          auto put = [&](std::string& to, int column) { to.assign(st.view(column)); };
          auto view = [&](int column) { return st.view(column); };
          int rc;
          for (rows = 0; (rc = st.step()) == SQLITE_ROW; ++rows) {
            put(o.order_id, 0);
            put(o.order_no, 1);
            put(o.member, 2);
            put(o.paid, 3);
            put(o.pay_time, 4);
            put(o.state, 5);
            put(o.tracking_no, 6);
            unpack_items_into(view(7), o.items);
            if (o.items.empty() && !view(9).empty())
              o.items.push_back({std::string(view(9)), std::string(view(10)), std::string(view(11)),
                                 std::string(view(12)), std::string(view(13))});
            unpack_states_into(view(8), o.states);
            o.shipped_time.clear();
            if (!shipped.empty())
              if (auto it = shipped.find(o.order_id); it != shipped.end())
                o.shipped_time = it->second;
            o.tracking_reply.clear();
            o.reply_fetched = 0;
            if (!replies.empty() && !o.tracking_no.empty())
              if (auto it = replies.find(o.tracking_no); it != replies.end()) {
                o.tracking_reply = it->second.first;
                o.reply_fetched = it->second.second;
              }
            next = st.id(14) + 1;
            visit(o);
          }
          return rc == SQLITE_DONE || (*why = st.error(), false);
        };
        std::int64_t next = low;
        do {
          if (!slice(next)) return false;
        } while (db.pg && rows == kSlice);
        return !db.pg || Statement(db, "COMMIT").step() == SQLITE_DONE ||
               (*why = db.error(), false);
      },
      error);
}

}  // namespace store
