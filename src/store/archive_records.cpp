#include "store/archive_records.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace store::archive_records {

std::string clean(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == kField || c == kEntry) c = ' ';
  return out;
}

std::vector<std::string> split(std::string_view s, char separator) {
  std::vector<std::string> parts;
  if (s.empty()) return parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = s.find(separator, start);
    parts.emplace_back(s.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::string pack_items(const std::vector<GoodsLine>& items) {
  std::string out;
  for (const GoodsLine& l : items) {
    if (!out.empty()) out += kEntry;
    for (const std::string* f : {&l.goods, &l.quantity, &l.variant, &l.unit_price})
      out += clean(*f) + kField;
    out += clean(l.line_total);
  }
  return out;
}

namespace {

// Calls `field(index, text)` for each field of each entry of a packed text,
// and `entry(index)` before each entry's fields; nothing is copied.
template <class Entry, class Field>
void for_each_packed(std::string_view s, Entry entry, Field field) {
  if (s.empty()) return;
  std::size_t n = 0;
  for (std::size_t start = 0;;) {
    const std::size_t end = s.find(kEntry, start);
    std::string_view e = s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    entry(n);
    int f = 0;
    for (std::size_t at = 0;; ++f) {
      const std::size_t stop = e.find(kField, at);
      field(n, f, e.substr(at, stop == std::string_view::npos ? std::string_view::npos : stop - at));
      if (stop == std::string_view::npos) break;
      at = stop + 1;
    }
    ++n;
    if (end == std::string_view::npos) return;
    start = end + 1;
  }
}

}  // namespace

void unpack_items_into(std::string_view s, std::vector<GoodsLine>& items) {
  std::size_t count = 0;
  for_each_packed(
      s,
      [&](std::size_t n) {
        count = n + 1;
        if (items.size() < count) items.emplace_back();
        GoodsLine& l = items[n];
        for (std::string* f : {&l.goods, &l.quantity, &l.variant, &l.unit_price, &l.line_total}) f->clear();
      },
      [&](std::size_t n, int f, std::string_view text) {
        GoodsLine& l = items[n];
        std::string* fields[] = {&l.goods, &l.quantity, &l.variant, &l.unit_price, &l.line_total};
        if (f < 5) fields[f]->assign(text);
      });
  items.resize(count);
}

std::vector<GoodsLine> unpack_items(std::string_view s) {
  std::vector<GoodsLine> items;
  unpack_items_into(s, items);
  return items;
}

std::string pack_states(const std::vector<ArchivedOrder::StateSeen>& states) {
  std::string out;
  for (const auto& s : states) {
    if (!out.empty()) out += kEntry;
    out += clean(s.state) + kField + std::to_string(s.seen);
  }
  return out;
}

void unpack_states_into(std::string_view s, std::vector<ArchivedOrder::StateSeen>& states) {
  std::size_t count = 0;
  for_each_packed(
      s,
      [&](std::size_t n) {
        count = n + 1;
        if (states.size() < count) states.emplace_back();
        states[n] = {{}, 0};
      },
      [&](std::size_t n, int f, std::string_view text) {
        if (f == 0) states[n].state.assign(text);
        if (f == 1) std::from_chars(text.data(), text.data() + text.size(), states[n].seen);
      });
  states.resize(count);
}

std::vector<ArchivedOrder::StateSeen> unpack_states(std::string_view s) {
  std::vector<ArchivedOrder::StateSeen> states;
  unpack_states_into(s, states);
  return states;
}

// The key's upper part: the pay time, or first seen for an unpaid order; the
// lower bits spread orders of the same second (more than 64 in one second,
// say a list of unpaid orders first seen together, move on into the next
// second's slots). Keys stay dense, so the index's
// lists of keys, stored as differences, stay small.
std::int64_t base_key(const ArchivedOrder& o) {
  const std::int64_t seconds =
      civil_seconds(o.cells[kPayTime]).value_or(local_civil_seconds(o.first_seen));
  std::uint32_t h = 2166136261u;
  for (unsigned char c : o.cells[kOrderId]) h = (h ^ c) * 16777619u;
  return (std::max<std::int64_t>(seconds, 0) << kSlotBits) | (h & ((1u << kSlotBits) - 1));
}

// The record's columns as read_order takes them; `joined` adds the journal's
// shipment and the tracking answer (a write needs neither).
std::string make_select(bool joined, bool server) {
  std::string prefixed;
  for (const std::string& c : split(kCellColumns, ',')) {
    std::string name = c;
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    prefixed += "o." + name + ", ";
  }
  const std::string extras =
      joined ? std::string("(SELECT courier || ") + (server ? "chr(31)" : "char(31)") +
                   " || coalesce(finished, time) FROM shipments j "
                   " WHERE j.shop = s.name AND j.order_id = o.order_id AND j.outcome = 'shipped' "
                   " ORDER BY j.id DESC LIMIT 1), "
                   "(SELECT reply FROM tracking_replies r WHERE r.shop = s.name "
                   " AND r.tracking_no = o.tracking_no AND o.tracking_no <> '') "
             : "'', '' ";
  return "SELECT o.key, s.name, " + prefixed + "o.items, o.states, o.first_seen, o.last_seen, " +
         extras + "FROM archived_orders o JOIN shops s ON s.id = o.shop ";
}

const std::string& select_columns(const Database::Connection& db) {
  static const std::string file = make_select(true, false), server = make_select(true, true);
  return db.pg ? server : file;
}

std::string insert_sql(const char* verb, bool server, const std::string& tail) {
  std::string sql = std::string(verb) + " INTO archived_orders (key, shop, " + kCellColumns +
                    ", items, states, first_seen, last_seen" + (server ? ", searched" : "") +
                    ") VALUES (?";
  for (int i = 1; i < 2 + (kArchivedColumns - 1) + 4 + (server ? 1 : 0); ++i) sql += ", ?";
  return sql + ") " + tail;
}

std::string searched_column(const SearchedTexts& texts) {
  std::string joined;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) joined += kField;
    joined += texts[i];
  }
  return joined;
}

bool begin_writing(Database::Connection& db, std::string* why) {
  if (Statement(db, "BEGIN IMMEDIATE").step() != SQLITE_DONE) return *why = db.error(), false;
  if (!db.pg) return true;
  Statement lock(db, "SELECT pg_advisory_xact_lock(7730914)");
  if (lock.step() == SQLITE_ROW) return true;
  *why = lock.error();
  Statement(db, "ROLLBACK").step();
  return false;
}

namespace {

// The first goods line as columns 商品 to 总价 hold it.
std::array<std::string, 5> first_line(const GoodsLine& l) {
  return {l.goods, l.quantity, l.variant, l.unit_price, l.line_total};
}

}  // namespace

// A record's cells as stored: 商品 to 总价 left empty when they are the first
// goods line (read_order puts them back).
std::array<std::string, kArchivedColumns> stored_cells(const ArchivedOrder& o) {
  std::array<std::string, kArchivedColumns> cells = o.cells;
  if (!o.items.empty() &&
      std::equal(cells.begin() + kGoods, cells.begin() + kGoods + 5, first_line(o.items[0]).begin()))
    std::fill(cells.begin() + kGoods, cells.begin() + kGoods + 5, std::string());
  return cells;
}

ArchivedOrder read_order(const Statement& st) {
  ArchivedOrder o;
  o.key = st.id(0);
  o.shop = st.text(1);
  for (int c = 1; c < kArchivedColumns; ++c) o.cells[c] = st.text(1 + c);
  o.items = unpack_items(st.text(27));
  if (!o.items.empty() && std::all_of(o.cells.begin() + kGoods, o.cells.begin() + kGoods + 5,
                                      [](const std::string& c) { return c.empty(); })) {
    const auto line = first_line(o.items[0]);
    std::copy(line.begin(), line.end(), o.cells.begin() + kGoods);
  }
  o.states = unpack_states(st.text(28));
  o.first_seen = st.id(29);
  o.last_seen = st.id(30);
  const std::vector<std::string> shipped = split(st.text(31), kField);
  if (shipped.size() == 2) {
    o.shipped_courier = shipped[0];
    o.shipped_time = shipped[1];
  }
  o.tracking_reply = st.text(32);
  return o;
}

}  // namespace store::archive_records
