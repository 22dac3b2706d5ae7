#pragma once
// The program's own database, "weihe-orders.db" beside the settings file in
// use: the shipping journal now, later what else must outlive the process.
// SQLite in WAL mode (a reader never waits for the writer; a process killed
// mid-write leaves the last whole transaction), the schema's version in
// `user_version`, and every write its own transaction. One connection, used
// under a lock, so any thread may call. Nothing holds the file beyond its own
// short transaction, so the window, its reader and upkeep connections and a
// weihe-cli on the same folder never wait on each other for long.
//
// A file that is not a database, cannot be created or cannot be written is
// not used: ok() is false and error() says why, so callers can refuse work
// they would otherwise do unrecorded.
//
// Several packing stations share one store instead: a PostgreSQL database
// named by a libpq connection string (Database(Database::Shared{url})). The
// same tables and statements there, a pool of connections (one per thread
// at work), the schema made or brought up to date by whichever station comes
// first. A server that does not answer makes ok() false until it does again.
//
// Usage: store::Database db(store::Database::beside(settings.path()));
//        if (!db.ok()) report(db.error());

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

namespace pg {
class Connection;
}

class Database {
 public:
  explicit Database(std::filesystem::path file);
  // The shared store: `url` a libpq connection string, `password` used when
  // it names none (kept in the keyring, say).
  struct Shared {
    std::string url, password;
  };
  explicit Database(const Shared& server);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // settings file's folder + "/weihe-orders.db"
  static std::filesystem::path beside(const std::filesystem::path& settings_file);

  // Usable: the file open, or the server answering (asked again now and
  // then while it does not).
  bool ok() const;
  std::string error() const;  // UTF-8, for the merchant
  const std::filesystem::path& path() const { return m_path; }  // empty for the server
  bool shared() const { return m_server != nullptr; }
  // Where the records are, for messages: the file, or server/database.
  std::string where() const;
  // The name this station's records carry (the journal shows who shipped);
  // the host's name until set.
  void set_station(std::string name);
  std::string station() const;
  // Seconds after which another station may take a claim whose request
  // never left (store/claims.h).
  void set_claim_lease(int seconds) { m_claim_lease = seconds; }
  int claim_lease() const { return m_claim_lease; }

  // The schema's version the store holds; -1 when it cannot be read.
  int schema_version();
  static int current_schema_version();

  using StatementCache = std::map<std::string, sqlite3_stmt*, std::less<>>;

  // A connection as work under its lock sees it: statements are prepared
  // once per text and handed out reset, with no values bound.
  class Connection {
   public:
    sqlite3* db = nullptr;     // the file's connection, or
    pg::Connection* pg = nullptr;  // the server's
    sqlite3_stmt* prepare(const char* sql);  // null when the text does not compile
    // The statement text for this store: `sqlite` for the file, `server` for PostgreSQL.
    const char* pick(const char* sqlite, const char* server) const { return pg ? server : sqlite; }
    std::string error() const;  // the connection's last failure

   private:
    friend class Database;
    Connection(sqlite3* handle, StatementCache& cache) : db(handle), m_cache(&cache) {}
    explicit Connection(pg::Connection* server) : pg(server) {}
    StatementCache* m_cache = nullptr;
  };

  // Runs `work` on the connection under the lock; false (with `error`) when
  // the database is not usable. `work` returns false with its own error.
  using Work = std::function<bool(Connection&, std::string*)>;
  bool run(const Work& work, std::string* error);
  // Gives the journal entries, seen orders and tracking answers kept before
  // they were kept per shop (their shop is empty) to `shop`, the first
  // shop's name; once done, nothing is left to give.
  bool adopt_records_without_shop(const std::string& shop, std::string* error);
  // The same on a read-only connection of its own, so a long search neither
  // waits for nor holds up the writes (WAL: readers and the writer pass).
  bool read(const Work& work, std::string* error);
  // Stops the read under way, which then fails (a newer search replaces it).
  void interrupt_read();
  // Called with each connection work may use, now and when one opens
  // (functions the SQL calls, say).
  void on_each_connection(const std::function<void(sqlite3*)>& setup);

  // Work that tidies the file up (say, merging a search index's segments),
  // run on the background thread with its own connection, one transaction
  // per round, after ask_for_upkeep(): rounds of `sql` until one changes
  // nothing; stopped when the database closes.
  void set_upkeep(std::string sql);
  void ask_for_upkeep();
  // Until the upkeep asked for is done (benchmarks: the state a list page
  // finds when it comes a poll's interval after the last).
  void wait_for_upkeep();

 private:
  bool open(std::string* error);
  static int on_wal_commit(void* self, sqlite3*, const char*, int pages);
  void checkpoint_when_asked();
  // Rounds of the upkeep on `own`; false when they stopped for the end.
  bool run_upkeep(sqlite3* own, std::unique_lock<std::mutex>& lock);

  class Server;  // the shared store's pool and schema
  std::unique_ptr<Server> m_server;

  std::filesystem::path m_path;
  std::string m_error;
  mutable std::mutex m_station_mutex;
  std::string m_station;
  std::atomic<int> m_claim_lease{60};
  sqlite3* m_db = nullptr;
  std::mutex m_mutex;
  StatementCache m_statements;  // by SQL text

  std::mutex m_reader_mutex;
  sqlite3* m_reader = nullptr;  // opened at the first read
  StatementCache m_reader_statements;
  std::mutex m_interrupt_mutex;  // m_reader's life, for interrupt_read
  std::vector<std::function<void(sqlite3*)>> m_setups;  // under m_mutex

  // Checkpoints (copying the WAL into the database, with its syncs) run on a
  // thread of their own with a connection of their own, so no commit waits
  // for one.
  std::mutex m_checkpoint_mutex;
  std::condition_variable m_wanted;  // a checkpoint asked for, or closing
  bool m_checkpoint_asked = false;
  std::string m_upkeep;  // set once, before it is asked for
  bool m_upkeep_asked = false;
  bool m_closing = false;
  bool m_checkpointing = false;
  std::condition_variable m_checkpoint_done;  // wait_for_upkeep waits for it
  std::thread m_checkpointer;
};

// A station's name when none is set: the host's name.
std::string default_station_name();

// A time (Unix time; now when not given) as local time, formatted by
// strftime's `format`.
std::string local_time_text(const char* format, std::int64_t unix_time = -1);
// Local time with its UTC offset, "2026-12-08T08:00:00+08:00".
std::string now_with_offset();

}  // namespace store
