#pragma once
// A loopback HTTP server whose answers a test scripts: the reply to every
// POST /order/send and GET /api, and an optional gate that holds ship replies
// until the test opens it (to catch an operation in the middle of a batch).
// Waits are bounded so a failing test cannot hang the suite.
//
// Usage: ScriptedServer server;  server.set_reply(gbk_free_utf8_text);
//        ctx.hosts.backoffice = server.host();

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fulfilment_tests {

class ScriptedServer {
 public:
  ScriptedServer() {
    auto answer = [this](const httplib::Request& req, httplib::Response& res) {
      std::unique_lock lock(m_mutex);
      m_bodies.push_back(req.body);
      m_targets.push_back(req.target);
      m_arrived.notify_all();
      if (m_gate_closed)
        m_gate.wait_for(lock, std::chrono::seconds(5), [this] { return !m_gate_closed; });
      res.set_content(m_reply, "text/html; charset=utf-8");
    };
    m_server.Post("/order/send", answer);
    m_server.Get("/api", answer);
    // Idle connections close at once, so stopping never waits for a keep-alive timeout.
    m_server.set_keep_alive_timeout(0);
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // stop() only ends a loop that is already running, so wait for it (bounded).
    for (int i = 0; i < 500 && !m_server.is_running(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~ScriptedServer() {
    open_gate();
    m_server.stop();
    m_thread.join();
  }

  std::string host() const { return "127.0.0.1:" + std::to_string(m_port); }

  void set_reply(std::string utf8) {
    std::lock_guard lock(m_mutex);
    m_reply = std::move(utf8);
  }
  void close_gate() {
    std::lock_guard lock(m_mutex);
    m_gate_closed = true;
  }
  void open_gate() {
    {
      std::lock_guard lock(m_mutex);
      m_gate_closed = false;
    }
    m_gate.notify_all();
  }
  // Waits (at most `limit`) until `count` requests have arrived.
  bool wait_for_requests(std::size_t count,
                         std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::unique_lock lock(m_mutex);
    return m_arrived.wait_for(lock, limit, [&] { return m_bodies.size() >= count; });
  }
  std::vector<std::string> bodies() const {
    std::lock_guard lock(m_mutex);
    return m_bodies;
  }
  std::vector<std::string> targets() const {
    std::lock_guard lock(m_mutex);
    return m_targets;
  }

 private:
  httplib::Server m_server;
  std::thread m_thread;
  int m_port = 0;
  mutable std::mutex m_mutex;
  std::condition_variable m_arrived;
  std::condition_variable m_gate;
  bool m_gate_closed = false;
  std::string m_reply;
  std::vector<std::string> m_bodies;
  std::vector<std::string> m_targets;
};

}  // namespace fulfilment_tests
