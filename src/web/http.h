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
};

// Why an answer is no back-office page, in words (GB18030): no answer at all
// ("连接不上后台"), an error status ("后台返回 500"), an empty body, or a body
// that is no HTML document (a proxy's garbage); empty when it is a page.
Text failure_of(const Bytes& body, const HttpOutcome& outcome);

// Optional in/out parameters are pointers; nullptr means "absent". A `cookie`
// that is given (even pointing at an empty text) switches the shared cookie
// store off for this request and receives the merged cookies afterwards.
Bytes http_request(const Text& url, int method = 0, const Text& body = {}, Text* cookie = nullptr,
                   Text* cookies_out = nullptr, Text* headers = nullptr,
                   Text* headers_out = nullptr, bool no_redirect = false,
                   Bytes* body_bytes = nullptr, const Text& proxy = {},
                   HttpOutcome* outcome = nullptr);

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

// Forgets every stored cookie (a fresh process, as far as the back office can tell).
void clear_http_cookies();

}  // namespace web
