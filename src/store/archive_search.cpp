// Searching the order archive: through a trigram index for three
// characters or more, over the records for fewer, newest key first either
// way. On the file the index is FTS5's, every candidate checked by
// archive_match for the text itself; on the server it is pg_trgm's over the
// `searched` column, which LIKE (or strpos, for fewer characters) checks.
// Either way a record is found when one of its searched texts (see
// searched_texts()) holds the folded needle.
#include <sqlite3.h>

#include <functional>

#include "store/archive_records.h"
#include "store/order_archive.h"
#include "store/statement.h"
#include "store/text_fold.h"

namespace store {

namespace archive_records {

namespace {

std::string_view text_of(sqlite3_value* v) {
  const auto* t = sqlite3_value_text(v);
  if (!t) return {};
  return {reinterpret_cast<const char*>(t), static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

// Whether the goods a record is found by hold the needle: the goods lines'
// names, one per line, else the 商品 column (as searched_texts() has them).
bool goods_match(std::string_view needle, std::string_view goods, std::string_view items) {
  if (items.empty()) return folded_contains(needle, goods);
  if (needle.find('\n') != std::string_view::npos) {  // may span two names: the joined text
    std::string names;
    for (const GoodsLine& l : unpack_items(items)) names += (names.empty() ? "" : "\n") + l.goods;
    return folded_contains(needle, names);
  }
  for (std::size_t start = 0;;) {
    const std::size_t end = items.find(kEntry, start);
    const std::string_view entry =
        items.substr(start, end == std::string_view::npos ? end : end - start);
    if (folded_contains(needle, entry.substr(0, entry.find(kField)))) return true;
    if (end == std::string_view::npos) return false;
    start = end + 1;
  }
}

// Checks a record's searched texts against a folded needle:
// archive_match(needle, goods, items, text, ...).
void archive_match(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const std::string_view needle = text_of(argv[0]);
  bool found = false;
  for (int i = 3; i < argc && !found; ++i) found = folded_contains(needle, text_of(argv[i]));
  if (!found && argc >= 3) found = goods_match(needle, text_of(argv[1]), text_of(argv[2]));
  sqlite3_result_int(context, found ? 1 : 0);
}

}  // namespace

void add_search_functions(sqlite3* connection) {
  sqlite3_create_function_v2(connection, "archive_match", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                             nullptr, &archive_match, nullptr, nullptr, nullptr);
}

}  // namespace archive_records

using namespace archive_records;

namespace {

// The searched columns as the match function takes them: goods and items first.
constexpr const char* kSearchedColumns =
    "o.goods, o.items, o.order_no, o.order_id, o.member, o.consignee, o.phone, o.address, "
    "o.message, o.tracking_no";

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

// The needle as a LIKE pattern anywhere in a text, its own %, _ and \ taken literally.
std::string like_pattern(const std::string& needle) {
  std::string pattern = "%";
  for (char c : needle) {
    if (c == '%' || c == '_' || c == '\\') pattern += '\\';
    pattern += c;
  }
  return pattern + "%";
}

// A query made ready for one store: its conditions, each value numbered as
// it is added (?1 on), and whether the trigram index answers it.
struct PreparedQuery {
  const ArchiveQuery& q;
  bool server;
  std::string needle = fold_text(q.text);
  bool indexed = utf8_length(needle) >= 3;
  // A needle holding the texts' separator (or a NUL) is found nowhere.
  bool impossible = needle.find_first_of(std::string_view("\x1f\0", 2)) != std::string::npos;
  std::vector<std::string> conditions, values;

  PreparedQuery(const ArchiveQuery& query, bool on_server) : q(query), server(on_server) {
    if (!needle.empty()) {
      if (!server) {
        if (indexed) add("archive_search MATCH ?", trigram_query(needle));
        add(std::string("archive_match(?, ") + kSearchedColumns + ")", needle);
      } else if (indexed) {
        add("o.searched LIKE ?", like_pattern(needle));  // pg_trgm's index answers it
      } else {
        add("strpos(o.searched, ?) > 0", needle);
      }
    }
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
  }

  // `condition` with one "?", numbered for `value`.
  void add(std::string condition, std::string value) {
    values.push_back(std::move(value));
    condition.insert(condition.find('?') + 1, std::to_string(values.size()));
    conditions.push_back(std::move(condition));
  }
};

// The statement text of a query: through the index for three characters or
// more, else over the records, newest key first either way.
std::string query_sql(const PreparedQuery& p, const Database::Connection& db, bool counting) {
  const bool fts = !p.server && p.indexed && !p.needle.empty();
  std::string sql = counting
                        ? "SELECT count(*) FROM archived_orders o JOIN shops s ON s.id = o.shop "
                        : select_columns(db);
  if (fts) sql += "JOIN archive_search ON archive_search.rowid = o.key ";
  sql += "WHERE ";
  for (std::size_t i = 0; i < p.conditions.size(); ++i) sql += (i ? " AND " : "") + p.conditions[i];
  if (p.conditions.empty()) sql += p.server ? "true" : "1";
  if (!counting) {
    sql += fts ? " ORDER BY archive_search.rowid DESC" : " ORDER BY o.key DESC";
    if (p.q.limit > 0) sql += " LIMIT " + std::to_string(p.q.limit);
  }
  return sql;
}

// Runs the query (its count when `counting`) on the reader connection,
// handing each result row to `row`.
bool run_query(Database& database, const ArchiveQuery& q, bool counting,
               const std::function<void(const Statement&)>& row, std::string* error) {
  return database.read(
      [&](Database::Connection& db, std::string* why) {
        const PreparedQuery p(q, db.pg != nullptr);
        if (p.impossible) return true;
        const std::string sql = query_sql(p, db, counting);
        Statement st(db, sql.c_str());
        if (!st.ok()) return *why = db.error(), false;
        // Whether the index or the key order serves best depends on how
        // common the needle is: the server plans for each one.
        st.plan_for_values();
        for (std::size_t i = 0; i < p.values.size(); ++i)
          st.bind(1 + static_cast<int>(i), p.values[i]);
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) row(st);
        return rc == SQLITE_DONE || (*why = st.error(), false);
      },
      error);
}

}  // namespace

std::vector<ArchivedOrder> OrderArchive::search(const ArchiveQuery& q, std::string* error) {
  std::vector<ArchivedOrder> found;
  run_query(m_db, q, false, [&](const Statement& st) { found.push_back(read_order(st)); }, error);
  return found;
}

std::optional<std::int64_t> OrderArchive::count(const ArchiveQuery& q, std::string* error) {
  std::optional<std::int64_t> n = 0;  // stays 0 when the needle can be found nowhere
  if (!run_query(m_db, q, true, [&](const Statement& st) { n = st.id(0); }, error)) return std::nullopt;
  return n;
}

std::vector<std::string> OrderArchive::states(std::string* error) {
  std::vector<std::string> found;
  m_db.read(
      [&](Database::Connection& db, std::string* why) {
        // Byte order on both: the server's own collation may sort by sound.
        Statement st(
            db,
            db.pick("SELECT DISTINCT state FROM archived_orders WHERE state <> '' ORDER BY state",
                    "SELECT DISTINCT state COLLATE \"C\" FROM archived_orders "
                    "WHERE state <> '' ORDER BY 1"));
        if (!st.ok()) return *why = db.error(), false;
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) found.push_back(st.text(0));
        return rc == SQLITE_DONE || (*why = st.error(), false);
      },
      error);
  return found;
}

}  // namespace store
