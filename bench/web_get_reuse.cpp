// 1,000 sequential GETs through http_request against a keep-alive loopback
// server, compared with the curl program fetching the same 1,000 URLs in one
// process (URL globbing). Prints both times, the ratio, and how many
// connections the server saw for http_request (1 means one reused connection).
//
// Usage: bench_web_get_reuse [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "web/http.h"

namespace {

constexpr int kRequests = 1000;

class Server {
 public:
  Server() {
    m_server.set_keep_alive_max_count(100000);
    m_server.set_tcp_nodelay(true);
    m_server.Get("/item", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard lock(m_mutex);
        m_peers.insert(req.remote_port);
      }
      res.set_content("<html><body><td>" + req.get_param_value("i") + "</td></body></html>",
                      "text/html; charset=utf-8");
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~Server() {
    m_server.stop();
    m_thread.join();
  }
  std::string url(int i) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/item?i=" + std::to_string(i);
  }
  std::string glob_url() const {
    return "http://127.0.0.1:" + std::to_string(m_port) + "/item?i=[1-" +
           std::to_string(kRequests) + "]";
  }
  size_t connections() {
    std::lock_guard lock(m_mutex);
    size_t n = m_peers.size();
    m_peers.clear();
    return n;
  }

 private:
  httplib::Server m_server;
  std::thread m_thread;
  int m_port = 0;
  std::mutex m_mutex;
  std::set<int> m_peers;
};

Server& server() {
  static Server s;
  return s;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double time_http_request() {
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 1; i <= kRequests; ++i) benchmark::DoNotOptimize(web::http_request(server().url(i)));
  return seconds_since(t0);
}

double time_curl() {
  std::string cmd = "curl -s '" + server().glob_url() + "' > /dev/null";
  auto t0 = std::chrono::steady_clock::now();
  if (std::system(cmd.c_str()) != 0) return -1;
  return seconds_since(t0);
}

void BM_Http1000Gets(benchmark::State& state) {
  for (auto _ : state) time_http_request();
}
BENCHMARK(BM_Http1000Gets)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Curl1000Gets(benchmark::State& state) {
  for (auto _ : state)
    if (time_curl() < 0) state.SkipWithError("curl failed");
}
BENCHMARK(BM_Curl1000Gets)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  time_http_request();  // warm-up: the connection and the DNS entry are cached
  server().connections();
  double ours = 1e9, theirs = 1e9;
  size_t connections = 0;
  for (int round = 0; round < 5; ++round) {
    server().connections();  // forget the peers of the previous curl run
    ours = std::min(ours, time_http_request());
    connections = std::max(connections, server().connections());
    double t = time_curl();
    if (t > 0) theirs = std::min(theirs, t);
  }
  std::printf("http_request: %d GETs in %.1f ms (best of 5), %zu connection(s) used per run\n",
              kRequests, ours * 1e3, connections);
  std::printf("curl:         %d GETs in %.1f ms (best of 5, one process, URL glob)\n", kRequests,
              theirs * 1e3);
  std::printf("ratio http_request/curl = %.2f\n", ours / theirs);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
