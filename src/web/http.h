#pragma once
// The one routine through which the program talks to the back office, the image
// host and the tracking service: a synchronous HTTP(S) request on libcurl with
// the fixed default headers, a process-wide cookie store shared by all threads,
// redirects followed, a connect time-out and a stall limit so nothing hangs
// forever while a slow page that keeps arriving is still read whole.
//
// Usage: Bytes body = http_request(url);                       // GET
//        Bytes reply = http_request(url, 1, form_body, nullptr, nullptr, &headers);
//        HttpOutcome how;  http_request(url, 0, {}, ..., &how);  if (!how.complete) ...

#include <chrono>
#include <memory>
#include <optional>

#include "web/text.h"

namespace web {

// How a request ended. `complete` is false when the body is not the whole
// response: the connection dropped before the announced length or the last
// chunk, the server stalled, the body passed the size cap, or nothing came.
// `status` is the final response's HTTP status (0 when none arrived).
// `retry_after` is the wait a Retry-After header of the final response asks
// for (in seconds or as a date; nothing when there is none).
struct HttpOutcome {
  bool complete = false;
  long status = 0;
  std::optional<std::chrono::milliseconds> retry_after;
  // A TLS connection that was refused, in words (system text): the server's
  // certificate did not verify against the system's store, or the handshake
  // failed. Such a request sends nothing; empty for every other ending.
  Text tls_failure;
};

// A session with the back office as the client keeps it: its own cookie
// store (one login), over the process-wide connection cache. Several shops
// each keep one, so logging in to one never logs another out or sends its
// cookies elsewhere. A request that names no session uses process(), the
// first shop's. A session may be dropped while one of its requests is still
// out: that request keeps the store alive until it ends.
class HttpSession {
 public:
  HttpSession();
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  static HttpSession& process();
  // Forgets every cookie of this session.
  void clear_cookies();

  struct Store;
  std::shared_ptr<Store> store() const { return m_store; }

 private:
  std::shared_ptr<Store> m_store;
};

// Why an answer is no back-office page, in words (GB18030): a refused TLS
// certificate, no answer at all ("连接不上后台"), an error status ("后台返回 500"), an empty body, or a body
// that is no HTML document (a proxy's garbage); empty when it is a page.
Text failure_of(const Bytes& body, const HttpOutcome& outcome);

// Optional in/out parameters are pointers; nullptr means "absent". A `cookie`
// that is given (even pointing at an empty text) switches the shared cookie
// store off for this request and receives the merged cookies afterwards.
// An "https" URL is sent over TLS with the server's certificate verified
// against the system's store (SSL_CERT_FILE / SSL_CERT_DIR name another, as
// for OpenSSL); one that does not verify is refused, never ignored.
// `session`: whose cookie store the request uses (nullptr: process()).
Bytes http_request(const Text& url, int method = 0, const Text& body = {}, Text* cookie = nullptr,
                   Text* cookies_out = nullptr, Text* headers = nullptr,
                   Text* headers_out = nullptr, bool no_redirect = false,
                   Bytes* body_bytes = nullptr, const Text& proxy = {},
                   HttpOutcome* outcome = nullptr, HttpSession* session = nullptr);

// `connect`: how long establishing the connection may take. `stall`: a
// request is given up when almost nothing (under 16 bytes a second) moves for
// that long; there is no limit on the total time, so a big page on a slow
// line is read whole and a server that accepts and never answers is left.
struct HttpTimeouts {
  std::chrono::milliseconds connect{15000};
  std::chrono::milliseconds stall{20000};
};
void set_http_timeouts(HttpTimeouts timeouts);
HttpTimeouts http_timeouts();

// Forgets every cookie of the process-wide session (a fresh process, as far
// as the back office can tell).
void clear_http_cookies();

}  // namespace web
