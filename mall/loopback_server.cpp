#include "mall/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace mall {
namespace {

constexpr int kIoTimeoutMs = 5000;

// Set by withhold_answer() on the thread serving the connection.
thread_local bool t_withhold = false;

bool wait_for(int fd, short events, int timeout_ms) {
  pollfd p{fd, events, 0};
  int n;
  do {
    n = ::poll(&p, 1, timeout_ms);
  } while (n < 0 && errno == EINTR);
  return n > 0 && (p.revents & events);
}

void address_of(const sockaddr_storage& addr, std::string& ip, int& port) {
  char buffer[INET6_ADDRSTRLEN] = {};
  if (addr.ss_family == AF_INET) {
    const auto* a = reinterpret_cast<const sockaddr_in*>(&addr);
    ::inet_ntop(AF_INET, &a->sin_addr, buffer, sizeof buffer);
    port = ntohs(a->sin_port);
  } else if (addr.ss_family == AF_INET6) {
    const auto* a = reinterpret_cast<const sockaddr_in6*>(&addr);
    ::inet_ntop(AF_INET6, &a->sin6_addr, buffer, sizeof buffer);
    port = ntohs(a->sin6_port);
  }
  ip = buffer;
}

// A buffered, time-limited stream over a connected socket.
class SocketStream final : public httplib::Stream {
 public:
  explicit SocketStream(int fd) : m_fd(fd) {}

  bool is_readable() const override {
    return m_pos < m_end || wait_for(m_fd, POLLIN, kIoTimeoutMs);
  }
  bool is_writable() const override { return wait_for(m_fd, POLLOUT, kIoTimeoutMs); }

  ssize_t read(char* ptr, size_t size) override {
    if (m_pos == m_end) {
      if (!wait_for(m_fd, POLLIN, kIoTimeoutMs)) return -1;
      ssize_t n;
      do {
        n = ::recv(m_fd, m_buffer, sizeof m_buffer, 0);
      } while (n < 0 && errno == EINTR);
      if (n <= 0) return n;
      m_pos = 0;
      m_end = static_cast<size_t>(n);
    }
    const size_t count = std::min(size, m_end - m_pos);
    std::memcpy(ptr, m_buffer + m_pos, count);
    m_pos += count;
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (t_withhold) return static_cast<ssize_t>(size);  // swallowed: the answer is lost
    if (!is_writable()) return -1;
    ssize_t n;
    do {
      n = ::send(m_fd, ptr, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getpeername(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      address_of(addr, ip, port);
    }
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      address_of(addr, ip, port);
    }
  }
  socket_t socket() const override { return m_fd; }

 private:
  int m_fd;
  char m_buffer[8192];
  size_t m_pos = 0, m_end = 0;
};

// Reads what the client sends until the header block (and a body of the
// announced length) is complete, the client stops, or one second passes.
std::string read_request(int fd) {
  std::string raw;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  char buffer[4096];
  while (raw.size() < (1u << 20)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !wait_for(fd, POLLIN, static_cast<int>(left.count()))) break;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    raw.append(buffer, static_cast<size_t>(n));
    const auto end_of_headers = raw.find("\r\n\r\n");
    if (end_of_headers == std::string::npos) continue;
    size_t length = 0;
    const auto cl = raw.find("Content-Length:");
    if (cl != std::string::npos && cl < end_of_headers) {
      length = std::strtoul(raw.c_str() + cl + 15, nullptr, 10);
    }
    if (raw.size() >= end_of_headers + 4 + length) break;
  }
  return raw;
}

}  // namespace

void LoopbackServer::set_drop_check(std::function<bool()> should_drop,
                                    std::function<void(const std::string&)> on_dropped) {
  m_should_drop = std::move(should_drop);
  m_on_dropped = std::move(on_dropped);
}

void LoopbackServer::withhold_answer() {
  t_withhold = true;
}

bool LoopbackServer::process_and_close_socket(socket_t sock) {
  ++m_open;
  t_withhold = false;
  bool ok = true;
  if (m_should_drop && m_should_drop()) {
    const std::string raw = read_request(sock);
    if (m_on_dropped) m_on_dropped(raw);
  } else {
    SocketStream stream(sock);
    bool closed = false;
    ok = process_request(stream, /*close_connection=*/true, closed, [](httplib::Request&) {});
  }
  t_withhold = false;
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  --m_open;
  return ok;
}

}  // namespace mall
