#pragma once
// A few threads that send an operation's requests side by side, at most
// `width` at once, over the process-wide connection cache and cookie store of
// http_request. The operation's own thread stays in charge: it submits one
// request at a time when a slot is free (so whatever it records before a
// request goes out is never far ahead of the requests), and takes back the
// finished ones, in whatever order they end, to write their results.
//
// A back office that answers "too many requests" (429 or 503) makes the pool
// drop to one request at a time for the rest of its life, and the request is
// sent once more after the wait its Retry-After names (at most 10 s).
//
// Usage: RequestPool pool(4);
//        for (item : items) {
//          while (pool.outstanding() >= pool.width()) finish(pool.next_finished());
//          pool.submit(item.index, [&, i = item.index](int attempt) {
//            results[i] = http_request(...);  return pool_answer(results[i].outcome);
//          });
//        }
//        while (pool.outstanding() > 0) finish(pool.next_finished());

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "web/http.h"

namespace web {

// What a request's task tells the pool about the answer it got.
struct PoolAnswer {
  bool too_many = false;                    // 429 or 503: send once more, later
  std::optional<std::chrono::milliseconds> retry_after;  // the wait the answer asked for
};
// The answer of a finished http_request as the pool needs it.
PoolAnswer pool_answer(const HttpOutcome& outcome);
PoolAnswer pool_answer(long http_status, std::optional<std::chrono::milliseconds> retry_after);

class RequestPool {
 public:
  // A task sends one request (attempt 0, then 1 for its one repeat) and
  // keeps what it got where its submitter will look for it.
  using Task = std::function<PoolAnswer(int attempt)>;

  // `width` requests at once (1: one after another; at least 1, at most 16).
  explicit RequestPool(int width);
  ~RequestPool();  // lets running tasks end, drops queued ones
  RequestPool(const RequestPool&) = delete;
  RequestPool& operator=(const RequestPool&) = delete;

  void submit(std::size_t tag, Task task);
  // Blocks until a submitted task has finished for good; its tag. Nothing
  // when no task is outstanding.
  std::optional<std::size_t> next_finished();
  // Submitted and not yet taken back by next_finished.
  std::size_t outstanding() const;
  // How many may run at once now (drops to 1 once throttled).
  int width() const;
  bool throttled() const;

  // The longest Retry-After wait obeyed.
  static constexpr std::chrono::seconds kMaxRetryAfter{10};
  // The wait when a throttling answer names none.
  static constexpr std::chrono::seconds kDefaultRetryAfter{1};

 private:
  struct Job {
    std::size_t tag;
    Task task;
    int attempt = 0;
    std::chrono::steady_clock::time_point not_before{};
  };
  void work();

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<Job> m_queue;
  std::deque<std::size_t> m_finished;
  std::size_t m_outstanding = 0;
  int m_running = 0;
  int m_width;
  bool m_throttled = false;
  bool m_stopping = false;
  std::vector<std::thread> m_threads;
};

}  // namespace web
