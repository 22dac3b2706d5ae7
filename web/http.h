#pragma once
// The one routine through which the program talks to the back office, the image
// host and the tracking service: a synchronous HTTP(S) request on libcurl with
// the fixed default headers, a process-wide cookie store shared by all threads,
// redirects followed, and connect/total timeouts so nothing hangs forever.
//
// Usage: Bytes body = http_request(url);                       // GET
//        Bytes reply = http_request(url, 1, form_body, nullptr, nullptr, &headers);

#include <chrono>

#include "web/text.h"

namespace web {

// Optional in/out parameters are pointers; nullptr means "absent". A `cookie`
// that is given (even pointing at an empty text) switches the shared cookie
// store off for this request and receives the merged cookies afterwards.
Bytes http_request(const Text& url, int method = 0, const Text& body = {}, Text* cookie = nullptr,
                   Text* cookies_out = nullptr, Text* headers = nullptr,
                   Text* headers_out = nullptr, bool no_redirect = false,
                   Bytes* body_bytes = nullptr, const Text& proxy = {});

struct HttpTimeouts {
  std::chrono::milliseconds connect{15000};
  std::chrono::milliseconds total{60000};
};
void set_http_timeouts(HttpTimeouts timeouts);
HttpTimeouts http_timeouts();

// Forgets every stored cookie (a fresh process, as far as the back office can tell).
void clear_http_cookies();

}  // namespace web
