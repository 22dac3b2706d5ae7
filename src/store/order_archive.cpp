#include "store/order_archive.h"

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <map>

#include "store/archive_records.h"
#include "store/statement.h"
#include "store/text_fold.h"

namespace store {

using namespace archive_records;

SearchedTexts searched_texts(const ArchivedOrder& o) {
  std::string goods;
  if (o.items.empty()) goods = o.cells[kGoods];
  for (const GoodsLine& l : o.items) goods += (goods.empty() ? "" : "\n") + l.goods;
  SearchedTexts texts = {o.cells[1], o.cells[8], o.cells[2],  o.cells[18], o.cells[19],
                         o.cells[20], goods,     o.cells[17], o.cells[21]};
  for (std::string& t : texts) t = fold_text(t);
  return texts;
}

namespace {

// The file's upkeep: a round merges about this many pages of the index's segments.
constexpr const char* kMergeIndex =
    "INSERT INTO archive_search(archive_search, rank) VALUES ('merge', 200)";

}  // namespace

OrderArchive::OrderArchive(Database& db) : m_db(db) {
  m_db.set_upkeep(kMergeIndex);
  m_db.on_each_connection(&add_search_functions);
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

// (The server keeps the searched texts in the record's row: nothing to do there.)
bool write_index_changes(Database::Connection& db, const std::vector<IndexChange>& changes,
                         std::string* why) {
  if (db.pg) return true;
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

// Binds a record's row as insert_sql lists its columns; `searched` only on the server.
void bind_row(Statement& write, std::int64_t key, std::int64_t shop_id,
              const std::array<std::string, kArchivedColumns>& cells, const std::string& items,
              const std::string& states, std::int64_t first_seen, std::int64_t last_seen,
              const std::string* searched) {
  write.bind(1, key);
  write.bind(2, shop_id);
  for (int c = 1; c < kArchivedColumns; ++c) write.bind(2 + c, cells[c]);
  write.bind(28, items);
  write.bind(29, states);
  write.bind(30, first_seen);
  write.bind(31, last_seen);
  if (searched) write.bind(32, *searched);
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
    if (!find.ok()) return *why = db.error(), false;
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
  const std::string searched = db.pg ? searched_column(new_text) : std::string();
  if (!old || old->key != next.key || old_text != new_text) {
    if (old) index_changes.push_back({true, old->key, std::move(old_text)});
    index_changes.push_back({false, next.key, std::move(new_text)});
  }

  const std::string items = pack_items(next.items), states = pack_states(next.states);
  // Only the record's own row can hold its key: the key was free, or is its own.
  static const std::string replace_file = insert_sql("INSERT OR REPLACE", false, "");
  static const std::string replace_server = [] {
    std::string update = "ON CONFLICT (key) DO UPDATE SET shop = excluded.shop";
    for (const std::string& c : split(
             std::string(kCellColumns) + ", items, states, first_seen, last_seen, searched", ',')) {
      const std::string name = c.substr(c.find_first_not_of(' '));
      update += ", " + name + " = excluded." + name;
    }
    return insert_sql("INSERT", true, update);
  }();
  Statement write(db, (db.pg ? replace_server : replace_file).c_str());
  if (!write.ok()) return *why = db.error(), false;
  if (old && old->key != next.key) {
    Statement drop(db, "DELETE FROM archived_orders WHERE key = ?");
    drop.bind(1, old->key);
    if (drop.step() != SQLITE_DONE) return *why = drop.error(), false;
  }
  // Columns 商品 to 总价 repeat the first goods line: kept once, in the lines.
  const std::array<std::string, kArchivedColumns> cells = stored_cells(next);
  bind_row(write, next.key, shop_id, cells, items, states, next.first_seen, next.last_seen,
           db.pg ? &searched : nullptr);
  if (write.step() != SQLITE_DONE) return *why = write.error(), false;
  ++*changed;
  return true;
}

std::optional<std::int64_t> shop_id_of(Database::Connection& db, const std::string& shop,
                                       std::string* why) {
  Statement add(db, db.pick("INSERT OR IGNORE INTO shops (name) VALUES (?)",
                            "INSERT INTO shops (name) VALUES (?) ON CONFLICT DO NOTHING"));
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
        if (!begin_writing(db, why)) return false;
        const auto shop_id = shop_id_of(db, shop, why);
        std::map<std::int64_t, std::int64_t> hints;
        std::vector<IndexChange> index_changes;
        bool ok = shop_id.has_value();
        for (std::size_t i = 0; ok && i < readings.size(); ++i)
          ok = apply(db, *shop_id, shop, readings[i], source, now, hints, index_changes, &changed,
                     why);
        ok = ok && write_index_changes(db, index_changes, why);
        if (ok && Statement(db, "COMMIT").step() == SQLITE_DONE) return true;
        if (ok) *why = db.error();
        Statement(db, "ROLLBACK").step();
        return false;
      },
      error);
  if (!done) return std::nullopt;
  if (changed > 0) m_db.ask_for_upkeep();
  return changed;
}

std::optional<ArchivedOrder> OrderArchive::find(const std::string& shop,
                                                const std::string& order_id) {
  std::optional<ArchivedOrder> found;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        Statement st(db, (select_columns(db) + "WHERE s.name = ? AND o.order_id = ?").c_str());
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
        if (!begin_writing(db, why)) return false;
        if (db.pg) {
          // No index of our own to keep: one statement.
          Statement old(
              db,
              "DELETE FROM archived_orders WHERE key < ? AND ((pay_time <> '' AND pay_time < ?) OR "
              "(pay_time = '' AND first_seen < ?))");
          old.bind(1, (*seconds + 86400) << kSlotBits);
          old.bind(2, date);
          old.bind(3, unix_midnight);
          const bool deleted = old.step() == SQLITE_DONE;
          forgotten = deleted ? old.changes() : 0;
          if (deleted && Statement(db, "COMMIT").step() == SQLITE_DONE) return true;
          *why = deleted ? db.error() : old.error();
          forgotten = 0;
          Statement(db, "ROLLBACK").step();
          return false;
        }
        // In slices, so years of orders never sit in memory at once.
        const std::string sql = select_columns(db) +
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
        if (ok) *why = db.error();
        Statement(db, "ROLLBACK").step();
        return false;
      },
      error);
  if (!done) return std::nullopt;
  return forgotten;
}

namespace {

// A record as copied: as read back, for its searched texts, and as stored.
struct CopiedRecord {
  ArchivedOrder order;
  std::array<std::string, kArchivedColumns> cells;  // as stored (商品 to 总价 may be empty)
  std::string items, states;
};

// Writes a slice of copied records into `db` (under the caller's
// transaction), skipping those it holds already.
bool write_copies(Database::Connection& db, const std::vector<CopiedRecord>& slice,
                  std::int64_t* copied, std::string* why) {
  static const std::string insert_file = insert_sql("INSERT", false, "ON CONFLICT DO NOTHING");
  static const std::string insert_server = insert_sql("INSERT", true, "ON CONFLICT DO NOTHING");
  std::map<std::string, std::int64_t> shop_ids;
  std::map<std::int64_t, std::int64_t> hints;
  std::vector<IndexChange> index_changes;
  for (const CopiedRecord& r : slice) {
    auto shop = shop_ids.find(r.order.shop);
    if (shop == shop_ids.end()) {
      const auto id = shop_id_of(db, r.order.shop, why);
      if (!id) return false;
      shop = shop_ids.emplace(r.order.shop, *id).first;
    }
    SearchedTexts texts = searched_texts(r.order);
    const std::string searched = db.pg ? searched_column(texts) : std::string();
    auto insert = [&](std::int64_t key, std::int64_t* changes) {
      Statement write(db, (db.pg ? insert_server : insert_file).c_str());
      if (!write.ok()) return *why = db.error(), false;
      bind_row(write, key, shop->second, r.cells, r.items, r.states, r.order.first_seen, r.order.last_seen,
               db.pg ? &searched : nullptr);
      if (write.step() != SQLITE_DONE) return *why = write.error(), false;
      *changes = write.changes();
      return true;
    };
    // Mostly the key is free and the order new: one statement.
    std::int64_t key = r.order.key, changes = 0;
    if (!insert(key, &changes)) return false;
    if (changes == 0) {
      Statement held(db, "SELECT 1 FROM archived_orders WHERE shop = ? AND order_id = ?");
      held.bind(1, shop->second);
      held.bind(2, r.cells[kOrderId]);
      const int rc = held.step();
      if (rc == SQLITE_ROW) continue;  // kept as it is
      if (rc != SQLITE_DONE) return *why = held.error(), false;
      // Another order has the key: the next free one above it still orders by the same time.
      if (!free_key(db, r.order.key, hints, &key, why) || !insert(key, &changes)) return false;
      if (changes != 1) return *why = "记录 " + r.cells[kOrderId] + " 写不进去", false;
    }
    index_changes.push_back({false, key, std::move(texts)});
    ++*copied;
  }
  return write_index_changes(db, index_changes, why);
}

}  // namespace

std::optional<std::int64_t> copy_archive(Database& from, Database& to, std::string* error) {
  constexpr int kSlice = 5000;
  static const std::string read_sql =
      make_select(false) + "WHERE o.key > ? ORDER BY o.key LIMIT " + std::to_string(kSlice);
  std::int64_t copied = 0, after = -1;  // keys are never negative
  for (;;) {
    std::vector<CopiedRecord> slice;
    const bool read = from.read(
        [&](Database::Connection& db, std::string* why) {
          Statement st(db, read_sql.c_str());
          if (!st.ok()) return *why = db.error(), false;
          st.bind(1, after);
          int rc;
          while ((rc = st.step()) == SQLITE_ROW) {
            CopiedRecord r{read_order(st), {}, st.text(27), st.text(28)};
            for (int c = 1; c < kArchivedColumns; ++c) r.cells[c] = st.text(1 + c);
            slice.push_back(std::move(r));
          }
          return rc == SQLITE_DONE || (*why = st.error(), false);
        },
        error);
    if (!read) return std::nullopt;
    if (slice.empty()) break;
    after = slice.back().order.key;
    const bool written = to.run(
        [&](Database::Connection& db, std::string* why) {
          if (!begin_writing(db, why)) return false;
          std::int64_t added = 0;
          const bool ok = write_copies(db, slice, &added, why);
          if (ok && Statement(db, "COMMIT").step() == SQLITE_DONE) {
            copied += added;
            return true;
          }
          if (ok) *why = db.error();
          Statement(db, "ROLLBACK").step();
          return false;
        },
        error);
    if (!written) return std::nullopt;
    if (static_cast<int>(slice.size()) < kSlice) break;
  }
  if (copied > 0) {
    // The file's index merged in the background; the server's planner told of the new rows.
    to.set_upkeep(kMergeIndex);
    to.ask_for_upkeep();
    std::string ignored;
    to.run(
        [](Database::Connection& db, std::string*) {
          return !db.pg || Statement(db, "ANALYZE archived_orders").step() == SQLITE_DONE;
        },
        &ignored);
  }
  return copied;
}

}  // namespace store
