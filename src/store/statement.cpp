#include "store/statement.h"

#include <charconv>

namespace store {

Statement::Statement(Database::Connection& c, const char* sql) : m_db(c.db), m_pg(c.pg) {
  if (m_pg)
    m_sql = sql;
  else
    m_st = c.prepare(sql);
}

void Statement::set(int i, std::optional<std::string> value) {
  if (i < 1) return;
  if (m_values.size() < static_cast<std::size_t>(i)) m_values.resize(static_cast<std::size_t>(i));
  m_values[static_cast<std::size_t>(i) - 1] = std::move(value);
}

int Statement::pg_step() {
  if (!m_ran) {
    m_ran = true;
    int code = SQLITE_OK;
    m_result = m_pg->run(m_sql, m_values, &code, m_kept);
    if (!m_result) {
      m_error = m_pg->error();
      return code;
    }
    const char* tuples = PQcmdTuples(m_result.get());
    m_changes = tuples && *tuples ? std::stoll(tuples) : 0;
  }
  if (!m_result) return SQLITE_MISUSE;
  if (++m_row < PQntuples(m_result.get())) return SQLITE_ROW;
  return SQLITE_DONE;
}

std::optional<int> Statement::integer(int column) const {
  if (m_pg) {
    if (!m_result || PQgetisnull(m_result.get(), m_row, column)) return std::nullopt;
    return static_cast<int>(id(column));
  }
  if (sqlite3_column_type(m_st, column) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_int(m_st, column);
}

std::int64_t Statement::id(int column) const {
  if (!m_pg) return sqlite3_column_int64(m_st, column);
  const std::string_view v = view(column);
  std::int64_t n = 0;
  std::from_chars(v.data(), v.data() + v.size(), n);
  return n;
}

std::int64_t Statement::changes() const { return m_pg ? m_changes : sqlite3_changes64(m_db); }

std::string Statement::error() const {
  if (m_pg) return m_error.empty() ? m_pg->error() : m_error;
  return sqlite3_errmsg(m_db);
}

}  // namespace store
