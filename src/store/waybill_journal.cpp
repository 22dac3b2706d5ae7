#include "store/waybill_journal.h"

#include <sqlite3.h>

#include "store/statement.h"

namespace store {

namespace {

constexpr const char* kColumns =
    "SELECT id, shop, order_id, order_no, provider, courier, attempt, state, waybill_no, task_id, "
    "courier_order, big_pen, package_name, package_code, sorting_code, message, raw, created, "
    "updated, label FROM waybills ";

constexpr const char* kLive = "('sending', 'ordered', 'printed', 'shipped', 'unknown')";

WaybillRecord read_record(const Statement& st) {
  WaybillRecord r;
  r.id = st.id(0);
  r.shop = st.text(1);
  r.order_id = st.text(2);
  r.order_no = st.text(3);
  r.provider = st.text(4);
  r.courier = st.text(5);
  r.attempt = st.integer(6).value_or(1);
  r.state = st.text(7);
  r.waybill = {st.text(8),  st.text(9),  st.text(10), st.text(11),
               st.text(12), st.text(13), st.text(14)};
  r.message = st.text(15);
  r.raw = st.text(16);
  r.created = st.text(17);
  r.updated = st.text(18);
  r.label = st.text(19);
  return r;
}

}  // namespace

// Why a second live record was refused: who holds the order's waybill.
std::string WaybillJournal::held_by_other(Database::Connection& db, const std::string& order_id,
                                          bool* elsewhere) {
  Statement st(db, "SELECT station, state FROM waybills WHERE shop = ? AND order_id = ? AND state IN " 
                   "('sending', 'ordered', 'printed', 'shipped', 'unknown') ORDER BY id DESC LIMIT 1");
  st.bind(1, m_shop);
  st.bind(2, order_id);
  *elsewhere = st.step() == SQLITE_ROW && !st.view(0).empty() && st.view(0) != m_db.station();
  if (*elsewhere) return st.view(1) == "sending" ? st.text(0) + "正在取号" : "已由" + st.text(0) + "取号";
  return "这一单已经有面单（或正在取号），不再取号";
}

std::optional<WaybillRecord> WaybillJournal::live(const std::string& order_id) {
  std::optional<WaybillRecord> found;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        const std::string sql = std::string(kColumns) +
                                "WHERE shop = ? AND order_id = ? AND state IN " + kLive +
                                " ORDER BY id DESC LIMIT 1";
        Statement st(db, sql.c_str());
        st.bind(1, m_shop);
        st.bind(2, order_id);
        if (st.step() == SQLITE_ROW) found = read_record(st);
        return true;
      },
      &ignored);
  return found;
}

std::optional<WaybillRecord> WaybillJournal::begin(const std::string& order_id,
                                                   const std::string& order_no,
                                                   const std::string& provider,
                                                   const std::string& courier, std::string* error,
                                                   bool* elsewhere) {
  std::optional<WaybillRecord> made;
  m_db.run(
      [&](Database::Connection& db, std::string* why) {
        const std::string now = now_with_offset();
        // The attempt number and the insert in one statement; the unique
        // index over live records refuses a second live one.
        Statement st(db,
                     "INSERT INTO waybills (shop, order_id, order_no, provider, courier, attempt, "
                     "state, created, updated, station) VALUES (?1, ?2, ?3, ?4, ?5, "
                     "(SELECT COALESCE(MAX(attempt), 0) + 1 FROM waybills WHERE shop = ?1 AND "
                     "order_id = ?2), "
                     "'sending', ?6, ?6, ?7) RETURNING id, attempt");
        if (!st.ok()) return *why = db.error(), false;
        st.bind(1, m_shop);
        st.bind(2, order_id);
        st.bind(3, order_no);
        st.bind(4, provider);
        st.bind(5, courier);
        st.bind(6, now);
        const std::string station = m_db.station();
        st.bind(7, station);
        const int rc = st.step();
        if (rc == SQLITE_CONSTRAINT) {
          bool other = false;
          *why = held_by_other(db, order_id, &other);
          if (elsewhere) *elsewhere = other;
          return false;
        }
        if (rc != SQLITE_ROW) return *why = st.error(), false;
        WaybillRecord r;
        r.id = st.id(0);
        r.attempt = st.integer(1).value_or(1);
        r.shop = m_shop;
        r.order_id = order_id;
        r.order_no = order_no;
        r.provider = provider;
        r.courier = courier;
        r.state = "sending";
        r.created = r.updated = now;
        made = std::move(r);
        return true;
      },
      error);
  return made;
}

bool WaybillJournal::update(std::int64_t id, const char* sql_tail,
                            const std::vector<std::string>& values, std::string* error) {
  return m_db.run(
      [&](Database::Connection& db, std::string* why) {
        const std::string sql = std::string("UPDATE waybills SET updated = ?1, ") + sql_tail;
        Statement st(db, sql.c_str());
        if (!st.ok()) return *why = db.error(), false;
        const std::string now = now_with_offset();
        st.bind(1, now);
        st.bind(2, id);
        for (std::size_t i = 0; i < values.size(); ++i) st.bind(static_cast<int>(i) + 3, values[i]);
        if (st.step() != SQLITE_DONE) return *why = st.error(), false;
        if (st.changes() == 0) return *why = "面单记录的状态不允许这一步", false;
        return true;
      },
      error);
}

// An answer may land after another process marked the attempt unknown: what
// the answer says is then the better knowledge.
bool WaybillJournal::finish_ordered(std::int64_t id, const WaybillFields& w, const std::string& raw,
                                    std::string* error) {
  return update(
      id,
      "state = 'ordered', waybill_no = ?3, task_id = ?4, courier_order = ?5, big_pen = ?6, "
      "package_name = ?7, package_code = ?8, sorting_code = ?9, raw = ?10, message = '' "
      "WHERE id = ?2 AND state IN ('sending', 'unknown')",
      {w.number, w.task_id, w.courier_order, w.big_pen, w.package_name, w.package_code,
       w.sorting_code, raw},
      error);
}

bool WaybillJournal::finish_failed(std::int64_t id, const std::string& message,
                                   const std::string& raw, std::string* error) {
  return update(
      id,
      "state = 'failed', message = ?3, raw = ?4 WHERE id = ?2 AND state IN ('sending', 'unknown')",
      {message, raw}, error);
}

bool WaybillJournal::finish_unknown(std::int64_t id, const std::string& message,
                                    const std::string& raw, std::string* error) {
  return update(id, "state = 'unknown', message = ?3, raw = ?4 WHERE id = ?2 AND state = 'sending'",
                {message, raw}, error);
}

bool WaybillJournal::set_state(std::int64_t id, const std::string& state, std::string* error,
                               const std::string& message) {
  const char* from = state == "printed"     ? "('ordered', 'printed')"
                     : state == "shipped"   ? "('ordered', 'printed', 'shipped')"
                     : state == "cancelled" ? "('ordered', 'printed', 'shipped', 'unknown')"
                                            : nullptr;
  if (!from) return *error = "面单状态不对：" + state, false;
  const std::string tail = std::string(
                               "state = ?3, message = CASE WHEN ?4 = '' THEN message ELSE ?4 END "
                               "WHERE id = ?2 AND state IN ") +
                           from;
  return update(id, tail.c_str(), {state, message}, error);
}

bool WaybillJournal::set_label(std::int64_t id, const std::string& label_json, std::string* error) {
  return update(id, "label = ?3 WHERE id = ?2", {label_json}, error);
}

bool WaybillJournal::resolve_number(const std::string& order_id, const std::string& number,
                                    std::string* error) {
  const std::optional<WaybillRecord> r = live(order_id);
  if (!r || r->state != "unknown") return *error = "这一单没有不明的面单", false;
  return update(
      r->id,
      "state = 'ordered', waybill_no = ?3, message = '核对：面单号由商家在面单账户里查到' "
      "WHERE id = ?2 AND state = 'unknown'",
      {number}, error);
}

bool WaybillJournal::resolve_none(const std::string& order_id, std::string* error) {
  const std::optional<WaybillRecord> r = live(order_id);
  if (!r || r->state != "unknown") return *error = "这一单没有不明的面单", false;
  return update(r->id,
                "state = 'failed', message = '核对：商家确认没有取到面单' WHERE id = ?2 AND state "
                "= 'unknown'",
                {}, error);
}

int WaybillJournal::mark_interrupted(std::string* error) {
  int changed = 0;
  m_db.run(
      [&](Database::Connection& db, std::string* why) {
        Statement st(db,
                     "UPDATE waybills SET state = 'unknown', updated = ?2, "
                     "message = '取号时程序中断，不知道是否已取到面单' WHERE shop = ?1 AND state = "
                     "'sending' AND station IN (?3, '')");  // another station's may be on their way
        if (!st.ok()) return *why = db.error(), false;
        const std::string now = now_with_offset();
        st.bind(1, m_shop);
        st.bind(2, now);
        const std::string station = m_db.station();
        st.bind(3, station);
        if (st.step() != SQLITE_DONE) return *why = st.error(), false;
        changed = static_cast<int>(st.changes());
        return true;
      },
      error);
  return changed;
}

std::vector<WaybillRecord> WaybillJournal::entries(const std::string& state) {
  std::vector<WaybillRecord> found;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        const std::string sql =
            std::string(kColumns) + "WHERE shop = ? AND (? = '' OR state = ?) ORDER BY id DESC";
        Statement st(db, sql.c_str());
        st.bind(1, m_shop);
        st.bind(2, state);
        st.bind(3, state);
        while (st.step() == SQLITE_ROW) found.push_back(read_record(st));
        return true;
      },
      &ignored);
  return found;
}

}  // namespace store
