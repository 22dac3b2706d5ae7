#pragma once
// The shared store's side of store::Database: a pool of connections to the
// PostgreSQL server (a thread at work holds one of its own), the schema made
// or brought up to date by the first station that connects, and whether the
// server answers. Internal to the store.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/pg.h"

namespace store {

class Database::Server {
 public:
  Server(std::string url, std::string password);

  bool ok();  // asks again, at most every few seconds, while the server did not answer
  std::string error() const;
  std::string where() const { return pg::describe(m_url); }
  int schema_version();

  bool run(const Work& work, std::string* error);
  bool read(const Work& work, std::string* error);  // cancellable by interrupt()
  void interrupt();

 private:
  std::unique_ptr<pg::Connection> take(std::string* error);
  void give_back(std::unique_ptr<pg::Connection> c);
  bool work_on(const Work& work, std::string* error, bool cancellable);
  void failed(const std::string& why);

  const std::string m_url, m_password;
  mutable std::mutex m_mutex;
  std::vector<std::unique_ptr<pg::Connection>> m_idle;
  bool m_schema_ready = false;
  std::string m_error;  // the last failure to connect; empty while the server answers
  std::chrono::steady_clock::time_point m_last_try{};
  PGcancel* m_cancel = nullptr;  // the read under way, under m_mutex
  bool m_cancel_sent = false;    // to it
};

}  // namespace store
