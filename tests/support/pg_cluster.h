#pragma once
// A throwaway PostgreSQL server for the tests of the shared store: initdb
// into a temporary folder (as the postgres user when the tests run as root,
// since the server refuses root), started on a free port of 127.0.0.1,
// stopped and removed at the end of the test program. One per test program,
// started at its first use; each test makes a database of its own.
//
// Usage: std::string url = testing_support::pg_cluster().new_database();

#include <string>

namespace testing_support {

class PgCluster {
 public:
  PgCluster();
  ~PgCluster();
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  bool running() const { return m_running; }
  const std::string& problem() const { return m_problem; }
  // A fresh UTF-8 database (C.UTF-8 character class): its connection string.
  std::string new_database();
  // The same with another character class, for a database the store refuses.
  std::string new_database_with_ctype(const std::string& ctype);
  int port() const { return m_port; }
  // Stops the server and starts it again (the same data), for a reconnection.
  void restart();

 private:
  bool command(const std::string& line);  // as the server's user; true on success
  void start();

  std::string m_dir, m_bin;
  int m_port = 0;
  int m_made = 0;
  bool m_running = false;
  std::string m_problem;
};

PgCluster& pg_cluster();

}  // namespace testing_support
