// Searching the order archive: through the trigram index for three
// characters or more, over the records for fewer, newest key first either
// way, every candidate checked by archive_match for the text itself.
#include <sqlite3.h>

#include <functional>

#include "store/archive_records.h"
#include "store/order_archive.h"
#include "store/statement.h"
#include "store/text_fold.h"

namespace store {

namespace archive_records {

namespace {

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

}  // namespace

void add_search_functions(sqlite3* connection) {
  sqlite3_create_function_v2(connection, "archive_match", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                             nullptr, &archive_match, nullptr, nullptr, nullptr);
}

}  // namespace archive_records

using namespace archive_records;

namespace {

// The searched texts as the match function takes them.
constexpr const char* kSearchedColumns =
    "o.order_no, o.order_id, o.member, o.consignee, o.phone, o.address, o.goods, o.items, "
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

// A query made ready: its folded text, the index query (empty for one or two
// characters) and the filters.
struct PreparedQuery {
  const ArchiveQuery& q;
  std::string needle = fold_text(q.text);
  std::string fts = utf8_length(needle) >= 3 ? trigram_query(needle) : std::string();
  Where where = filters(q, needle);
};

// The statement text of a query: through the index for three characters or
// more, else over the records, newest key first either way.
std::string query_sql(const PreparedQuery& p, bool counting) {
  const bool indexed = !p.fts.empty();
  std::string sql;
  if (counting)
    sql = "SELECT count(*) FROM archived_orders o JOIN shops s ON s.id = o.shop ";
  else
    sql = select_columns();
  if (indexed)
    sql += "JOIN archive_search ON archive_search.rowid = o.key WHERE archive_search MATCH ?2";
  else
    sql += "WHERE 1";
  sql += p.where.sql;
  if (!counting) {
    sql += indexed ? " ORDER BY archive_search.rowid DESC" : " ORDER BY o.key DESC";
    if (p.q.limit > 0) sql += " LIMIT " + std::to_string(p.q.limit);
  }
  return sql;
}

// Runs the query (its count when `counting`) on the reader connection,
// handing each result row to `row`.
bool run_query(Database& database, const ArchiveQuery& q, bool counting,
               const std::function<void(const Statement&)>& row, std::string* error) {
  const PreparedQuery p{q};
  const std::string sql = query_sql(p, counting);
  return database.read(
      [&](Database::Connection& db, std::string* why) {
        Statement st(db, sql.c_str());
        if (!st.ok()) return *why = db.error(), false;
        // ?1 the needle, ?2 the index query, ?3 on the filters (unused ones stay unbound).
        st.bind(1, p.needle);
        if (!p.fts.empty()) st.bind(2, p.fts);
        for (std::size_t i = 0; i < p.where.values.size(); ++i)
          st.bind(3 + static_cast<int>(i), p.where.values[i]);
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
  std::optional<std::int64_t> n;
  if (!run_query(m_db, q, true, [&](const Statement& st) { n = st.id(0); }, error)) return std::nullopt;
  return n;
}

std::vector<std::string> OrderArchive::states(std::string* error) {
  std::vector<std::string> found;
  m_db.read(
      [&](Database::Connection& db, std::string* why) {
        Statement st(db, "SELECT DISTINCT state FROM archived_orders WHERE state <> '' ORDER BY state");
        if (!st.ok()) return *why = db.error(), false;
        int rc;
        while ((rc = st.step()) == SQLITE_ROW) found.push_back(st.text(0));
        return rc == SQLITE_DONE || (*why = st.error(), false);
      },
      error);
  return found;
}

}  // namespace store
