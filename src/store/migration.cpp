#include "store/migration.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "store/statement.h"

namespace store {

namespace {

struct Table {
  const char* name;
  std::vector<const char*> columns;
  // Columns that name a record for "already there"; empty: the table's own
  // unique keys decide (ON CONFLICT DO NOTHING).
  std::vector<const char*> identity;
};

const Table kTables[] = {
    {"shipments",
     {"shop", "time", "batch", "order_id", "order_no", "courier", "tracking_no", "sender_id",
      "outcome", "message", "http_status", "finished", "reported", "station"},
     {"shop", "time", "order_id", "tracking_no", "batch"}},
    {"seen_orders", {"shop", "order_id", "first_seen"}, {}},
    {"tracking_replies", {"shop", "tracking_no", "courier", "reply", "answered", "fetched"}, {}},
    {"waybills",
     {"shop", "order_id", "order_no", "provider", "courier", "attempt", "state", "waybill_no",
      "task_id", "courier_order", "big_pen", "package_name", "package_code", "sorting_code",
      "message", "raw", "label", "created", "updated", "station"},
     {"shop", "order_id", "attempt"}},
};

constexpr int kSlice = 500;

using Row = std::vector<std::optional<std::string>>;

std::string joined(const std::vector<const char*>& names, const char* between) {
  std::string text;
  for (const char* n : names) text += (text.empty() ? "" : between) + std::string(n);
  return text;
}

// Reads the slice of `table` after `last` (rowid) from the file.
bool read_slice(Database& from, const Table& t, std::int64_t* last, std::vector<Row>* rows,
                std::string* error) {
  const std::string sql = "SELECT rowid, " + joined(t.columns, ", ") + " FROM " + t.name +
                          " WHERE rowid > ? ORDER BY rowid LIMIT " + std::to_string(kSlice);
  return from.read(
      [&](Database::Connection& db, std::string* why) {
        Statement st(db, sql.c_str());
        if (!st.ok()) return *why = db.error(), false;
        st.bind(1, *last);
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) {
          *last = st.id(0);
          Row row;
          for (std::size_t c = 0; c < t.columns.size(); ++c) {
            const int column = static_cast<int>(c) + 1;
            if (st.is_null(column))
              row.emplace_back();
            else
              row.emplace_back(st.text(column));
          }
          rows->push_back(std::move(row));
        }
        return rc == SQLITE_DONE || (*why = st.error(), false);
      },
      error);
}

// Writes a slice into the shared store in one transaction; how many were new.
bool write_slice(Database& to, const Table& t, const std::vector<Row>& rows, std::int64_t* copied,
                 std::string* error) {
  std::string marks;
  for (std::size_t c = 1; c <= t.columns.size(); ++c) marks += (c > 1 ? ", ?" : "?") + std::to_string(c);
  const std::string insert = "INSERT INTO " + std::string(t.name) + " (" + joined(t.columns, ", ") +
                             ") VALUES (" + marks + ") ON CONFLICT DO NOTHING";
  std::string exists = "SELECT 1 FROM " + std::string(t.name) + " WHERE ";
  std::vector<std::size_t> identity;
  for (const char* key : t.identity) {
    for (std::size_t c = 0; c < t.columns.size(); ++c)
      if (std::string_view(t.columns[c]) == key) identity.push_back(c);
    exists += std::string(identity.size() > 1 ? " AND " : "") + key + " = ?";
  }
  const std::string station = to.station();
  const auto station_column = std::find(t.columns.begin(), t.columns.end(), std::string_view("station"));
  return to.run(
      [&](Database::Connection& db, std::string* why) {
        if (Statement(db, "BEGIN IMMEDIATE").step() != SQLITE_DONE) return *why = db.error(), false;
        auto fail = [&](std::string text) {
          Statement(db, "ROLLBACK").step();
          *why = std::move(text);
          return false;
        };
        for (Row row : rows) {
          if (station_column != t.columns.end()) {  // made before stations had names
            auto& cell = row[static_cast<std::size_t>(station_column - t.columns.begin())];
            if (!cell || cell->empty()) cell = station;
          }
          if (!identity.empty()) {
            std::vector<std::string> keys;
            for (std::size_t k : identity) keys.push_back(row[k].value_or(""));
            Statement probe(db, exists.c_str());
            for (std::size_t k = 0; k < keys.size(); ++k) probe.bind(static_cast<int>(k) + 1, keys[k]);
            const int rc = probe.step();
            if (rc == SQLITE_ROW) continue;
            if (rc != SQLITE_DONE) return fail(probe.error());
          }
          Statement add(db, insert.c_str());
          for (std::size_t c = 0; c < row.size(); ++c) {
            if (row[c])
              add.bind(static_cast<int>(c) + 1, *row[c]);
            else
              add.bind(static_cast<int>(c) + 1, std::optional<int>());
          }
          if (add.step() != SQLITE_DONE) return fail(add.error());
          *copied += add.changes();
        }
        if (Statement(db, "COMMIT").step() != SQLITE_DONE) return fail(db.error());
        return true;
      },
      error);
}

}  // namespace

std::optional<std::map<std::string, std::int64_t>> copy_records(Database& from, Database& to,
                                                                std::string* error) {
  std::map<std::string, std::int64_t> copied;
  for (const Table& t : kTables) {
    std::int64_t last = 0;
    std::int64_t& n = copied[t.name];
    for (;;) {
      std::vector<Row> rows;
      if (!read_slice(from, t, &last, &rows, error)) return std::nullopt;
      if (rows.empty()) break;
      if (!write_slice(to, t, rows, &n, error)) return std::nullopt;
    }
  }
  return copied;
}

bool note_station(Database& db, std::string* error) {
  const std::string name = db.station();
  const std::int64_t now = std::time(nullptr);
  return db.run(
      [&](Database::Connection& c, std::string* why) {
        Statement st(c,
                     "INSERT INTO stations (name, last_seen) VALUES (?, ?) "
                     "ON CONFLICT (name) DO UPDATE SET last_seen = excluded.last_seen");
        st.bind(1, name);
        st.bind(2, now);
        return st.step() == SQLITE_DONE || (*why = st.error(), false);
      },
      error);
}

std::vector<StationSeen> stations(Database& db, std::string* error) {
  std::vector<StationSeen> seen;
  db.run(
      [&](Database::Connection& c, std::string* why) {
        Statement st(c, "SELECT name, last_seen FROM stations ORDER BY last_seen DESC, name");
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) seen.push_back({st.text(0), st.id(1)});
        return rc == SQLITE_DONE || (*why = st.error(), false);
      },
      error);
  return seen;
}

}  // namespace store
