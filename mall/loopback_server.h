#pragma once
// An httplib server that answers one request per connection and can hang up
// on a connection before answering it (the "dropped connection" fault). It
// serves plain HTTP only and is meant for 127.0.0.1.
//
// Usage: LoopbackServer server;
//        server.set_drop_check([&] { return fault == Fault::Drop; },
//                              [&](const std::string& raw) { record(raw); });
//        server.Get("/", handler);  int port = server.bind_to_any_port("127.0.0.1");

#include <httplib.h>

#include <atomic>
#include <functional>
#include <string>

namespace mall {

class LoopbackServer : public httplib::Server {
 public:
  // `should_drop` is asked once per connection; when it says yes, whatever
  // the client sent within a short while is handed to `on_dropped` and the
  // connection is closed without a byte of answer.
  void set_drop_check(std::function<bool()> should_drop,
                      std::function<void(const std::string& raw_request)> on_dropped);
  // Connections being served now, which is requests in progress, since each
  // connection carries one request.
  int connections_open() const { return m_open.load(); }
  // Called from a handler: whatever it answers is never sent; the connection
  // is closed without a byte of answer once the handler is done (an answer
  // lost on its way back, after the work was done).
  static void withhold_answer();

 private:
  bool process_and_close_socket(socket_t sock) override;

  std::function<bool()> m_should_drop;
  std::function<void(const std::string&)> m_on_dropped;
  std::atomic<int> m_open{0};
};

}  // namespace mall
