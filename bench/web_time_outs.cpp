// How http_request ends against a server that accepts and never answers, and
// against one that trickles a page out far slower than the stall window:
// the first is given up after the stall window, the second is read whole.
// Uses the program's default bounds unless WEIHE_STALL_MS names another window.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "web/http.h"
#include "web/loopback_server.h"

namespace {

void use_stall_window() {
  if (const char* ms = std::getenv("WEIHE_STALL_MS"))
    web::set_http_timeouts(
        {std::chrono::milliseconds(15000), std::chrono::milliseconds(std::atoll(ms))});
}

void BM_SilentServerIsLeft(benchmark::State& state) {
  use_stall_window();
  for (auto _ : state) {
    webtest::RawServer silent("");
    web::HttpOutcome how;
    web::http_request(silent.url("/"), 0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr,
                      {}, &how);
    if (how.complete) state.SkipWithError("a silent server gave a complete answer");
  }
}
BENCHMARK(BM_SilentServerIsLeft)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// 64 KB at 64 bytes per 25 ms: about 25 s, longer than the stall window.
void BM_TricklingPageIsReadWhole(benchmark::State& state) {
  use_stall_window();
  const std::string page(64 * 1024, 'x');
  for (auto _ : state) {
    webtest::RawServer slow(
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page, 1,
        std::chrono::milliseconds(25));
    web::HttpOutcome how;
    const web::Bytes body = web::http_request(slow.url("/"), 0, {}, nullptr, nullptr, nullptr,
                                              nullptr, false, nullptr, {}, &how);
    if (!how.complete || body != page) state.SkipWithError("the trickling page was cut");
  }
}
BENCHMARK(BM_TricklingPageIsReadWhole)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
