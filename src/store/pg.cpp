#include "store/pg.h"

#include <sqlite3.h>


namespace store::pg {

int step_code(const char* sqlstate) {
  const std::string_view s = sqlstate ? sqlstate : "";
  if (s.size() != 5) return SQLITE_CANTOPEN;  // no answer from the server at all
  if (s.starts_with("23")) return SQLITE_CONSTRAINT;  // unique, check, foreign key
  if (s == "40001" || s == "40P01" || s == "55P03") return SQLITE_BUSY;  // serialization, deadlock, lock
  if (s == "57014") return SQLITE_INTERRUPT;  // cancelled
  if (s.starts_with("08") || s.starts_with("57P") || s.starts_with("53")) return SQLITE_CANTOPEN;
  return SQLITE_ERROR;
}

Connection::~Connection() { PQfinish(m_conn); }

bool Connection::healthy() const {
  return PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) == PQTRANS_IDLE;
}

namespace {

bool steers_transaction(std::string_view sql) {
  for (const char* word : {"BEGIN", "COMMIT", "ROLLBACK"})
    if (sql.starts_with(word)) return true;
  return false;
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::string Connection::error() const { return m_error.empty() ? trimmed(PQerrorMessage(m_conn)) : m_error; }

Result Connection::checked(Result result, int* code) {
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
    *code = SQLITE_OK;
    return result;
  }
  *code = step_code(result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr);
  m_error = trimmed(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(m_conn));
  return nullptr;
}

bool Connection::exec(const std::string& script, std::string* error) {
  m_error.clear();
  int code = 0;
  if (checked(Result(PQexec(m_conn, script.c_str())), &code)) return true;
  *error = m_error;
  return false;
}

Result Connection::run(std::string_view sql, const Values& values, int* code, bool kept) {
  m_error.clear();
  Result result;
  std::vector<const char*> pointers;
  pointers.reserve(values.size());
  for (const auto& v : values) pointers.push_back(v ? v->c_str() : nullptr);
  if (values.empty() && steers_transaction(sql)) {
    // SQLite's "BEGIN IMMEDIATE" takes the write lock at once; here rows are
    // locked as they are written, so a plain BEGIN does.
    const std::string text = sql.starts_with("BEGIN") ? "BEGIN" : std::string(sql);
    result.reset(PQexec(m_conn, text.c_str()));
  } else if (!kept) {
    // The unnamed statement: the server plans it knowing the values.
    result.reset(PQexecParams(m_conn, numbered_placeholders(sql).c_str(),
                              static_cast<int>(values.size()), nullptr, pointers.data(), nullptr,
                              nullptr, 0));
  } else {
    auto it = m_prepared.find(sql);
    if (it == m_prepared.end()) {
      const std::string name = "s" + std::to_string(m_prepared.size() + 1);
      const std::string text = numbered_placeholders(sql);
      if (!checked(Result(PQprepare(m_conn, name.c_str(), text.c_str(), 0, nullptr)), code)) return nullptr;
      it = m_prepared.emplace(std::string(sql), name).first;
    }
    result.reset(PQexecPrepared(m_conn, it->second.c_str(), static_cast<int>(values.size()),
                                pointers.data(), nullptr, nullptr, 0));
  }
  return checked(std::move(result), code);
}

std::unique_ptr<Connection> connect(const std::string& url, const std::string& password,
                                    std::string* error, const char* application) {
  // Ours first: the connection string comes last and what it says wins.
  // A dead server is noticed within seconds, not at the kernel's two hours.
  std::vector<const char*> keys = {"connect_timeout", "keepalives", "keepalives_idle",
                                   "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                                   "application_name", "client_encoding"};
  std::vector<const char*> values = {"5", "1", "10", "5", "3", "15000", application, "UTF8"};
  if (!password.empty()) {
    keys.push_back("password");
    values.push_back(password.c_str());
  }
  keys.push_back("dbname");
  values.push_back(url.c_str());
  keys.push_back(nullptr);
  values.push_back(nullptr);
  auto c = std::make_unique<Connection>(PQconnectdbParams(keys.data(), values.data(), 1));
  if (!c->get() || PQstatus(c->get()) != CONNECTION_OK) {
    *error = c->get() ? c->error() : "libpq 没有内存";
    return nullptr;
  }
  // Notices (a table already there, say) are not the merchant's business.
  PQsetNoticeProcessor(c->get(), [](void*, const char*) {}, nullptr);
  return c;
}

std::string numbered_placeholders(std::string_view sql) {
  std::string out;
  out.reserve(sql.size() + 8);
  int next = 0;
  char quote = 0;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote) {
      if (c == quote) quote = 0;
      out += c;
      continue;
    }
    if (c == '\'' || c == '"') {
      quote = c;
      out += c;
      continue;
    }
    if (c != '?') {
      out += c;
      continue;
    }
    std::size_t digits = i + 1;
    while (digits < sql.size() && sql[digits] >= '0' && sql[digits] <= '9') ++digits;
    out += '$';
    if (digits > i + 1) {
      out.append(sql.substr(i + 1, digits - i - 1));
      i = digits - 1;
    } else {
      out += std::to_string(++next);
    }
  }
  return out;
}

std::optional<std::map<std::string, std::string>> settings_of(const std::string& url, std::string* error) {
  char* why = nullptr;
  PQconninfoOption* options = PQconninfoParse(url.c_str(), &why);
  if (!options) {
    if (error) *error = trimmed(why ? why : "");
    PQfreemem(why);
    return std::nullopt;
  }
  std::map<std::string, std::string> found;
  for (PQconninfoOption* o = options; o->keyword; ++o)
    if (o->val) found[o->keyword] = o->val;
  PQconninfoFree(options);
  return found;
}

std::string describe(const std::string& url) {
  const auto settings = settings_of(url);
  if (!settings) return "（连接串写得不对）";
  auto value = [&](const char* key) {
    const auto it = settings->find(key);
    return it == settings->end() ? std::string() : it->second;
  };
  std::string text = !value("host").empty() ? value("host") : !value("hostaddr").empty() ? value("hostaddr") : "本机";
  if (!value("port").empty()) text += ":" + value("port");
  if (!value("dbname").empty()) text += "/" + value("dbname");
  return text;
}

}  // namespace store::pg
