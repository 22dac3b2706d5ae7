#include "store/shipping_journal.h"

#include <sqlite3.h>

#include "store/statement.h"
#include "store/station_events.h"

#include <cstdio>
#include <random>
#include <utility>

namespace store {

namespace {

constexpr const char* kColumns =
    "SELECT id, time, batch, order_id, order_no, courier, tracking_no, sender_id, outcome, "
    "message, http_status, station FROM shipments ";

Shipment read_shipment(const Statement& st) {
  Shipment s;
  s.id = st.id(0);
  s.time = st.text(1);
  s.batch = st.text(2);
  s.order_id = st.text(3);
  s.order_no = st.text(4);
  s.courier = st.text(5);
  s.tracking_no = st.text(6);
  s.sender_id = st.text(7);
  s.outcome = st.text(8);
  s.message = st.text(9);
  s.http_status = st.integer(10);
  s.station = st.text(11);
  return s;
}

}  // namespace

namespace {

Database::Work finishing(Claims& claims, std::int64_t id, bool shipped, std::string message,
                         std::optional<int> http_status) {
  return [=, &claims, message = std::move(message), time = now_with_offset()](Database::Connection& db,
                                                                             std::string* why) {
    Statement st(db,
                 "UPDATE shipments SET outcome = ?, message = ?, http_status = ?, "
                 "finished = ? WHERE id = ?");
    if (!st.ok()) return *why = db.error(), false;
    st.bind(1, shipped ? "shipped" : "failed");
    st.bind(2, message);
    st.bind(3, http_status);
    st.bind(4, time);
    st.bind(5, id);
    if (st.step() != SQLITE_DONE) return *why = st.error(), false;
    if (shipped && !publish_shipped(db, id, why)) return false;  // other stations' tables
    return claims.mark_shipment(db, id, shipped ? "shipped" : "failed", why);
  };
}

bool step_once(Database::Connection& db, const char* sql, std::string* why) {
  Statement st(db, sql);
  if (st.step() == SQLITE_DONE) return true;
  *why = st.error();
  return false;
}

}  // namespace

std::optional<std::int64_t> ShippingJournal::begin(const Shipment& s, std::string* error) {
  std::int64_t id = 0;
  const bool done = m_db.run(
      [&](Database::Connection& db, std::string* why) {
        // The held completions, the record and its claim marked as sent, in
        // one transaction.
        if (!step_once(db, "BEGIN IMMEDIATE", why)) return false;
        auto fail = [&](std::string text) {
          std::string ignored;
          step_once(db, "ROLLBACK", &ignored);
          *why = std::move(text);
          return false;
        };
        for (const Database::Work& held : m_held)
          if (!held(db, why)) return fail(*why);
        {
          Statement st(db,
                       "INSERT INTO shipments (time, batch, order_id, order_no, courier, "
                       "tracking_no, sender_id, shop, station) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) "
                       "RETURNING id");
          if (!st.ok()) return fail(db.error());
          const std::string time = now_with_offset();
          const std::string station = m_db.station();
          st.bind(1, time);
          st.bind(2, s.batch);
          st.bind(3, s.order_id);
          st.bind(4, s.order_no);
          st.bind(5, s.courier);
          st.bind(6, s.tracking_no);
          st.bind(7, s.sender_id);
          st.bind(8, m_shop);
          st.bind(9, station);
          if (st.step() != SQLITE_ROW) return fail(st.error());
          id = st.id(0);
        }  // done with (reset) before the commit
        if (!m_claims.mark(db, s.order_id, "sent", why)) return fail(*why);
        if (!step_once(db, "COMMIT", why)) return fail(*why);
        m_held.clear();
        return true;
      },
      error);
  if (!done) return std::nullopt;
  return id;
}

bool ShippingJournal::finish(std::int64_t id, bool shipped, const std::string& message,
                             std::optional<int> http_status, std::string* error) {
  return m_db.run(finishing(m_claims, id, shipped, message, http_status), error);
}

void ShippingJournal::finish_soon(std::int64_t id, bool shipped, const std::string& message,
                                  std::optional<int> http_status) {
  m_held.push_back(finishing(m_claims, id, shipped, message, http_status));
}

void ShippingJournal::flush() {
  if (m_held.empty()) return;
  std::string ignored;  // not written: the entries stay "unknown", told at the next start
  m_db.run(
      [held = std::exchange(m_held, {})](Database::Connection& db, std::string* why) {
        if (held.size() > 1 && !step_once(db, "BEGIN IMMEDIATE", why)) return false;
        for (const Database::Work& w : held) {
          if (w(db, why)) continue;
          std::string rollback_error;
          if (held.size() > 1) step_once(db, "ROLLBACK", &rollback_error);
          return false;
        }
        return held.size() <= 1 || step_once(db, "COMMIT", why);
      },
      &ignored);
}

bool ShippingJournal::settle(std::int64_t id, const std::string& outcome,
                             const std::string& message, std::string* error) {
  return m_db.run(
      [&](Database::Connection& db, std::string* why) {
        Statement st(db, "UPDATE shipments SET outcome = ?, message = ? WHERE id = ?");
        if (!st.ok()) return *why = db.error(), false;
        st.bind(1, outcome);
        st.bind(2, message);
        st.bind(3, id);
        if (st.step() != SQLITE_DONE) return *why = st.error(), false;
        // What the order's page showed settles the claim the same way.
        if (outcome == "shipped" && !publish_shipped(db, id, why)) return false;
        return outcome == "unknown" || m_claims.mark_shipment(db, id, outcome.c_str(), why);
      },
      error);
}

std::map<std::string, std::string> ShippingJournal::shipped_numbers() {
  std::map<std::string, std::string> numbers;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        Statement st(db,
                     "SELECT tracking_no, order_id FROM shipments "
                     "WHERE shop = ? AND outcome = 'shipped' AND tracking_no <> '' ORDER BY id");
        st.bind(1, m_shop);
        while (st.step() == SQLITE_ROW) numbers[st.text(0)] = st.text(1);
        return true;
      },
      &ignored);
  return numbers;
}

std::map<std::string, std::string> ShippingJournal::other_stations() {
  std::map<std::string, std::string> found;
  std::string ignored;
  const std::string station = m_db.station();
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        Statement st(db,
                     "SELECT order_id, station FROM shipments WHERE shop = ? AND "
                     "outcome IN ('shipped', 'unknown') AND station NOT IN (?, '') ORDER BY id");
        st.bind(1, m_shop);
        st.bind(2, station);
        while (st.step() == SQLITE_ROW) found[st.text(0)] = st.text(1);
        return true;
      },
      &ignored);
  return found;
}

std::optional<Shipment> ShippingJournal::last_shipped(const std::string& order_id) {
  std::optional<Shipment> found;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        const std::string sql = std::string(kColumns) +
                                "WHERE shop = ? AND order_id = ? AND outcome = 'shipped' "
                                "ORDER BY id DESC LIMIT 1";
        Statement st(db, sql.c_str());
        st.bind(1, m_shop);
        st.bind(2, order_id);
        if (st.step() == SQLITE_ROW) found = read_shipment(st);
        return true;
      },
      &ignored);
  return found;
}

std::string ShippingJournal::courier_of(const std::string& order_id) {
  const std::optional<Shipment> s = last_shipped(order_id);
  return s ? s->courier : std::string();
}

std::set<std::string> ShippingJournal::order_ids(const std::string& outcome) {
  std::set<std::string> ids;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        Statement st(db, "SELECT DISTINCT order_id FROM shipments WHERE shop = ? AND outcome = ?");
        st.bind(1, m_shop);
        st.bind(2, outcome);
        while (st.step() == SQLITE_ROW) ids.insert(st.text(0));
        return true;
      },
      &ignored);
  return ids;
}

std::vector<Shipment> ShippingJournal::entries(const std::string& since, const std::string& outcome) {
  std::vector<Shipment> found;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        const std::string sql = std::string(kColumns) +
                                "WHERE shop = ? AND substr(time, 1, 10) >= ? AND (? = '' OR outcome = ?) "
                                "ORDER BY id DESC";
        Statement st(db, sql.c_str());
        st.bind(1, m_shop);
        st.bind(2, since);
        st.bind(3, outcome);
        st.bind(4, outcome);
        while (st.step() == SQLITE_ROW) found.push_back(read_shipment(st));
        return true;
      },
      &ignored);
  return found;
}

std::vector<Shipment> ShippingJournal::take_unreported_unknown() {
  std::vector<Shipment> found;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        const std::string sql =
            std::string(kColumns) +
            "WHERE shop = ? AND outcome = 'unknown' AND reported = 0 AND station IN (?, '') ORDER BY id";
        // Another station's unknown entries may be requests still on their way.
        const std::string station = m_db.station();
        Statement st(db, sql.c_str());
        st.bind(1, m_shop);
        st.bind(2, station);
        while (st.step() == SQLITE_ROW) found.push_back(read_shipment(st));
        if (found.empty()) return true;
        Statement mark(db,
                       "UPDATE shipments SET reported = 1 WHERE shop = ? AND outcome = 'unknown' AND id <= ? "
                       "AND station IN (?, '')");
        mark.bind(1, m_shop);
        mark.bind(2, found.back().id);
        mark.bind(3, station);
        mark.step();
        return true;
      },
      &ignored);
  return found;
}

std::string new_batch_id() {
  std::random_device random;
  char tail[8];
  std::snprintf(tail, sizeof tail, "-%04x", static_cast<unsigned>(random() & 0xffff));
  return local_time_text("%Y%m%d-%H%M%S") + tail;
}

}  // namespace store
