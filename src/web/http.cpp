// http_request on libcurl. Share handles carry what the platform client kept
// between requests: each HttpSession's holds its cookie store (plus DNS,
// connections and TLS sessions), one without cookies serves requests that
// bring their own cookie text. Each request uses a fresh easy handle; its
// connection goes back to its share's cache for the next request.
#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "web/cookies.h"
#include "web/http.h"
#include "web/text.h"

namespace web {
namespace {

constexpr const char* kDefaultAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
// The raw header block must fit 4999 bytes plus a terminating zero.
constexpr size_t kHeaderBufferSize = 5000;
// A body beyond this is cut off, as if the connection had dropped there.
constexpr size_t kMaxBodyBytes = size_t{512} * 1024 * 1024;

std::atomic<long long> g_connect_ms{15000};
std::atomic<long long> g_stall_ms{20000};
// Below this rate over a whole stall window, a transfer counts as stalled.
constexpr long long kStallBytesPerSecond = 16;

class Share {
 public:
  explicit Share(bool with_cookies) : m_share(curl_share_init()) {
    curl_share_setopt(m_share, CURLSHOPT_LOCKFUNC, &Share::lock);
    curl_share_setopt(m_share, CURLSHOPT_UNLOCKFUNC, &Share::unlock);
    curl_share_setopt(m_share, CURLSHOPT_USERDATA, this);
    if (with_cookies) curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
  }
  ~Share() { curl_share_cleanup(m_share); }
  Share(const Share&) = delete;
  Share& operator=(const Share&) = delete;
  CURLSH* get() const { return m_share; }

 private:
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<Share*>(self)->m_locks[static_cast<size_t>(data) % kLocks].lock();
  }
  static void unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<Share*>(self)->m_locks[static_cast<size_t>(data) % kLocks].unlock();
  }

  static constexpr size_t kLocks = CURL_LOCK_DATA_LAST;
  CURLSH* m_share;
  std::array<std::mutex, kLocks> m_locks;
};

// The process-wide shares live for the whole process: workers may still be
// using them while static objects are destroyed at exit, so they are never
// torn down.
struct Shares {
  Shares() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    without_cookies = new Share(false);
  }
  Share* without_cookies;
};

Shares& shares() {
  static Shares s;
  return s;
}

struct Response {
  Bytes body;
  std::string header_block;  // of the latest response seen
  bool in_block_end = false;
};

// Gives a transfer up when fewer bytes than the stall rate moved in either
// direction during a whole stall window. libcurl calls it at least about once a
// second, also while nothing arrives.
struct StallWatch {
  using Clock = std::chrono::steady_clock;
  std::chrono::milliseconds window{g_stall_ms.load()};
  Clock::time_point since = Clock::now();
  curl_off_t moved_since = 0;

  static int on_progress(void* self, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
    auto* w = static_cast<StallWatch*>(self);
    const auto now = Clock::now();
    if (now - w->since < w->window) return 0;
    const curl_off_t moved = down + up;
    const long long needed =
        std::max<long long>(1, kStallBytesPerSecond * w->window.count() / 1000);
    if (moved - w->moved_since < needed) return 1;  // aborts the transfer
    w->since = now;
    w->moved_since = moved;
    return 0;
  }
};

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Response*>(user);
  size_t n = size * count;
  if (r->body.size() + n > kMaxBodyBytes) return 0;  // aborts the transfer
  r->body.append(data, n);
  return n;
}

size_t on_header(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Response*>(user);
  size_t n = size * count;
  std::string_view line(data, n);
  // A status line starts a new response (after a redirect or "100 Continue").
  if (line.starts_with("HTTP/")) r->header_block.clear();
  // Lines are kept ending in CR LF, also when a server ends them with LF alone.
  if (line.ends_with("\n")) line.remove_suffix(1);
  if (line.ends_with("\r")) line.remove_suffix(1);
  if (!line.empty() && r->header_block.size() < 1024 * 1024)
    r->header_block.append(line).append("\r\n");
  return n;
}

struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct EasyDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

// The header text sent with every request, built into `headers` in place.
void complete_headers(Text& headers, const Text& url, const Text* cookie) {
  if (headers.empty())
    headers = "Accept: */*";
  else if (find_text(headers, "Accept:") == -1)
    headers += "\r\nAccept: */*";
  if (find_text(headers, "Referer:") == -1) headers += "\r\nReferer: " + url;
  if (find_text(headers, "Accept-Language:") == -1) headers += "\r\nAccept-Language: zh-cn";
  if (find_text(headers, "Content-Type:") == -1)
    headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  if (cookie && !cookie->empty()) headers += "\r\nCookie: " + *cookie;
}

Text agent_of(const Text& headers) {
  int p = find_text(headers, "User-Agent:", 1, true);
  if (p == -1) return kDefaultAgent;
  Text rest = Text(headers).substr(p - 1);
  int end = find_text(rest, "\r\n");
  return header_value(end == -1 ? rest : left_text(rest, end - 1));
}

// The wait a Retry-After header asks for: delay-seconds, or an HTTP date.
std::optional<std::chrono::milliseconds> retry_after_of(const std::string& header_block) {
  const int at = find_text(header_block, "\r\nRetry-After:", 1, true);
  if (at == -1) return std::nullopt;
  const std::size_t start = static_cast<std::size_t>(at - 1) + 14;
  const std::size_t end = header_block.find("\r\n", start);
  const std::string value = trim_spaces(header_block.substr(start, end - start));
  if (value.empty()) return std::nullopt;
  if (std::all_of(value.begin(), value.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
    return std::chrono::seconds(value.size() > 6 ? 999999 : std::stol(value));
  const time_t when = curl_getdate(value.c_str(), nullptr);
  if (when == -1) return std::nullopt;
  const time_t now = time(nullptr);
  return std::chrono::seconds(when > now ? when - now : 0);
}

// A refused TLS connection in words; empty for any other ending.
Text tls_failure_of(CURLcode done, const char* detail) {
  std::string what;
  switch (done) {
    case CURLE_PEER_FAILED_VERIFICATION:
      what = "证书验证不通过（不是受信任的证书，或证书不属于这个主机）";
      break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
      what = "TLS 加密连接建立不了";
      break;
    default:
      return {};
  }
  if (detail && *detail) what += std::string("：") + detail;
  return gbk(what);
}

}  // namespace

void set_http_timeouts(HttpTimeouts timeouts) {
  g_connect_ms = timeouts.connect.count();
  g_stall_ms = timeouts.stall.count();
}

struct HttpSession::Store {
  Share share{true};
};

HttpSession::HttpSession() : m_store(std::make_shared<Store>()) {}
HttpSession::~HttpSession() = default;

HttpSession& HttpSession::process() {
  shares();  // libcurl's global set-up comes first
  static auto* session = new HttpSession;  // never torn down, as the shares
  return *session;
}

void HttpSession::clear_cookies() {
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) return;
  curl_easy_setopt(easy.get(), CURLOPT_SHARE, m_store->share.get());
  curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, "ALL");
}

HttpTimeouts http_timeouts() {
  return {std::chrono::milliseconds(g_connect_ms.load()),
          std::chrono::milliseconds(g_stall_ms.load())};
}

void clear_http_cookies() {
  HttpSession::process().clear_cookies();
}

Bytes http_request(const Text& url, int method, const Text& body, Text* cookie, Text* cookies_out,
                   Text* headers, Text* headers_out, bool no_redirect, Bytes* body_bytes,
                   const Text& proxy, HttpOutcome* outcome, HttpSession* session) {
  if (outcome) *outcome = {};
  if (method < 0 || method > 2) method = 0;
  const bool https = to_lower(left_text(url, 5)) == "https";
  const Text host = host_of_url(url);
  if (host.empty()) return {};
  Shares& s = shares();
  // Held for the request: the session may be dropped meanwhile.
  const std::shared_ptr<HttpSession::Store> store =
      (session ? *session : HttpSession::process()).store();
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) return {};
  CURL* c = easy.get();

  // Where to go: scheme by the first five letters, then host, port and path.
  // A space in the path is sent as "%20" (the client refuses a raw one).
  const Text target = Text(https ? "https://" : "http://") + host + ":" +
                      std::to_string(port_of_url(url)) + replace_text(path_of_url(url), " ", "%20");
  curl_easy_setopt(c, CURLOPT_URL, target.c_str());
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(g_connect_ms.load()));
  StallWatch stall;
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &StallWatch::on_progress);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &stall);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  // An empty proxy means a direct connection, whatever the environment says.
  curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
  if (cookie) {
    curl_easy_setopt(c, CURLOPT_SHARE, s.without_cookies->get());
  } else {
    curl_easy_setopt(c, CURLOPT_SHARE, store->share.get());
    curl_easy_setopt(c, CURLOPT_COOKIEFILE, "");  // in-memory cookie engine on
  }
  if (!no_redirect) {
    // Like the platform client: a 301/302/303 after a POST continues as a GET.
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 20L);
    // A redirect may only lead to another web page, never to ftp:// or file://.
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  }
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  // Certificates are always verified (libcurl's default, said here so no
  // one turns it off); OpenSSL's variables may name another trust store.
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file)
    curl_easy_setopt(c, CURLOPT_CAINFO, file);
  if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir)
    curl_easy_setopt(c, CURLOPT_CAPATH, dir);
  char curl_error[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, curl_error);

  Text sent_headers = headers ? *headers : Text();
  complete_headers(sent_headers, url, cookie);
  curl_easy_setopt(c, CURLOPT_USERAGENT, agent_of(sent_headers).c_str());
  std::unique_ptr<curl_slist, SlistDeleter> list;
  auto add_header = [&list](const std::string& line) {
    if (curl_slist* l = curl_slist_append(list.get(), line.c_str())) {
      list.release();
      list.reset(l);
    }
  };
  for (const Text& line : split_text(sent_headers, "\r\n")) {
    if (line.empty()) continue;
    // libcurl drops a "Name:" line with no value; "Name;" makes it send "Name:"
    // (a shipping request before login still carries its empty X-CSRF-Token).
    const int colon = find_text(line, ":");
    if (colon > 1 && header_value(line).empty())
      add_header(left_text(line, colon - 1) + ";");
    else
      add_header(line);
  }
  add_header("Expect:");  // never "Expect: 100-continue"
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, list.get());

  Bytes local_body;
  Bytes& payload = body_bytes ? *body_bytes : local_body;
  if (method == 0) {
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  } else {
    if (payload.empty()) payload = text_to_bytes(body);
    if (method == 2) curl_easy_setopt(c, CURLOPT_NOBODY, 1L);  // no response body follows
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(payload.size()));
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, payload.data());
    if (method == 2) curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "HEAD");
  }

  Response r;
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &on_body);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &r);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &on_header);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &r);
  // A failed transfer still returns what arrived (possibly nothing); only
  // `outcome` tells it was cut short.
  const CURLcode done = curl_easy_perform(c);
  if (outcome) {
    outcome->complete = done == CURLE_OK;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &outcome->status);
    outcome->retry_after = retry_after_of(r.header_block);
    outcome->tls_failure = tls_failure_of(done, curl_error);
  }
  easy.reset();

  if (headers) *headers = sent_headers;
  Text block;
  bool fits = r.header_block.size() < kHeaderBufferSize;
  if (fits)
    block = replace_text(bytes_to_text(r.header_block), "Set-Cookie", "Set-Cookie", 1, -1, false);
  if (headers_out) *headers_out = block;
  Text set_cookies = parse_set_cookies(block);
  if (cookie) merge_cookies(*cookie, set_cookies);
  if (cookies_out) *cookies_out = set_cookies;
  return std::move(r.body);
}

Text failure_of(const Bytes& body, const HttpOutcome& outcome) {
  if (!outcome.tls_failure.empty()) return gbk("后台的") + outcome.tls_failure;
  if (outcome.status == 0) return gbk(body.empty() ? "连接不上后台" : "连接断了");
  if (outcome.status < 200 || outcome.status >= 300)
    return gbk("后台返回 ") + std::to_string(outcome.status);
  if (body.empty()) return gbk("后台的回答是空的");
  const Text head = to_lower(std::string_view(body).substr(0, 4096));
  for (const char* tag : {"<html", "<body", "<table"})
    if (head.find(tag) != std::string::npos) return {};
  return gbk("后台的回答不是网页");
}

}  // namespace web
