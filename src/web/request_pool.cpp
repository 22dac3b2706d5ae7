#include "web/request_pool.h"

#include <algorithm>

namespace web {

PoolAnswer pool_answer(long http_status, std::optional<std::chrono::milliseconds> retry_after) {
  return {http_status == 429 || http_status == 503, retry_after};
}

PoolAnswer pool_answer(const HttpOutcome& outcome) {
  return pool_answer(outcome.status, outcome.retry_after);
}

RequestPool::RequestPool(int width) : m_width(std::clamp(width, 1, 16)) {
  m_threads.reserve(static_cast<std::size_t>(m_width));
  for (int i = 0; i < m_width; ++i) m_threads.emplace_back([this] { work(); });
}

RequestPool::~RequestPool() {
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_changed.notify_all();
  for (std::thread& t : m_threads) t.join();
}

void RequestPool::submit(std::size_t tag, Task task) {
  {
    std::lock_guard lock(m_mutex);
    m_queue.push_back({tag, std::move(task)});
    ++m_outstanding;
  }
  m_changed.notify_all();
}

std::optional<std::size_t> RequestPool::next_finished() {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [&] { return !m_finished.empty() || m_outstanding == 0; });
  if (m_finished.empty()) return std::nullopt;
  const std::size_t tag = m_finished.front();
  m_finished.pop_front();
  --m_outstanding;
  return tag;
}

std::size_t RequestPool::outstanding() const {
  std::lock_guard lock(m_mutex);
  return m_outstanding;
}

int RequestPool::width() const {
  std::lock_guard lock(m_mutex);
  return m_width;
}

bool RequestPool::throttled() const {
  std::lock_guard lock(m_mutex);
  return m_throttled;
}

void RequestPool::work() {
  using Clock = std::chrono::steady_clock;
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [&] { return m_stopping || (!m_queue.empty() && m_running < m_width); });
    if (m_stopping) return;
    // A repeat waits at the front of the queue until its Retry-After has passed.
    const Clock::time_point not_before = m_queue.front().not_before;
    if (not_before > Clock::now()) {
      m_changed.wait_until(lock, not_before);
      continue;
    }
    Job job = std::move(m_queue.front());
    m_queue.pop_front();
    ++m_running;
    lock.unlock();
    PoolAnswer answer;
    try {
      answer = job.task(job.attempt);
    } catch (...) {
      answer = {};  // a task that throws has finished, with whatever it kept
    }
    lock.lock();
    --m_running;
    if (answer.too_many && job.attempt == 0) {
      // The back office wants fewer requests: one at a time from now on,
      // and this one again once the wait it asked for is over.
      m_throttled = true;
      m_width = 1;
      const auto wait = answer.retry_after
                            ? std::min<std::chrono::milliseconds>(*answer.retry_after, kMaxRetryAfter)
                            : std::chrono::milliseconds(kDefaultRetryAfter);
      job.attempt = 1;
      job.not_before = Clock::now() + wait;
      m_queue.push_front(std::move(job));
    } else {
      m_finished.push_back(job.tag);
    }
    m_changed.notify_all();
  }
}

}  // namespace web
