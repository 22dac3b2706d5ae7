// How http_request ends against a server that accepts and never answers, and
// against one that trickles a page out far slower than the stall window:
// the first is given up after the stall window, the second is read whole.
// Uses the program's default bounds unless WEIHE_STALL_MS names another window.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "web/http.h"

namespace {

// One connection: reads the request head, then answers `answer` `piece`
// bytes at a time with `pause` between (an empty answer: silence until closed).
class OneShotServer {
 public:
  OneShotServer(std::string answer, size_t piece, std::chrono::milliseconds pause) {
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(m_fd, 1);
    socklen_t len = sizeof addr;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([=, this] {
      const int c = accept(m_fd, nullptr, nullptr);
      if (c < 0) return;
      char buf[4096];
      std::string got;
      while (got.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
      }
      for (size_t at = 0; at < answer.size() && !m_stop; at += piece) {
        send(c, answer.data() + at, std::min(piece, answer.size() - at), MSG_NOSIGNAL);
        std::this_thread::sleep_for(pause);
      }
      while (answer.empty() && !m_stop && recv(c, buf, sizeof buf, 0) > 0) {
      }
      close(c);
    });
  }
  ~OneShotServer() {
    m_stop = true;
    shutdown(m_fd, SHUT_RDWR);
    close(m_fd);
    m_thread.join();
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

 private:
  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

void use_stall_window() {
  if (const char* ms = std::getenv("WEIHE_STALL_MS"))
    web::set_http_timeouts(
        {std::chrono::milliseconds(15000), std::chrono::milliseconds(std::atoll(ms))});
}

void BM_SilentServerIsLeft(benchmark::State& state) {
  use_stall_window();
  for (auto _ : state) {
    OneShotServer silent("", 1, std::chrono::milliseconds(0));
    web::HttpOutcome how;
    web::http_request(silent.url(), 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {},
                      &how);
    if (how.complete) state.SkipWithError("a silent server gave a complete answer");
  }
}
BENCHMARK(BM_SilentServerIsLeft)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// 64 KB at 256 bytes per 100 ms: about 25 s, longer than the stall window.
void BM_TricklingPageIsReadWhole(benchmark::State& state) {
  use_stall_window();
  const std::string page(64 * 1024, 'x');
  for (auto _ : state) {
    OneShotServer slow(
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page,
        256, std::chrono::milliseconds(100));
    web::HttpOutcome how;
    const web::Bytes body = web::http_request(slow.url(), 0, {}, nullptr, nullptr, nullptr, nullptr,
                                              false, nullptr, {}, &how);
    if (!how.complete || body != page) state.SkipWithError("the trickling page was cut");
  }
}
BENCHMARK(BM_TricklingPageIsReadWhole)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
