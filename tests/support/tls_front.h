#pragma once
// A TLS front for a plain-HTTP stand-in on loopback: it answers HTTPS on a
// port of its own with a certificate made for the test (openssl, for
// 127.0.0.1) and passes every request on unchanged, redirects and cookies
// included. The certificate is trusted only where a test says so
// (SSL_CERT_FILE = certificate()).
//
// Usage: testing_support::TlsFront front(dir, mall.backoffice_host());
//        ctx.hosts.backoffice = front.host();   // "https://127.0.0.1:PORT"
//
// Only test programs that link cpp-httplib (the stand-in mall) may include it.

#include <httplib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace testing_support {

class TlsFront {
 public:
  TlsFront(const std::filesystem::path& dir, const std::string& plain_host)
      : m_cert(dir / "front-cert.pem"), m_key(dir / "front-key.pem") {
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
        "-addext subjectAltName=IP:127.0.0.1 -keyout '" + m_key.string() + "' -out '" +
        m_cert.string() + "' 2>/dev/null";
    m_ok = std::system(make.c_str()) == 0;
    m_server = std::make_unique<httplib::SSLServer>(m_cert.c_str(), m_key.c_str());
    const auto colon = plain_host.rfind(':');
    const std::string host = plain_host.substr(0, colon);
    const int port = std::stoi(plain_host.substr(colon + 1));
    auto pass_on = [host, port](const httplib::Request& req, httplib::Response& res) {
      httplib::Client back(host, port);
      httplib::Headers headers;
      for (const auto& [name, value] : req.headers)
        if (name == "Cookie" || name == "X-CSRF-Token" || name == "Content-Type")
          headers.emplace(name, value);
      const std::string target = req.target;
      auto answer = req.method == "POST"
                        ? back.Post(target, headers, req.body,
                                    req.get_header_value("Content-Type"))
                        : back.Get(target, headers);
      if (!answer) {
        res.status = 502;
        return;
      }
      res.status = answer->status;
      for (const auto& [name, value] : answer->headers)
        if (name == "Set-Cookie" || name == "Location") res.headers.emplace(name, value);
      res.set_content(answer->body, answer->get_header_value("Content-Type"));
    };
    m_server->set_keep_alive_max_count(1);  // no connection lingers at the end
    m_server->Get(".*", pass_on);
    m_server->Post(".*", pass_on);
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~TlsFront() {
    m_server->stop();
    m_thread.join();
  }

  bool ok() const { return m_ok && m_port > 0; }
  std::string host() const { return "https://127.0.0.1:" + std::to_string(m_port); }
  const std::filesystem::path& certificate() const { return m_cert; }

 private:
  std::filesystem::path m_cert, m_key;
  bool m_ok = false;
  int m_port = -1;
  std::unique_ptr<httplib::SSLServer> m_server;
  std::thread m_thread;
};

}  // namespace testing_support
