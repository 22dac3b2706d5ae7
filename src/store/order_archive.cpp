#include "store/order_archive.h"

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <map>

#include "store/statement.h"
#include "store/text_fold.h"

namespace store {

namespace {

// Goods lines and state changes are kept in one text each: fields split by
// the unit separator, entries by the record separator (neither occurs in a
// page's text; should one, it becomes a space).
constexpr char kField = '\x1f';
constexpr char kEntry = '\x1e';

// The record's columns 1..25 in table order, as named in the schema.
constexpr const char* kCellColumns =
    "order_no, member, store, total, paid, pay_time, state, order_id, goods, quantity, variant, "
    "unit_price, line_total, pay_amount, pay_method, pickup, message, consignee, phone, address, "
    "tracking_no, tracking_info, ship_status, spare, extra";

constexpr int kPayTime = 6, kState = 7, kOrderId = 8, kGoods = 9, kDetailFirst = 9,
              kDetailLast = 21, kListLast = 8;

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

std::vector<GoodsLine> unpack_items(std::string_view s) {
  std::vector<GoodsLine> items;
  for (const std::string& entry : split(s, kEntry)) {
    std::vector<std::string> f = split(entry, kField);
    f.resize(5);
    items.push_back({f[0], f[1], f[2], f[3], f[4]});
  }
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

std::vector<ArchivedOrder::StateSeen> unpack_states(std::string_view s) {
  std::vector<ArchivedOrder::StateSeen> states;
  for (const std::string& entry : split(s, kEntry)) {
    std::vector<std::string> f = split(entry, kField);
    f.resize(2);
    states.push_back({f[0], std::strtoll(f[1].c_str(), nullptr, 10)});
  }
  return states;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// "2026-03-05 14:02:09" (the time may be shorter or missing) as seconds of
// the local calendar; nothing when it is no such time.
std::optional<std::int64_t> civil_seconds(std::string_view t) {
  auto number = [&](std::size_t at, std::size_t n) -> int {
    if (t.size() < at + n) return -1;
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      if (t[i] < '0' || t[i] > '9') return -1;
      v = v * 10 + (t[i] - '0');
    }
    return v;
  };
  const int y = number(0, 4), m = number(5, 2), d = number(8, 2);
  if (y < 0 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  const int h = std::max(number(11, 2), 0), mi = std::max(number(14, 2), 0),
            s = std::max(number(17, 2), 0);
  return days_from_civil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * 86400 +
         h * 3600 + mi * 60 + s;
}

std::int64_t local_civil_seconds(std::int64_t unix_time) {
  const auto t = static_cast<std::time_t>(unix_time);
  std::tm local{};
  localtime_r(&t, &local);
  return days_from_civil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                         static_cast<unsigned>(local.tm_mday)) *
             86400 +
         local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

// The key's upper part: the pay time, or first seen for an unpaid order; the
// lower bits spread orders of the same second (more than 64 in one second,
// say a list of unpaid orders first seen together, move on into the next
// second's slots). Keys stay dense, so the index's
// lists of keys, stored as differences, stay small.
constexpr int kSlotBits = 6;

std::int64_t base_key(const ArchivedOrder& o) {
  const std::int64_t seconds =
      civil_seconds(o.cells[kPayTime]).value_or(local_civil_seconds(o.first_seen));
  std::uint32_t h = 2166136261u;
  for (unsigned char c : o.cells[kOrderId]) h = (h ^ c) * 16777619u;
  return (std::max<std::int64_t>(seconds, 0) << kSlotBits) | (h & ((1u << kSlotBits) - 1));
}

// Checks each searched text of a record against a folded needle:
// archive_match(needle, text, ...).
void archive_match(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const auto* n = sqlite3_value_text(argv[0]);
  const std::string_view needle(reinterpret_cast<const char*>(n ? n : reinterpret_cast<const unsigned char*>("")),
                                static_cast<std::size_t>(sqlite3_value_bytes(argv[0])));
  for (int i = 1; i < argc; ++i) {
    const auto* t = sqlite3_value_text(argv[i]);
    if (!t) continue;
    if (folded_contains(needle, std::string_view(reinterpret_cast<const char*>(t),
                                                 static_cast<std::size_t>(sqlite3_value_bytes(argv[i]))))) {
      sqlite3_result_int(context, 1);
      return;
    }
  }
  sqlite3_result_int(context, 0);
}

// The searched texts as the match function takes them.
constexpr const char* kSearchedColumns =
    "o.order_no, o.order_id, o.member, o.consignee, o.phone, o.address, o.goods, o.items, "
    "o.message, o.tracking_no";

// The record's columns as read_order takes them; `joined` adds the journal's
// shipment and the tracking answer (a write needs neither).
std::string make_select(bool joined) {
  std::string prefixed;
  for (const std::string& c : split(kCellColumns, ',')) {
    std::string name = c;
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    prefixed += "o." + name + ", ";
  }
  const std::string extras =
      joined ? "(SELECT courier || char(31) || coalesce(finished, time) FROM shipments j "
               " WHERE j.order_id = o.order_id AND j.outcome = 'shipped' ORDER BY j.id DESC LIMIT 1), "
               "(SELECT reply FROM tracking_replies r WHERE r.tracking_no = o.tracking_no "
               " AND o.tracking_no <> '') "
             : "'', '' ";
  return "SELECT o.key, s.name, " + prefixed + "o.items, o.states, o.first_seen, o.last_seen, " +
         extras + "FROM archived_orders o JOIN shops s ON s.id = o.shop ";
}

const std::string& select_columns() {
  static const std::string sql = make_select(true);
  return sql;
}

// The first goods line as columns 商品 to 总价 hold it.
std::array<std::string, 5> first_line(const GoodsLine& l) {
  return {l.goods, l.quantity, l.variant, l.unit_price, l.line_total};
}

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

// "2026-03-31" -> "2026-04-01": the first date after it (dates compare as text).
std::string next_day(const std::string& date) {
  const auto s = civil_seconds(date);
  if (!s) return date;
  std::int64_t days = *s / 86400 + 1;
  // civil_from_days
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  char text[16];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(y + (m <= 2)), m, d);
  return text;
}

// The FTS5 query for a folded needle: trigrams of it that together cover it
// (every third, and the last), each a quoted token. The index answers which
// records hold them all, the check does the rest; fewer lists to intersect
// make a long needle (a telephone number) quick.
std::string trigram_query(const std::string& needle) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < needle.size(); ++i)
    if ((static_cast<unsigned char>(needle[i]) & 0xC0) != 0x80) starts.push_back(i);
  starts.push_back(needle.size());
  std::string query;
  const std::size_t last = starts.size() - 4;  // where the last trigram starts
  for (std::size_t k = 0; k + 3 < starts.size(); ++k) {
    if (k % 3 != 0 && k != last) continue;
    std::string gram = needle.substr(starts[k], starts[k + 3] - starts[k]);
    std::string quoted = "\"";
    for (char c : gram) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    if (!query.empty()) query += " AND ";
    query += quoted + "\"";
  }
  return query;
}

struct Where {
  std::string sql;
  std::vector<std::string> values;
};

Where filters(const ArchiveQuery& q, const std::string& needle) {
  Where w;
  // Values are ?3 on (?1 the needle, ?2 the index query), numbered as written.
  auto add = [&](const char* condition, std::string value) {
    std::string numbered = condition;
    const std::size_t at = numbered.find('?');
    numbered.insert(at + 1, std::to_string(3 + w.values.size()));
    w.sql += " AND " + numbered;
    w.values.push_back(std::move(value));
  };
  if (!needle.empty())
    w.sql += std::string(" AND archive_match(?1, ") + kSearchedColumns + ")";
  if (!q.state.empty()) add("o.state = ?", q.state);
  // The key range narrows the walk; the pay time decides.
  if (!q.since.empty()) {
    add("o.pay_time >= ?", q.since);
    if (auto s = civil_seconds(q.since)) add("o.key >= ?", std::to_string(*s << kSlotBits));
  }
  if (!q.until.empty()) {
    const std::string after = next_day(q.until);
    add("o.pay_time <> '' AND o.pay_time < ?", after);
    if (auto s = civil_seconds(after)) add("o.key < ?", std::to_string(*s << kSlotBits));
  }
  if (!q.shop.empty()) add("s.name = ?", q.shop);
  return w;
}

// The statement text of a query: through the index for three characters or
// more, else over the records, newest key first either way.
std::string query_sql(const ArchiveQuery& q, const std::string& needle, const Where& w,
                      bool counting) {
  const bool indexed = utf8_length(needle) >= 3;
  std::string sql;
  if (counting)
    sql = "SELECT count(*) FROM archived_orders o JOIN shops s ON s.id = o.shop ";
  else
    sql = select_columns();
  if (indexed)
    sql += "JOIN archive_search ON archive_search.rowid = o.key WHERE archive_search MATCH ?2";
  else
    sql += "WHERE 1";
  sql += w.sql;
  if (!counting) {
    sql += indexed ? " ORDER BY archive_search.rowid DESC" : " ORDER BY o.key DESC";
    if (q.limit > 0) sql += " LIMIT " + std::to_string(q.limit);
  }
  return sql;
}

void bind_query(Statement& st, const std::string& needle, const std::string& fts,
                const Where& w) {
  // ?1 the needle, ?2 the index query, ?3 on the filters (unused ones stay unbound).
  st.bind(1, needle);
  if (!fts.empty()) st.bind(2, fts);
  for (std::size_t i = 0; i < w.values.size(); ++i) st.bind(3 + static_cast<int>(i), w.values[i]);
}

}  // namespace

SearchedTexts searched_texts(const ArchivedOrder& o) {
  std::string goods;
  if (o.items.empty()) goods = o.cells[kGoods];
  for (const GoodsLine& l : o.items) goods += (goods.empty() ? "" : "\n") + l.goods;
  SearchedTexts texts = {o.cells[1], o.cells[8], o.cells[2],  o.cells[18], o.cells[19],
                         o.cells[20], goods,     o.cells[17], o.cells[21]};
  for (std::string& t : texts) t = fold_text(t);
  return texts;
}

OrderArchive::OrderArchive(Database& db) : m_db(db) {
  // A round merges about this many pages of the index's segments.
  m_db.set_upkeep("INSERT INTO archive_search(archive_search, rank) VALUES ('merge', 200)");
  m_db.on_each_connection([](sqlite3* c) {
    sqlite3_create_function_v2(c, "archive_match", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               &archive_match, nullptr, nullptr, nullptr);
  });
}

namespace {

constexpr const char* kIndexSql =
    "INSERT INTO archive_search(rowid, order_no, order_id, member, consignee, phone, address, "
    "goods, message, tracking_no) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

// Takes a record's texts out of the index (which keeps no copy: it is told them).
bool unindex(Database::Connection& db, std::int64_t key, const SearchedTexts& texts,
             std::string* why) {
  Statement drop(db,
                 "INSERT INTO archive_search(archive_search, rowid, order_no, order_id, member, "
                 "consignee, phone, address, goods, message, tracking_no) "
                 "VALUES ('delete', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  drop.bind(1, key);
  for (std::size_t i = 0; i < texts.size(); ++i) drop.bind(2 + static_cast<int>(i), texts[i]);
  return drop.step() == SQLITE_DONE || (*why = drop.error(), false);
}

// A change to the search index, held until the page's records are written:
// SQLite 3.40's FTS5 writes out what it holds at every statement savepoint,
// and the records' statements would make one per order.
struct IndexChange {
  bool remove;
  std::int64_t key;
  SearchedTexts texts;
};

bool write_index_changes(Database::Connection& db, const std::vector<IndexChange>& changes,
                         std::string* why) {
  for (const IndexChange& change : changes) {
    if (change.remove) {
      if (!unindex(db, change.key, change.texts, why)) return false;
      continue;
    }
    Statement index(db, kIndexSql);
    index.bind(1, change.key);
    for (std::size_t i = 0; i < change.texts.size(); ++i)
      index.bind(2 + static_cast<int>(i), change.texts[i]);
    if (index.step() != SQLITE_DONE) return *why = index.error(), false;
  }
  return true;
}

// A key from `base` up that no record holds: the end of the run of taken keys
// that begins there. `hints` remembers, for one transaction, where the last
// search from each base ended.
bool free_key(Database::Connection& db, std::int64_t base, std::map<std::int64_t, std::int64_t>& hints,
              std::int64_t* key, std::string* why) {
  std::int64_t from = base;
  if (auto hint = hints.find(base); hint != hints.end()) from = std::max(from, hint->second);
  bool failed = false;
  auto taken = [&](std::int64_t k) {
    Statement probe(db, "SELECT 1 FROM archived_orders WHERE key = ?");
    probe.bind(1, k);
    const int rc = probe.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) failed = true, *why = probe.error();
    return rc == SQLITE_ROW;
  };
  // Taken keys come in runs (orders of one second, one after another):
  // gallop past the run, then halve back to its end. A few lookups even
  // for a run of a hundred thousand orders first seen together.
  std::int64_t free = from;
  if (taken(from)) {
    std::int64_t last_taken = from, step = 1;
    while (!failed && taken(last_taken + step)) {
      last_taken += step;
      step *= 2;
    }
    free = last_taken + step;
    while (!failed && free - last_taken > 1) {
      const std::int64_t mid = last_taken + (free - last_taken) / 2;
      (taken(mid) ? last_taken : free) = mid;
    }
  }
  if (failed) return false;
  *key = free;
  hints[base] = free + 1;
  return true;
}

// One reading applied to the record it finds (or a new one), under the caller's transaction.
bool apply(Database::Connection& db, std::int64_t shop_id, const std::string& shop,
           const OrderReading& r, OrderArchive::Source source, std::int64_t now,
           std::map<std::int64_t, std::int64_t>& hints, std::vector<IndexChange>& index_changes,
           int* changed, std::string* why) {
  using Source = OrderArchive::Source;
  ArchivedOrder next;
  next.shop = shop;
  for (int c = 1; c < kArchivedColumns && c < static_cast<int>(r.cells.size()); ++c)
    next.cells[c] = r.cells[c];
  if (next.cells[kOrderId].empty()) return true;

  std::optional<ArchivedOrder> old;
  {
    static const std::string sql = make_select(false) + "WHERE o.shop = ? AND o.order_id = ?";
    Statement find(db, sql.c_str());
    if (!find.ok()) return *why = sqlite3_errmsg(db.db), false;
    find.bind(1, static_cast<std::int64_t>(shop_id));
    find.bind(2, next.cells[kOrderId]);
    if (find.step() == SQLITE_ROW) old = read_order(find);
  }
  if (old) {
    ArchivedOrder merged = *old;
    for (int c = 1; c < kArchivedColumns; ++c) {
      const bool given = c < static_cast<int>(r.cells.size());
      const bool own = (source == Source::List && c <= kListLast) ||
                       (source == Source::Detail && c >= kDetailFirst && c <= kDetailLast);
      if (given && (own || (merged.cells[c].empty() && !next.cells[c].empty())))
        merged.cells[c] = next.cells[c];
    }
    if (r.items && !r.items->empty() && (source == Source::Detail || merged.items.empty()))
      merged.items = *r.items;
    if (source == Source::List && !merged.cells[kState].empty() &&
        (merged.states.empty() || merged.states.back().state != merged.cells[kState]))
      merged.states.push_back({merged.cells[kState], now});
    merged.last_seen = now;
    next = std::move(merged);
  } else {
    if (r.items) next.items = *r.items;
    next.first_seen = next.last_seen = now;
    if (!next.cells[kState].empty()) next.states.push_back({next.cells[kState], now});
  }

  const bool same = old && old->cells == next.cells && old->items == next.items &&
                    old->states == next.states;
  if (same) {  // only seen again
    Statement touch(db, "UPDATE archived_orders SET last_seen = ? WHERE key = ?");
    touch.bind(1, now);
    touch.bind(2, old->key);
    return touch.step() == SQLITE_DONE || (*why = touch.error(), false);
  }

  // The key follows the pay time; a taken key moves up to the next free one.
  if (old && civil_seconds(old->cells[kPayTime]) == civil_seconds(next.cells[kPayTime]))
    next.key = old->key;
  else if (!free_key(db, base_key(next), hints, &next.key, why))
    return false;
  SearchedTexts old_text = old ? searched_texts(*old) : SearchedTexts();
  SearchedTexts new_text = searched_texts(next);
  if (!old || old->key != next.key || old_text != new_text) {
    if (old) index_changes.push_back({true, old->key, std::move(old_text)});
    index_changes.push_back({false, next.key, std::move(new_text)});
  }

  const std::string items = pack_items(next.items), states = pack_states(next.states);
  Statement write(db,
                  "INSERT OR REPLACE INTO archived_orders (key, shop, order_no, member, store, "
                  "total, paid, pay_time, state, order_id, goods, quantity, variant, unit_price, "
                  "line_total, pay_amount, pay_method, pickup, message, consignee, phone, address, "
                  "tracking_no, tracking_info, ship_status, spare, extra, items, states, "
                  "first_seen, last_seen) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                  "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  if (!write.ok()) return *why = sqlite3_errmsg(db.db), false;
  if (old && old->key != next.key) {
    Statement drop(db, "DELETE FROM archived_orders WHERE key = ?");
    drop.bind(1, old->key);
    if (drop.step() != SQLITE_DONE) return *why = drop.error(), false;
  }
  write.bind(1, next.key);
  write.bind(2, static_cast<std::int64_t>(shop_id));
  // Columns 商品 to 总价 repeat the first goods line: kept once, in the lines.
  const std::array<std::string, kArchivedColumns> cells = stored_cells(next);
  for (int c = 1; c < kArchivedColumns; ++c) write.bind(2 + c, cells[c]);
  write.bind(28, items);
  write.bind(29, states);
  write.bind(30, next.first_seen);
  write.bind(31, next.last_seen);
  if (write.step() != SQLITE_DONE) return *why = write.error(), false;
  ++*changed;
  return true;
}

std::optional<std::int64_t> shop_id_of(Database::Connection& db, const std::string& shop,
                                       std::string* why) {
  Statement add(db, "INSERT OR IGNORE INTO shops (name) VALUES (?)");
  add.bind(1, shop);
  if (add.step() != SQLITE_DONE) return *why = add.error(), std::nullopt;
  Statement get(db, "SELECT id FROM shops WHERE name = ?");
  get.bind(1, shop);
  if (get.step() != SQLITE_ROW) return *why = get.error(), std::nullopt;
  return get.id(0);
}

}  // namespace

std::optional<int> OrderArchive::record(const std::string& shop,
                                        const std::vector<OrderReading>& readings, Source source,
                                        std::string* error, std::int64_t now) {
  if (now == 0) now = std::time(nullptr);
  int changed = 0;
  const bool done = m_db.run(
      [&](Database::Connection& db, std::string* why) {
        if (Statement(db, "BEGIN IMMEDIATE").step() != SQLITE_DONE)
          return *why = sqlite3_errmsg(db.db), false;
        const auto shop_id = shop_id_of(db, shop, why);
        std::map<std::int64_t, std::int64_t> hints;
        std::vector<IndexChange> index_changes;
        bool ok = shop_id.has_value();
        for (std::size_t i = 0; ok && i < readings.size(); ++i)
          ok = apply(db, *shop_id, shop, readings[i], source, now, hints, index_changes, &changed,
                     why);
        ok = ok && write_index_changes(db, index_changes, why);
        if (ok && Statement(db, "COMMIT").step() == SQLITE_DONE) return true;
        if (ok) *why = sqlite3_errmsg(db.db);
        Statement(db, "ROLLBACK").step();
        return false;
      },
      error);
  if (!done) return std::nullopt;
  if (changed > 0) m_db.ask_for_upkeep();
  return changed;
}

std::vector<ArchivedOrder> OrderArchive::search(const ArchiveQuery& q, std::string* error) {
  std::vector<ArchivedOrder> found;
  const std::string needle = fold_text(q.text);
  const std::string fts = utf8_length(needle) >= 3 ? trigram_query(needle) : std::string();
  const Where w = filters(q, needle);
  m_db.read(
      [&](Database::Connection& db, std::string* why) {
        Statement st(db, query_sql(q, needle, w, false).c_str());
        if (!st.ok()) return *why = sqlite3_errmsg(db.db), false;
        bind_query(st, needle, fts, w);
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) found.push_back(read_order(st));
        return rc == SQLITE_DONE || (*why = st.error(), false);
      },
      error);
  return found;
}

std::optional<std::int64_t> OrderArchive::count(const ArchiveQuery& q, std::string* error) {
  std::optional<std::int64_t> n;
  const std::string needle = fold_text(q.text);
  const std::string fts = utf8_length(needle) >= 3 ? trigram_query(needle) : std::string();
  const Where w = filters(q, needle);
  m_db.read(
      [&](Database::Connection& db, std::string* why) {
        Statement st(db, query_sql(q, needle, w, true).c_str());
        if (!st.ok()) return *why = sqlite3_errmsg(db.db), false;
        bind_query(st, needle, fts, w);
        if (st.step() != SQLITE_ROW) return *why = st.error(), false;
        n = st.id(0);
        return true;
      },
      error);
  return n;
}

std::optional<ArchivedOrder> OrderArchive::find(const std::string& shop,
                                                const std::string& order_id) {
  std::optional<ArchivedOrder> found;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        Statement st(db, (select_columns() + "WHERE s.name = ? AND o.order_id = ?").c_str());
        st.bind(1, shop);
        st.bind(2, order_id);
        if (st.step() == SQLITE_ROW) found = read_order(st);
        return true;
      },
      &ignored);
  return found;
}

std::optional<std::int64_t> OrderArchive::forget_before(const std::string& date,
                                                        std::string* error) {
  const auto seconds = civil_seconds(date);
  if (!seconds || date.size() != 10) {
    *error = "日期应写成 YYYY-MM-DD";
    return std::nullopt;
  }
  // First seen is Unix time; the date is local midnight.
  std::tm local{};
  local.tm_year = std::stoi(date.substr(0, 4)) - 1900;
  local.tm_mon = std::stoi(date.substr(5, 2)) - 1;
  local.tm_mday = std::stoi(date.substr(8, 2));
  local.tm_isdst = -1;
  const std::int64_t unix_midnight = std::mktime(&local);
  std::int64_t forgotten = 0;
  const bool done = m_db.run(
      [&](Database::Connection& db, std::string* why) {
        if (Statement(db, "BEGIN IMMEDIATE").step() != SQLITE_DONE)
          return *why = sqlite3_errmsg(db.db), false;
        // In slices, so years of orders never sit in memory at once.
        const std::string sql = select_columns() +
                                "WHERE o.key < ? AND ((o.pay_time <> '' AND o.pay_time < ?) OR "
                                "(o.pay_time = '' AND o.first_seen < ?)) LIMIT 2000";
        bool ok = true;
        for (;;) {
          std::vector<ArchivedOrder> gone;
          {
            Statement old(db, sql.c_str());
            // Keys order by pay time (first seen when unpaid): none older lies above the date's.
            old.bind(1, (*seconds + 86400) << kSlotBits);
            old.bind(2, date);
            old.bind(3, unix_midnight);
            while (old.step() == SQLITE_ROW) gone.push_back(read_order(old));
          }
          // The records first, then the index (see IndexChange).
          std::vector<IndexChange> changes;
          for (const ArchivedOrder& o : gone) {
            Statement remove(db, "DELETE FROM archived_orders WHERE key = ?");
            remove.bind(1, o.key);
            ok = remove.step() == SQLITE_DONE;
            if (!ok) break;
            changes.push_back({true, o.key, searched_texts(o)});
          }
          ok = ok && write_index_changes(db, changes, why);
          forgotten += static_cast<std::int64_t>(gone.size());
          if (!ok || gone.empty()) break;
        }
        if (ok && Statement(db, "COMMIT").step() == SQLITE_DONE) return true;
        forgotten = 0;
        if (ok) *why = sqlite3_errmsg(db.db);
        Statement(db, "ROLLBACK").step();
        return false;
      },
      error);
  if (!done) return std::nullopt;
  return forgotten;
}

}  // namespace store
