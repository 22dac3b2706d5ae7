#pragma once
// A thin layer over libpq for the shared store: owned connections and
// results, statements prepared once per connection (parameters always sent
// apart from the text), and the server's SQLSTATE turned into the step codes
// the rest of the store already speaks (SQLITE_CONSTRAINT for a unique key
// taken, SQLITE_BUSY for a conflict worth repeating, SQLITE_CANTOPEN for a
// lost server, SQLITE_INTERRUPT for a cancelled query).
//
// Usage: auto c = store::pg::connect("postgresql://weihe@db.lan/weihe?sslmode=verify-full", &error);
//        store::pg::Result r = c->run("SELECT 1", {}, &code);

#include <libpq-fe.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace store::pg {

struct ResultFree {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

using Values = std::vector<std::optional<std::string>>;  // nullopt: NULL

// The step code of a failed result's SQLSTATE (see the file's comment).
int step_code(const char* sqlstate);

class Connection {
 public:
  explicit Connection(PGconn* c) : m_conn(c) {}
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  PGconn* get() const { return m_conn; }
  bool healthy() const;  // connected and not inside a transaction
  // Runs `sql` with `values` as a prepared statement of this connection;
  // `code` gets SQLITE_OK or a step code. Texts without parameters that
  // only steer a transaction run as they are. `kept` false: planned for
  // these values and forgotten (a query whose best plan depends on them).
  Result run(std::string_view sql, const Values& values, int* code, bool kept = true);
  // Runs a script of one or more statements as it is (a schema, say); false
  // with `error` when one failed.
  bool exec(const std::string& script, std::string* error);
  std::string error() const;  // the last failure, UTF-8

 private:
  // `result` when it succeeded; else nothing, with its step code and message kept.
  Result checked(Result result, int* code);

  PGconn* m_conn;
  std::map<std::string, std::string, std::less<>> m_prepared;  // text -> statement name
  std::string m_error;
};

// The connection string with our defaults under it (timeouts, keepalives);
// the string's own settings win. `password` (may be empty) is used when the
// string names none.
// `application` names the connection in the server's pg_stat_activity.
std::unique_ptr<Connection> connect(const std::string& url, const std::string& password,
                                    std::string* error, const char* application = "weihe-orders");

// SQLite's placeholders (?, ?N) as PostgreSQL's ($N), outside quotes.
std::string numbered_placeholders(std::string_view sql);

// The settings a connection string names (host, port, user, password, ...),
// or nothing with libpq's `error` when it cannot be read.
std::optional<std::map<std::string, std::string>> settings_of(const std::string& url, std::string* error = nullptr);

// The server and database of a connection string without its password, for messages.
std::string describe(const std::string& url);

}  // namespace store::pg
