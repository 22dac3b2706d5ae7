#pragma once
// Test servers on 127.0.0.1 with ephemeral ports.
//
// RecordingServer: a cpp-httplib server that records every request it gets
// (method, path, headers, body); routes are added by the test before start().
// RawServer: a bare socket that answers each connection with canned bytes, or
// never answers, for broken-server cases.
//
// Usage: RecordingServer s; s.server().Get("/x", handler); s.start();
//        http_request(s.url("/x")); auto seen = s.requests();

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace webtest {

struct SeenRequest {
  std::string method;
  std::string path;  // with the query string
  httplib::Headers headers;
  std::string body;

  std::string header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string("<none>") : it->second;
  }
  size_t header_count(const std::string& name) const { return headers.count(name); }
};

class RecordingServer {
 public:
  // keep_alive false: every answer closes its connection, so the server stops
  // at once instead of waiting for idle kept-alive connections to time out.
  explicit RecordingServer(bool keep_alive = false) {
    // Runs after the route's handler and before the answer is written, so a
    // request is on record by the time its client has the response.
    m_server.set_post_routing_handler(
        [this, keep_alive](const httplib::Request& req, httplib::Response& res) {
          if (!keep_alive) res.set_header("Connection", "close");
          SeenRequest seen{req.method, req.target, req.headers, req.body};
          for (const char* name : {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"})
            seen.headers.erase(name);
          std::lock_guard lock(m_mutex);
          m_requests.push_back(std::move(seen));
        });
    m_server.set_keep_alive_max_count(100000);
    m_server.set_tcp_nodelay(true);
  }
  ~RecordingServer() {
    m_server.stop();
    if (m_thread.joinable()) m_thread.join();
  }

  httplib::Server& server() { return m_server; }

  void start() {
    m_port = m_server.bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  int port() const { return m_port; }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
  }

  std::vector<SeenRequest> requests() {
    std::lock_guard lock(m_mutex);
    return m_requests;
  }

 private:
  httplib::Server m_server;
  std::thread m_thread;
  int m_port = 0;
  std::mutex m_mutex;
  std::vector<SeenRequest> m_requests;
};

class RawServer {
 public:
  // answer empty: accept connections but never write anything. A `pace`
  // trickles the answer out, 64 bytes at a time with that pause between.
  explicit RawServer(std::string answer, int connections = 1,
                     std::chrono::milliseconds pace = std::chrono::milliseconds(0))
      : m_answer(std::move(answer)), m_pace(pace) {
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(m_fd, 16);
    socklen_t len = sizeof addr;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this, connections] { serve(connections); });
  }
  ~RawServer() {
    m_stop = true;
    shutdown(m_fd, SHUT_RDWR);
    close(m_fd);
    if (m_thread.joinable()) m_thread.join();
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
  }
  // The request heads received so far, byte for byte.
  std::string received() {
    std::lock_guard lock(m_mutex);
    return m_received;
  }

 private:
  void serve(int connections) {
    for (int i = 0; i < connections && !m_stop; ++i) {
      int c = accept(m_fd, nullptr, nullptr);
      if (c < 0) return;
      std::string got;
      char buf[4096];
      while (got.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
      }
      {
        std::lock_guard lock(m_mutex);
        m_received += got;
      }
      if (m_answer.empty()) {
        // Hold the connection open without answering until the client gives up.
        while (!m_stop && recv(c, buf, sizeof buf, 0) > 0) {
        }
      } else if (m_pace.count() > 0) {
        for (size_t at = 0; at < m_answer.size() && !m_stop; at += 64) {
          send(c, m_answer.data() + at, std::min<size_t>(64, m_answer.size() - at), MSG_NOSIGNAL);
          std::this_thread::sleep_for(m_pace);
        }
      } else {
        send(c, m_answer.data(), m_answer.size(), MSG_NOSIGNAL);
      }
      close(c);
    }
  }

  std::string m_answer;
  std::chrono::milliseconds m_pace;
  std::mutex m_mutex;
  std::string m_received;
  int m_fd = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

}  // namespace webtest
