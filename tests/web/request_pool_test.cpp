// The request pool with tasks that only sleep and count, so the order and
// concurrency can be checked exactly; and Retry-After as http_request reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

#include "loopback_server.h"
#include "web/http.h"
#include "web/request_pool.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using web::PoolAnswer;
using web::RequestPool;

// How many tasks run at once, and the most seen.
struct Concurrency {
  std::atomic<int> now{0}, most{0};
  void enter() {
    const int n = ++now;
    int seen = most.load();
    while (n > seen && !most.compare_exchange_weak(seen, n)) {
    }
  }
  void leave() { --now; }
};

// Submits `n` tasks as the operations do (one when a slot is free) and
// returns the tags in the order they were taken back.
std::vector<std::size_t> run_all(RequestPool& pool, std::size_t n,
                                 const std::function<PoolAnswer(std::size_t, int)>& task) {
  std::vector<std::size_t> taken;
  for (std::size_t i = 0; i < n; ++i) {
    while (pool.outstanding() >= static_cast<std::size_t>(pool.width()))
      taken.push_back(*pool.next_finished());
    pool.submit(i, [&task, i](int attempt) { return task(i, attempt); });
  }
  while (auto tag = pool.next_finished()) taken.push_back(*tag);
  return taken;
}

TEST(RequestPool, NeverMoreThanItsWidthAndEveryTagBackOnceInWhateverOrder) {
  RequestPool pool(3);
  Concurrency c;
  const auto taken = run_all(pool, 24, [&](std::size_t i, int) {
    c.enter();
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 4 == 0 ? 25 : 3));
    c.leave();
    return PoolAnswer{};
  });
  EXPECT_EQ(c.most.load(), 3);
  std::vector<int> seen(24);
  for (std::size_t tag : taken) ++seen.at(tag);
  EXPECT_EQ(seen, std::vector<int>(24, 1));
  EXPECT_FALSE(std::is_sorted(taken.begin(), taken.end()));  // slow ones come back later
  EXPECT_FALSE(pool.next_finished());
}

TEST(RequestPool, TooManyRequestsGoesToOneAtATimeAndRepeatsOnceAfterTheWait) {
  RequestPool pool(4);
  Concurrency after_throttle;
  std::vector<int> attempts(12);
  Clock::time_point first_refusal, repeat;
  const auto taken = run_all(pool, 12, [&](std::size_t i, int attempt) {
    ++attempts[i];
    const bool counted = pool.throttled();  // started after the refusal was taken
    if (counted) after_throttle.enter();
    std::this_thread::sleep_for(5ms);
    if (counted) after_throttle.leave();
    if (i != 2) return PoolAnswer{};
    if (attempt == 0) {
      first_refusal = Clock::now();
      return web::pool_answer(429, 150ms);
    }
    repeat = Clock::now();
    return web::pool_answer(503, 150ms);  // refused again: that is its answer
  });
  EXPECT_EQ(taken.size(), 12u);
  EXPECT_EQ(attempts[2], 2);
  for (std::size_t i = 0; i < 12; ++i)
    if (i != 2) EXPECT_EQ(attempts[i], 1) << i;
  EXPECT_GE(repeat - first_refusal, 150ms);
  EXPECT_TRUE(pool.throttled());
  EXPECT_EQ(pool.width(), 1);
  // Those already running when the refusal came may end as they will; every
  // one started after it ran alone.
  EXPECT_EQ(after_throttle.most.load(), 1);
  EXPECT_FALSE(web::pool_answer(200, std::nullopt).too_many);
}

// Over kept-alive connections shared by the pool's threads, each answer
// still comes back to the request that asked for it.
TEST(RequestPool, SharedKeptAliveConnectionsCarryEachAnswerToItsOwnRequest) {
  webtest::RecordingServer server(true);
  server.server().set_keep_alive_timeout(1);  // stops within a second
  server.server().Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
    std::this_thread::sleep_for(std::chrono::milliseconds(req.get_param_value("n").size() * 3));
    res.set_content("n=" + req.get_param_value("n"), "text/plain");
  });
  server.start();
  RequestPool pool(4);
  std::vector<std::string> answers(40);
  run_all(pool, answers.size(), [&](std::size_t i, int) {
    web::HttpOutcome outcome;
    answers[i] = web::http_request(server.url("/echo?n=" + std::string(i % 5 + 1, 'a') +
                                              std::to_string(i)),
                                   0, {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {},
                                   &outcome);
    return web::pool_answer(outcome);
  });
  for (std::size_t i = 0; i < answers.size(); ++i)
    EXPECT_EQ(answers[i], "n=" + std::string(i % 5 + 1, 'a') + std::to_string(i));
}

TEST(RetryAfter, ReadAsSecondsOrAsADate) {
  webtest::RecordingServer server;
  server.server().Get("/busy", [](const httplib::Request& req, httplib::Response& res) {
    res.status = 429;
    const std::string value = req.get_param_value("v");
    if (!value.empty()) res.set_header("Retry-After", value);
  });
  server.start();
  auto retry_after = [&](const std::string& value) {
    web::HttpOutcome outcome;
    web::http_request(server.url("/busy?v=" + web::form_encode(value)), 0, {}, nullptr, nullptr,
                      nullptr, nullptr, false, nullptr, {}, &outcome);
    EXPECT_EQ(outcome.status, 429);
    return outcome.retry_after;
  };
  EXPECT_EQ(retry_after("7"), std::chrono::milliseconds(7000));
  EXPECT_EQ(retry_after(""), std::nullopt);
  EXPECT_EQ(retry_after("soon"), std::nullopt);
  char date[64];
  const std::time_t later = std::time(nullptr) + 30;
  std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", std::gmtime(&later));
  const auto wait = retry_after(date);
  ASSERT_TRUE(wait);
  EXPECT_GE(*wait, 28s);
  EXPECT_LE(*wait, 30s);
  EXPECT_EQ(retry_after("Wed, 01 Jan 2020 00:00:00 GMT"), 0ms);  // already past
}

}  // namespace
