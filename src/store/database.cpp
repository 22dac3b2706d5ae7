#include "store/database.h"

#include "store/database_server.h"
#include "store/schema_text.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <ctime>

namespace store {

namespace {

constexpr int kSchemaVersion = 7;

// WAL pages after which a checkpoint is started (SQLite's own default).
constexpr int kCheckpointPages = 1000;

// Each step brings the schema from version i to i + 1.
constexpr const char* kMigrations[kSchemaVersion] = {
    // 1: the shipping journal. A row is written (outcome 'unknown') before
    // its request goes out and completed when the answer comes.
    "CREATE TABLE shipments ("
    "  id INTEGER PRIMARY KEY,"
    WEIHE_SHIPMENT_COLUMNS ");",
    // 2: the last answer of the tracking service per tracking number, so
    // numbers answered a short while ago are not asked again.
    "CREATE TABLE tracking_replies ("
    "  tracking_no TEXT PRIMARY KEY,"
    "  courier TEXT NOT NULL,"
    "  reply TEXT NOT NULL,"
    "  answered INTEGER NOT NULL DEFAULT 0,"  // 1: a readable answer
    "  fetched INTEGER NOT NULL);",            // Unix time
    // 3: the order ids a poll or a list fetch has seen, so a new order is one
    // never seen before (also across restarts). The row with the empty id
    // says that seeing has begun.
    "CREATE TABLE seen_orders ("
    "  order_id TEXT PRIMARY KEY,"
    "  first_seen INTEGER NOT NULL);",
    // 4: the order archive (store/order_archive.h). A record's key orders by
    // pay time; goods lines and state changes are packed texts; the search
    // index holds a folded copy of the searched texts and nothing else.
    "CREATE TABLE shops ("
    "  id INTEGER PRIMARY KEY,"
    "  name TEXT NOT NULL UNIQUE);"
    "CREATE TABLE archived_orders ("
    "  key INTEGER PRIMARY KEY,"
    "  shop INTEGER NOT NULL REFERENCES shops(id),"
    WEIHE_ARCHIVED_ORDER_TEXTS
    "  first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL,"
    "  UNIQUE (shop, order_id));"
    "CREATE VIRTUAL TABLE archive_search USING fts5("
    "  order_no, order_id, member, consignee, phone, address, goods, message, tracking_no,"
    "  content='', tokenize='trigram', detail='none', columnsize=0);"
    // Its segments are merged in the background (OrderArchive's upkeep), not
    // by the list page that happens to write the fourth one.
    "INSERT INTO archive_search(archive_search, rank) VALUES ('automerge', 0);"
    "CREATE INDEX shipments_by_order ON shipments(order_id);",
    // 5: the journal, the seen orders and the tracking answers per shop (the
    // archive's shop name, "account@host"), so the same order id in two
    // shops is two orders. Rows from before keep the empty shop until the
    // first shop claims them (adopt_records_without_shop).
    "ALTER TABLE shipments ADD COLUMN shop TEXT NOT NULL DEFAULT '';"
    "DROP INDEX shipments_by_order;"
    "CREATE INDEX shipments_by_order ON shipments(shop, order_id);"
    "CREATE TABLE seen_orders_by_shop ("
    "  shop TEXT NOT NULL DEFAULT '',"
    "  order_id TEXT NOT NULL,"
    "  first_seen INTEGER NOT NULL,"
    "  PRIMARY KEY (shop, order_id));"
    "INSERT INTO seen_orders_by_shop (order_id, first_seen) SELECT order_id, first_seen FROM seen_orders;"
    "DROP TABLE seen_orders;"
    "ALTER TABLE seen_orders_by_shop RENAME TO seen_orders;"
    "CREATE TABLE tracking_replies_by_shop ("
    "  shop TEXT NOT NULL DEFAULT '',"
    "  tracking_no TEXT NOT NULL,"
    "  courier TEXT NOT NULL,"
    "  reply TEXT NOT NULL,"
    "  answered INTEGER NOT NULL DEFAULT 0,"
    "  fetched INTEGER NOT NULL,"
    "  PRIMARY KEY (shop, tracking_no));"
    "INSERT INTO tracking_replies_by_shop (tracking_no, courier, reply, answered, fetched) "
    "  SELECT tracking_no, courier, reply, answered, fetched FROM tracking_replies;"
    "DROP TABLE tracking_replies;"
    "ALTER TABLE tracking_replies_by_shop RENAME TO tracking_replies;",
    // 6: the waybill journal (store/waybill_journal.h): one record per
    // attempt, written before its request leaves. The partial unique index
    // is what keeps an order from ever getting a second live waybill, also
    // between two processes.
    "CREATE TABLE waybills ("
    "  id INTEGER PRIMARY KEY,"
    WEIHE_WAYBILL_COLUMNS ");"
    WEIHE_ONE_LIVE_WAYBILL,
    // 7: which station did what, and the claims a station takes on an order
    // before its shipment (or waybill order) leaves (store/claims.h).
    "ALTER TABLE shipments ADD COLUMN station TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE waybills ADD COLUMN station TEXT NOT NULL DEFAULT '';"
    WEIHE_CLAIMS_AND_STATIONS(INTEGER),
};

bool exec(sqlite3* db, const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  *error = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

int user_version(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  int version = -1;
  if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    version = sqlite3_column_int(st, 0);
  sqlite3_finalize(st);
  return version;
}

}  // namespace

std::filesystem::path Database::beside(const std::filesystem::path& settings_file) {
  return settings_file.parent_path() / "weihe-orders.db";
}

Database::Database(std::filesystem::path file) : m_path(std::move(file)) {
  std::string why;
  if (!open(&why)) {
    m_error = "数据库 " + m_path.string() + " 用不了：" + why;
    if (m_db) sqlite3_close(m_db);
    m_db = nullptr;
    return;
  }
  m_checkpointer = std::thread([this] { checkpoint_when_asked(); });
}

Database::Database(const Shared& server)
    : m_server(std::make_unique<Server>(server.url, server.password)) {}

int Database::current_schema_version() { return kSchemaVersion; }

bool Database::ok() const {
  if (m_server) return m_server->ok();
  return m_db != nullptr;
}

std::string Database::error() const { return m_server ? m_server->error() : m_error; }

std::string Database::where() const { return m_server ? m_server->where() : m_path.string(); }

int Database::schema_version() {
  if (m_server) return m_server->schema_version();
  std::lock_guard lock(m_mutex);
  return m_db ? user_version(m_db) : -1;
}

std::string default_station_name() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == 0) return "本机";
  return name;
}

void Database::set_station(std::string name) {
  std::lock_guard lock(m_station_mutex);
  m_station = name.empty() ? default_station_name() : std::move(name);
}

std::string Database::station() const {
  std::lock_guard lock(m_station_mutex);
  return m_station.empty() ? default_station_name() : m_station;
}

std::string Database::Connection::error() const { return pg ? pg->error() : sqlite3_errmsg(db); }

Database::~Database() {
  if (m_checkpointer.joinable()) {
    {
      std::lock_guard lock(m_checkpoint_mutex);
      m_closing = true;
    }
    m_wanted.notify_one();
    m_checkpointer.join();
  }
  for (auto& [sql, statement] : m_reader_statements) sqlite3_finalize(statement);
  {
    std::lock_guard handle(m_interrupt_mutex);
    if (m_reader) sqlite3_close(m_reader);
    m_reader = nullptr;
  }
  for (auto& [sql, statement] : m_statements) sqlite3_finalize(statement);
  if (m_db) sqlite3_close(m_db);  // the last connection checkpoints what is left
}

int Database::on_wal_commit(void* self, sqlite3*, const char*, int pages) {
  if (pages < kCheckpointPages) return SQLITE_OK;
  auto* db = static_cast<Database*>(self);
  {
    std::lock_guard lock(db->m_checkpoint_mutex);
    // Asked already: no wake-up per commit.
    if (db->m_checkpoint_asked) return SQLITE_OK;
    db->m_checkpoint_asked = true;
  }
  db->m_wanted.notify_one();
  return SQLITE_OK;
}

void Database::checkpoint_when_asked() {
  sqlite3* own = nullptr;
  if (sqlite3_open_v2(m_path.c_str(), &own, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK)
    sqlite3_busy_timeout(own, 5000);
  std::unique_lock lock(m_checkpoint_mutex);
  for (;;) {
    m_wanted.wait(lock, [this] {
      return m_checkpoint_asked || m_upkeep_asked || m_closing;
    });
    if (m_closing) break;
    const bool checkpoint = m_checkpoint_asked;
    m_checkpoint_asked = false;
    m_checkpointing = true;
    if (checkpoint) {
      lock.unlock();
      // PASSIVE: copies what no reader still needs and never blocks a writer.
      sqlite3_wal_checkpoint_v2(own, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
      lock.lock();
    }
    if (m_upkeep_asked && !m_closing) m_upkeep_asked = !run_upkeep(own, lock);
    m_checkpointing = false;
    m_checkpoint_done.notify_all();
  }
  sqlite3_close(own);
}

bool Database::run_upkeep(sqlite3* own, std::unique_lock<std::mutex>& lock) {
  constexpr int kMostRounds = 1000;  // each round is bounded work; so is their number
  for (int round = 0; round < kMostRounds; ++round) {
    if (m_closing) return false;
    lock.unlock();
    const sqlite3_int64 before = sqlite3_total_changes64(own);
    const bool ran = sqlite3_exec(own, m_upkeep.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    const bool changed = sqlite3_total_changes64(own) != before;
    lock.lock();
    if (!ran || !changed) return true;
  }
  return true;
}

void Database::set_upkeep(std::string sql) {
  std::lock_guard lock(m_checkpoint_mutex);
  m_upkeep = std::move(sql);
}

void Database::wait_for_upkeep() {
  std::unique_lock lock(m_checkpoint_mutex);
  m_checkpoint_done.wait(lock, [this] {
    return (!m_upkeep_asked && !m_checkpointing) || m_closing || !m_checkpointer.joinable();
  });
}

void Database::ask_for_upkeep() {
  {
    std::lock_guard lock(m_checkpoint_mutex);
    if (m_upkeep.empty() || !m_checkpointer.joinable()) return;
    m_upkeep_asked = true;
  }
  m_wanted.notify_one();
}

sqlite3_stmt* Database::Connection::prepare(const char* sql) {
  auto it = m_cache->find(std::string_view(sql));
  if (it == m_cache->end()) {
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &prepared, nullptr) != SQLITE_OK) return nullptr;
    it = m_cache->emplace(sql, prepared).first;
  }
  sqlite3_reset(it->second);
  sqlite3_clear_bindings(it->second);
  return it->second;
}

bool Database::open(std::string* error) {
  // A file whose write bits are all off was made read-only on purpose: honour
  // that even for root, whom the system would let write it anyway.
  std::error_code failed;
  const auto status = std::filesystem::status(m_path, failed);
  using std::filesystem::perms;
  if (!failed && std::filesystem::exists(status) &&
      (status.permissions() & (perms::owner_write | perms::group_write | perms::others_write)) ==
          perms::none) {
    *error = "文件是只读的";
    return false;
  }
  // It holds buyers' names, telephones and addresses: the owner's alone
  // (SQLite gives its -wal and -shm files the same permissions).
  if (!failed && std::filesystem::exists(status)) {
    if ((status.permissions() & (perms::group_all | perms::others_all)) != perms::none)
      std::filesystem::permissions(m_path, perms::group_all | perms::others_all,
                                   std::filesystem::perm_options::remove, failed);
  } else if (const int fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
             fd >= 0) {
    ::close(fd);
  }
  // SQLite's own allocation statistics take a mutex on every allocation;
  // nothing here reads them. (Only possible before SQLite starts up.)
  static std::once_flag configured;
  std::call_once(configured, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
  // NOMUTEX: the connection is only ever used under m_mutex.
  if (sqlite3_open_v2(m_path.c_str(), &m_db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
      SQLITE_OK) {
    *error = m_db ? sqlite3_errmsg(m_db) : "打不开";
    return false;
  }
  sqlite3_busy_timeout(m_db, 5000);  // the window and weihe-cli may share the file
  // A file opened read-only would take no record: refuse it now.
  if (sqlite3_db_readonly(m_db, "main") == 1) {
    *error = "文件是只读的";
    return false;
  }
  // WAL with synchronous=NORMAL: a commit is safe from a killed process at
  // once, and from a power cut from the next checkpoint on.
  // A larger page cache and the file mapped: the archive's pages are read
  // far more often than written.
  if (!exec(m_db,
            "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; "
            "PRAGMA cache_size=-32768; PRAGMA mmap_size=1073741824",
            error))
    return false;
  // Checkpoints move to their own thread instead of the commit that crosses the limit.
  sqlite3_wal_hook(m_db, &Database::on_wal_commit, this);
  const int version = user_version(m_db);
  if (version < 0) {
    *error = sqlite3_errmsg(m_db);
    return false;
  }
  if (version > kSchemaVersion) {
    *error = "它来自更新版本的程序（结构版本 " + std::to_string(version) + "）";
    return false;
  }
  for (int v = version; v < kSchemaVersion; ++v) {
    const std::string step = std::string("BEGIN IMMEDIATE;") + kMigrations[v] +
                             "PRAGMA user_version=" + std::to_string(v + 1) + ";COMMIT;";
    if (!exec(m_db, step.c_str(), error)) {
      std::string ignored;
      exec(m_db, "ROLLBACK", &ignored);
      return false;
    }
  }
  return true;
}

bool Database::adopt_records_without_shop(const std::string& shop, std::string* error) {
  if (shop.empty() || m_server) return true;  // a shared store began with shops
  return run(
      [&](Connection& db, std::string* why) {
        // Cheap when there is nothing left to claim: the shop is the first
        // column of each table's key.
        static const char* const kSteps[] = {
            "UPDATE shipments SET shop = ?1 WHERE shop = ''",
            "INSERT OR IGNORE INTO seen_orders (shop, order_id, first_seen) "
            "  SELECT ?1, order_id, first_seen FROM seen_orders WHERE shop = ''",
            "DELETE FROM seen_orders WHERE shop = ''",
            "INSERT OR IGNORE INTO tracking_replies (shop, tracking_no, courier, reply, answered, fetched) "
            "  SELECT ?1, tracking_no, courier, reply, answered, fetched FROM tracking_replies WHERE shop = ''",
            "DELETE FROM tracking_replies WHERE shop = ''"};
        if (!exec(db.db, "BEGIN IMMEDIATE", why)) return false;
        for (const char* sql : kSteps) {
          sqlite3_stmt* st = nullptr;
          bool ok = sqlite3_prepare_v2(db.db, sql, -1, &st, nullptr) == SQLITE_OK;
          if (ok && std::string_view(sql).find("?1") != std::string_view::npos)
            sqlite3_bind_text(st, 1, shop.data(), static_cast<int>(shop.size()), SQLITE_TRANSIENT);
          ok = ok && sqlite3_step(st) == SQLITE_DONE;
          if (!ok) *why = db.error();
          sqlite3_finalize(st);
          if (!ok) {
            std::string ignored;
            exec(db.db, "ROLLBACK", &ignored);
            return false;
          }
        }
        return exec(db.db, "COMMIT", why);
      },
      error);
}

bool Database::run(const Work& work, std::string* error) {
  if (m_server) return m_server->run(work, error);
  std::lock_guard lock(m_mutex);
  if (!m_db) {
    *error = m_error;
    return false;
  }
  Connection connection(m_db, m_statements);
  return work(connection, error);
}

bool Database::read(const Work& work, std::string* error) {
  if (m_server) return m_server->read(work, error);
  std::lock_guard lock(m_reader_mutex);
  if (!m_reader) {
    std::vector<std::function<void(sqlite3*)>> setups;
    {
      std::lock_guard writer(m_mutex);
      if (!m_db) {
        *error = m_error;
        return false;
      }
      setups = m_setups;
    }
    sqlite3* reader = nullptr;
    if (sqlite3_open_v2(m_path.c_str(), &reader, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
      *error = reader ? sqlite3_errmsg(reader) : "打不开";
      sqlite3_close(reader);
      return false;
    }
    sqlite3_busy_timeout(reader, 5000);
    std::string ignored;
    exec(reader, "PRAGMA cache_size=-32768; PRAGMA mmap_size=1073741824", &ignored);
    for (const auto& setup : setups) setup(reader);
    std::lock_guard handle(m_interrupt_mutex);
    m_reader = reader;
  }
  Connection connection(m_reader, m_reader_statements);
  return work(connection, error);
}

void Database::interrupt_read() {
  if (m_server) return m_server->interrupt();
  std::lock_guard handle(m_interrupt_mutex);
  if (m_reader) sqlite3_interrupt(m_reader);
}

void Database::on_each_connection(const std::function<void(sqlite3*)>& setup) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_db) return;
    setup(m_db);
    m_setups.push_back(setup);
  }
  std::lock_guard lock(m_reader_mutex);
  if (m_reader) setup(m_reader);
}

std::string local_time_text(const char* format, std::int64_t unix_time) {
  const std::time_t when = unix_time < 0 ? std::time(nullptr) : static_cast<std::time_t>(unix_time);
  std::tm local{};
  localtime_r(&when, &local);
  char text[64];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

std::string now_with_offset() {
  std::string s = local_time_text("%Y-%m-%dT%H:%M:%S%z");
  // "+0800" -> "+08:00" (built anew: GCC 12 warns falsely about insert here)
  if (s.size() >= 5) s = s.substr(0, s.size() - 2) + ":" + s.substr(s.size() - 2);
  return s;
}

}  // namespace store
