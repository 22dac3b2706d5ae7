#pragma once
// The program's own database, "weihe-orders.db" beside the settings file in
// use: the shipping journal now, later what else must outlive the process.
// SQLite in WAL mode (a reader never waits for the writer; a process killed
// mid-write leaves the last whole transaction), the schema's version in
// `user_version`, and every write its own transaction. One connection, used
// under a lock, so any thread may call.
//
// A file that is not a database, cannot be created or cannot be written is
// not used: ok() is false and error() says why, so callers can refuse work
// they would otherwise do unrecorded.
//
// Usage: store::Database db(store::Database::beside(settings.path()));
//        if (!db.ok()) report(db.error());

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

class Database {
 public:
  explicit Database(std::filesystem::path file);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // settings file's folder + "/weihe-orders.db"
  static std::filesystem::path beside(const std::filesystem::path& settings_file);

  bool ok() const { return m_db != nullptr; }
  const std::string& error() const { return m_error; }  // UTF-8, for the merchant
  const std::filesystem::path& path() const { return m_path; }

  // The connection as work under the lock sees it: statements are prepared
  // once per text and handed out reset, with no values bound.
  class Connection {
   public:
    sqlite3* db;
    sqlite3_stmt* prepare(const char* sql);  // null when the text does not compile

   private:
    friend class Database;
    explicit Connection(Database& owner);
    Database& m_owner;
  };

  // Runs `work` on the connection under the lock; false (with `error`) when
  // the database is not usable. `work` returns false with its own error.
  bool run(const std::function<bool(Connection&, std::string*)>& work, std::string* error);

 private:
  bool open(std::string* error);

  std::filesystem::path m_path;
  std::string m_error;
  sqlite3* m_db = nullptr;
  std::mutex m_mutex;
  std::map<std::string, sqlite3_stmt*> m_statements;
};

// The local time now, formatted by strftime's `format`.
std::string local_time_text(const char* format);
// Local time with its UTC offset, "2026-12-08T08:00:00+08:00".
std::string now_with_offset();

}  // namespace store
