#include "pg_cluster.h"

#include <libpq-fe.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "temp_dir.h"

namespace testing_support {

namespace {

int free_port() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  ::close(s);
  return port;
}

// The server's programs: pg_config's folder, else Debian's newest.
std::string server_bin() {
  if (FILE* p = ::popen("pg_config --bindir 2>/dev/null", "r")) {
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, p) != nullptr;
    ::pclose(p);
    std::string dir = read ? line : "";
    while (!dir.empty() && (dir.back() == '\n' || dir.back() == ' ')) dir.pop_back();
    if (std::filesystem::exists(dir + "/initdb")) return dir;
  }
  std::string best;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/usr/lib/postgresql", ec))
    if (std::filesystem::exists(e.path() / "bin/initdb") && e.path().string() > best) best = e.path().string();
  return best.empty() ? best : best + "/bin";
}

bool exec(const std::string& url, const std::string& sql) {
  PGconn* c = PQconnectdb(url.c_str());
  PGresult* r = PQexec(c, sql.c_str());
  const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  if (!ok) std::fprintf(stderr, "%s: %s", sql.c_str(), PQerrorMessage(c));
  PQclear(r);
  PQfinish(c);
  return ok;
}

}  // namespace

bool PgCluster::command(const std::string& line) {
  const std::string as_owner = ::geteuid() == 0 ? "runuser -u postgres -- " + line : line;
  return std::system((as_owner + " >>" + m_dir + "/setup.log 2>&1").c_str()) == 0;
}

PgCluster::PgCluster() {
  m_bin = server_bin();
  if (m_bin.empty()) {
    m_problem = "no PostgreSQL server programs (scripts/install-deps.sh installs postgresql-15)";
    return;
  }
  m_dir = fresh_temp_dir("weihe-pg").string();
  if (::geteuid() == 0) std::system(("chown postgres " + m_dir).c_str());
  if (!command(m_bin + "/initdb --no-sync -A trust -U weihe -E UTF8 --locale=C.UTF-8 -D " + m_dir +
               "/data")) {
    m_problem = "initdb failed: see " + m_dir + "/setup.log";
    return;
  }
  start();
}

void PgCluster::start() {
  m_port = free_port();
  const std::string options = "-p " + std::to_string(m_port) + " -k " + m_dir +
                              " -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200";
  m_running = command(m_bin + "/pg_ctl -w -t 60 -D " + m_dir + "/data -l " + m_dir +
                      "/server.log -o '" + options + "' start");
  if (!m_running) m_problem = "the server did not start: see " + m_dir + "/server.log";
}

void PgCluster::restart() {
  command(m_bin + "/pg_ctl -w -D " + m_dir + "/data -m fast stop");
  m_running = false;
  start();
}

PgCluster::~PgCluster() {
  if (m_running) command(m_bin + "/pg_ctl -w -D " + m_dir + "/data -m immediate stop");
  std::error_code ignored;
  if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ignored);
}

std::string PgCluster::new_database_with_ctype(const std::string& ctype) {
  const std::string base = "host=127.0.0.1 port=" + std::to_string(m_port) + " user=weihe dbname=";
  const std::string name = "t" + std::to_string(::getpid()) + "_" + std::to_string(++m_made);
  exec(base + "postgres", "CREATE DATABASE " + name + " TEMPLATE template0 ENCODING 'UTF8' LC_CTYPE '" +
                              ctype + "' LC_COLLATE 'C'");
  return base + name;
}

std::string PgCluster::new_database() { return new_database_with_ctype("C.UTF-8"); }

PgCluster& pg_cluster() {
  static PgCluster cluster;
  return cluster;
}

}  // namespace testing_support
