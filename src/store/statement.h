#pragma once
// One use of a statement the connection keeps prepared, for the store's own
// files or its shared server: binds, steps, reads columns, and resets when
// done, so it holds no read lock afterwards. The same calls and the same step
// codes (SQLITE_ROW, SQLITE_DONE, SQLITE_CONSTRAINT, ...) on either store; a
// statement's text uses ?/?N placeholders, numbered for the server when sent.

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/database.h"
#include "store/pg.h"

namespace store {

class Statement {
 public:
  Statement(Database::Connection& c, const char* sql);
  ~Statement() {
    if (m_st) sqlite3_reset(m_st);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return m_st != nullptr || m_pg != nullptr; }
  // On the server: planned anew for the values bound, not prepared once (a
  // LIKE whose best plan depends on its pattern). Nothing changes on a file.
  void plan_for_values() { m_kept = false; }
  // Texts are bound without a copy: they must outlive step(), so temporaries are refused.
  void bind(int i, const std::string& text) {
    if (m_pg) return set(i, text);
    sqlite3_bind_text(m_st, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  void bind(int i, std::string&&) = delete;
  void bind(int i, const char* literal) {
    if (m_pg) return set(i, literal);
    sqlite3_bind_text(m_st, i, literal, -1, SQLITE_STATIC);
  }
  void bind(int i, std::optional<int> value) {
    if (m_pg) return set(i, value ? std::optional<std::string>(std::to_string(*value)) : std::nullopt);
    if (value)
      sqlite3_bind_int(m_st, i, *value);
    else
      sqlite3_bind_null(m_st, i);
  }
  void bind(int i, std::int64_t value) {
    if (m_pg) return set(i, std::to_string(value));
    sqlite3_bind_int64(m_st, i, value);
  }
  int step() {
    if (m_pg) return pg_step();
    return m_st ? sqlite3_step(m_st) : SQLITE_ERROR;
  }
  std::string text(int column) const { return std::string(view(column)); }
  // The column's text without a copy, valid until the next step().
  std::string_view view(int column) const {
    if (m_pg) {
      if (!m_result || PQgetisnull(m_result.get(), m_row, column)) return {};
      return {PQgetvalue(m_result.get(), m_row, column),
              static_cast<std::size_t>(PQgetlength(m_result.get(), m_row, column))};
    }
    const auto* p = sqlite3_column_text(m_st, column);
    return p ? std::string_view(reinterpret_cast<const char*>(p), sqlite3_column_bytes(m_st, column))
             : std::string_view();
  }
  bool is_null(int column) const {
    if (m_pg) return !m_result || PQgetisnull(m_result.get(), m_row, column);
    return sqlite3_column_type(m_st, column) == SQLITE_NULL;
  }
  std::optional<int> integer(int column) const;
  std::int64_t id(int column) const;
  // Rows the last step() of an INSERT, UPDATE or DELETE changed.
  std::int64_t changes() const;
  std::string error() const;

 private:
  void set(int i, std::optional<std::string> value);
  int pg_step();

  sqlite3* m_db = nullptr;
  sqlite3_stmt* m_st = nullptr;
  pg::Connection* m_pg = nullptr;
  std::string m_sql;  // kept for the server, which runs it at the first step
  pg::Values m_values;
  pg::Result m_result;
  int m_row = -1;
  bool m_ran = false;
  bool m_kept = true;
  std::int64_t m_changes = 0;
  std::string m_error;
};

}  // namespace store
