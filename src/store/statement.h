#pragma once
// One use of a statement the connection keeps prepared, for the store's own
// files: binds, steps, reads columns, and resets when done, so it holds no
// read lock afterwards.

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/database.h"

namespace store {

class Statement {
 public:
  Statement(Database::Connection& c, const char* sql) : m_db(c.db), m_st(c.prepare(sql)) {}
  ~Statement() {
    if (m_st) sqlite3_reset(m_st);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return m_st != nullptr; }
  // Texts are bound without a copy: they must outlive step(), so temporaries are refused.
  void bind(int i, const std::string& text) {
    sqlite3_bind_text(m_st, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  void bind(int i, std::string&&) = delete;
  void bind(int i, const char* literal) { sqlite3_bind_text(m_st, i, literal, -1, SQLITE_STATIC); }
  void bind(int i, std::optional<int> value) {
    if (value)
      sqlite3_bind_int(m_st, i, *value);
    else
      sqlite3_bind_null(m_st, i);
  }
  void bind(int i, std::int64_t value) { sqlite3_bind_int64(m_st, i, value); }
  int step() { return m_st ? sqlite3_step(m_st) : SQLITE_ERROR; }
  std::string text(int column) const {
    const auto* p = sqlite3_column_text(m_st, column);
    return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(m_st, column))
             : std::string();
  }
  // The column's text without a copy, valid until the next step().
  std::string_view view(int column) const {
    const auto* p = sqlite3_column_text(m_st, column);
    return p ? std::string_view(reinterpret_cast<const char*>(p), sqlite3_column_bytes(m_st, column))
             : std::string_view();
  }
  std::optional<int> integer(int column) const {
    if (sqlite3_column_type(m_st, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int(m_st, column);
  }
  std::int64_t id(int column) const { return sqlite3_column_int64(m_st, column); }
  std::string error() const { return sqlite3_errmsg(m_db); }

 private:
  sqlite3* m_db;
  sqlite3_stmt* m_st = nullptr;
};

}  // namespace store
