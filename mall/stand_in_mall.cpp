#include "mall/stand_in_mall.h"

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "mall/form.h"
#include "mall/loopback_server.h"
#include "mall/pages.h"
#include "mall/png.h"
#include "mall/seed.h"
#include "mall/tracking.h"

namespace mall {
namespace {

constexpr const char* kSessionCookie = "advanced-business";
constexpr const char* kLogoPath = "uploads/store/201701/logo_weihe.png";
constexpr const char* kHtml = "text/html; charset=UTF-8";
constexpr std::size_t kMaxRecorded = 200000;
constexpr std::size_t kMaxTokens = 4096;

std::string random_token(std::mt19937_64& random, int length) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string out;
  for (int i = 0; i < length; ++i) out += kAlphabet[random() % 64];
  return out;
}

std::string cookie_value(const httplib::Request& req, const std::string& name) {
  const auto [first, last] = req.headers.equal_range("Cookie");
  for (auto it = first; it != last; ++it) {
    std::string value = cookie_in_header(it->second, name);
    if (!value.empty()) return value;
  }
  return {};
}

}  // namespace

struct StandInMall::Impl {
  Options options;

  mutable std::mutex mutex;  // guards everything down to `requests`
  std::vector<Order> orders;
  std::unordered_map<std::string, std::size_t> order_index;
  int next_order_id = 1001;
  Seeder seeder;
  std::mt19937_64 random;
  // A session starts with the login page and carries the CSRF token of its
  // form; it is signed in by a login post that brings both back.
  struct Session {
    std::string token;
    bool signed_in = false;
  };
  std::map<std::string, Session> sessions;  // by session id (the cookie's value)
  std::deque<std::string> session_ids;      // oldest first, to bound the map
  std::map<std::string, std::string> overrides;
  std::vector<pages::Address> addresses = Seeder::addresses();
  std::vector<Withdrawal> paid = Seeder::paid_withdrawals();
  std::vector<Withdrawal> pending = Seeder::pending_withdrawals();
  std::string withdrawable = "3586.50";
  std::vector<RecordedRequest> requests;

  std::atomic<Fault> fault{Fault::None};
  std::atomic<long long> slow_ms{2000};
  std::atomic<std::size_t> huge_bytes{16u << 20};
  std::atomic<long long> latency_ms{0};

  std::mutex stop_mutex;
  std::condition_variable stop_cv;
  bool stopping = false;

  LoopbackServer backoffice, images, tracking;
  int ports[3] = {0, 0, 0};
  std::vector<std::thread> threads;

  explicit Impl(Options o)
      : options(std::move(o)), seeder(options.seed), random(options.seed ^ 0x5eedULL) {}

  // --- data -----------------------------------------------------------------
  std::string add_order_locked(int state) {
    const int id = next_order_id++;
    order_index[std::to_string(id)] = orders.size();
    orders.push_back(seeder.order(id, state, options.store_name));
    return orders.back().id;
  }

  void record(const httplib::Request& req) {
    RecordedRequest r;
    r.method = req.method;
    r.target = req.target;
    for (const auto& [k, v] : req.headers) r.headers.emplace(k, v);
    r.body = req.body;
    std::lock_guard lock(mutex);
    if (requests.size() < kMaxRecorded) requests.push_back(std::move(r));
  }

  void record_raw(const std::string& raw) {
    RecordedRequest r;
    const auto header_end = raw.find("\r\n\r\n");
    const std::string head = raw.substr(0, header_end);
    if (header_end != std::string::npos) r.body = raw.substr(header_end + 4);
    std::size_t line_end = head.find("\r\n");
    const std::string first = head.substr(0, line_end);
    const auto sp1 = first.find(' '), sp2 = first.rfind(' ');
    r.method = first.substr(0, sp1);
    if (sp1 != std::string::npos && sp2 > sp1) r.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    while (line_end != std::string::npos) {
      const auto next = head.find("\r\n", line_end + 2);
      const std::string line = head.substr(line_end + 2, next - line_end - 2);
      const auto colon = line.find(':');
      if (colon != std::string::npos) {
        const auto value_start = line.find_first_not_of(' ', colon + 1);
        r.headers.emplace(line.substr(0, colon),
                          value_start == std::string::npos ? "" : line.substr(value_start));
      }
      line_end = next;
    }
    std::lock_guard lock(mutex);
    if (requests.size() < kMaxRecorded) requests.push_back(std::move(r));
  }

  // --- faults -----------------------------------------------------------------
  // Applies the current fault; true when the answer is complete.
  bool apply_fault(httplib::Response& res) {
    const Fault f = fault.load();
    if (f == Fault::Slow) {
      std::unique_lock lock(stop_mutex);
      stop_cv.wait_for(lock, std::chrono::milliseconds(slow_ms.load()), [&] { return stopping; });
      return false;
    }
    if (f == Fault::ServerError) {
      res.status = 500;
      res.set_content(pages::server_error(), kHtml);
      return true;
    }
    if (f == Fault::Garbage) {
      static const std::string garbage(
          "\xc3\x28\xa0\xa1<h3>\xff\xfe</h3>\xe2\x82\x00\x00<td>\xf0\x28\x8c\xbc</td>\x00\x80"
          "\xbf\xed\xa0\x80\xc0\xaf",
          34);
      res.status = 200;
      res.set_content(garbage, kHtml);
      return true;
    }
    return false;
  }

  // The per-request latency of a distant server (0: none); ends early at stop.
  void wait_latency() {
    const long long ms = latency_ms.load();
    if (ms <= 0) return;
    std::unique_lock lock(stop_mutex);
    stop_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping; });
  }

  bool serve_override(const httplib::Request& req, httplib::Response& res) {
    if (req.method != "GET") return false;
    std::lock_guard lock(mutex);
    auto it = overrides.find(req.target);
    if (it == overrides.end()) return false;
    res.set_content(it->second, kHtml);
    return true;
  }

  // --- back office --------------------------------------------------------------
  static void redirect(httplib::Response& res, const std::string& location) {
    res.status = 302;
    res.set_header("Location", location);
    res.set_content("<a href=\"" + location + "\">" + location + "</a>", kHtml);
  }

  // A new session; returns the cookie value, which holds "%" as real session
  // cookies do. The server library decodes header values, so the session is
  // kept under the decoded value the request will show.
  std::string start_session_locked(Session session) {
    const std::string left = random_token(random, 20), right = random_token(random, 20);
    const std::string id = left + ":" + right;
    sessions.emplace(id, std::move(session));
    session_ids.push_back(id);
    while (session_ids.size() > kMaxTokens) {
      sessions.erase(session_ids.front());
      session_ids.pop_front();
    }
    return left + "%3A" + right;
  }

  static void set_session_cookie(httplib::Response& res, const std::string& id) {
    res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + id + "; path=/; HttpOnly");
  }

  // The CSRF token of the request's signed-in session; nullopt when it has none.
  std::optional<std::string> session_token(const httplib::Request& req) {
    const std::string id = cookie_value(req, kSessionCookie);
    std::lock_guard lock(mutex);
    auto it = sessions.find(id);
    if (id.empty() || it == sessions.end() || !it->second.signed_in) return std::nullopt;
    return it->second.token;
  }

  // The login form, with the token of the request's session (a new one when
  // the request brings none).
  void login_page(const httplib::Request& req, httplib::Response& res,
                  const std::string& error = {}) {
    std::string id = cookie_value(req, kSessionCookie);
    std::string token;
    {
      std::lock_guard lock(mutex);
      auto it = sessions.find(id);
      if (id.empty() || it == sessions.end()) {
        token = random_token(random, 32);
        id = start_session_locked({token, false});
        set_session_cookie(res, id);
      } else {
        token = it->second.token;
      }
    }
    res.set_content(pages::login(token, error), kHtml);
  }

  // Signs the session in when the post brings the session's cookie and its
  // form's token: a client that lost its cookies since the form cannot log in.
  void login_post(const httplib::Request& req, httplib::Response& res) {
    std::string token, account, password;
    for (const auto& [key, value] : parse_form(req.body)) {
      if (key == "_csrf-business" && token.empty()) token = value;
      if (key == "BusinessLoginFrom[username]" && account.empty()) account = value;
      if (key == "BusinessLoginFrom[password]" && password.empty()) password = value;
    }
    const std::string id = cookie_value(req, kSessionCookie);
    std::unique_lock lock(mutex);
    auto it = sessions.find(id);
    if (token.empty() || id.empty() || it == sessions.end() || it->second.token != token) {
      lock.unlock();
      res.status = 400;
      res.set_content(pages::not_found("Bad Request (#400): 无法验证您的数据提交。"), kHtml);
      return;
    }
    if (account != options.account || password != options.password) {
      lock.unlock();
      login_page(req, res, "账号或密码错误。");
      return;
    }
    // Signed in under a new id, as real back offices do; the form's token stays.
    sessions.erase(it);
    const std::string signed_in = start_session_locked({token, true});
    lock.unlock();
    set_session_cookie(res, signed_in);
    redirect(res, "/site/index");
  }

  std::string dashboard_page() {
    pages::Dashboard d;
    {
      std::lock_guard lock(mutex);
      for (const Order& o : orders) {
        d.unpaid += o.state == 10;
        d.to_ship += o.state == 20;
        d.to_receive += o.state == 30;
      }
      d.total = static_cast<int>(orders.size());
    }
    d.goods_on_sale = 28;
    d.goods_violations = 1;
    d.goods_in_review = 3;
    d.goods_in_warehouse = 6;
    d.store_name = options.store_name;
    d.logo_path = kLogoPath;
    return pages::dashboard(d);
  }

  std::string order_list_page(const std::string& target) {
    const auto query = parse_query(target);
    const auto it = query.find("order_state");
    int state = 0;  // 0: every order
    if (it != query.end() && !it->second.empty()) {
      state = -1;  // an unknown state lists nothing
      for (int s : {10, 20, 30, 40}) {
        if (it->second == std::to_string(s)) state = s;
      }
    }
    std::vector<Order> chosen;
    {
      std::lock_guard lock(mutex);
      if (state == 0) {
        chosen = orders;
      } else {
        for (const Order& o : orders) {
          if (o.state == state) chosen.push_back(o);
        }
      }
    }
    return pages::order_list(chosen, state > 0 ? pages::state_name(state) + "订单" : "订单列表");
  }

  void order_edit(const httplib::Request& req, httplib::Response& res) {
    const auto query = parse_query(req.target);
    const auto it = query.find("id");
    Order o;
    {
      std::lock_guard lock(mutex);
      if (it != query.end()) {
        auto found = order_index.find(it->second);
        if (found != order_index.end()) o = orders[found->second];
      }
    }
    if (o.id.empty()) {
      res.status = 404;
      res.set_content(pages::not_found("订单不存在。"), kHtml);
      return;
    }
    res.set_content(pages::order_detail(o), kHtml);
  }

  void order_send(const httplib::Request& req, httplib::Response& res, const std::string& csrf) {
    auto reply = [&res](int status, bool ok, const std::string& message) {
      res.status = status;
      res.set_content(
          std::string("{\"status\":") + (ok ? "1" : "0") + ",\"message\":\"" + message + "\"}",
          "application/json; charset=UTF-8");
    };
    if (!req.has_header("X-CSRF-Token") || req.get_header_value("X-CSRF-Token") != csrf) {
      return reply(400, false, "无法验证您的数据提交，请重新登录后再试");
    }
    std::map<std::string, std::string> form;
    for (const auto& [key, value] : parse_form(req.body)) form.emplace(key, value);
    const std::string id = form["order_id"], code = form["shipping_code"],
                      courier = form["shipping_express_name"], from = form["from_address_id"];
    std::lock_guard lock(mutex);
    auto found = order_index.find(id);
    if (id.empty() || found == order_index.end()) return reply(200, false, "订单不存在");
    if (courier.empty()) return reply(200, false, "请选择快递公司");
    if (code.empty()) return reply(200, false, "快递单号不能为空");
    if (std::none_of(addresses.begin(), addresses.end(),
                     [&](const pages::Address& a) { return a.id == from; })) {
      return reply(200, false, "发货地址不存在");
    }
    Order& o = orders[found->second];
    if (o.state == 10) return reply(200, false, "订单尚未付款，不能发货");
    if (o.state != 20) return reply(200, false, "订单已发货，请勿重复操作");
    o.state = 30;
    o.tracking_no = code;
    o.courier = courier;
    reply(200, true, "操作成功");
  }

  void backoffice_route(const httplib::Request& req, httplib::Response& res) {
    record(req);
    if (apply_fault(res) || serve_override(req, res)) return;
    const std::string& path = req.path;
    const bool is_login = path == "/site/login";
    if (is_login && req.method == "GET") return login_page(req, res);
    if (is_login && req.method == "POST") {
      if (fault.load() == Fault::ExpiredSession)
        return login_page(req, res, "登录已过期，请重新登录。");
      return login_post(req, res);
    }
    const auto csrf = fault.load() == Fault::ExpiredSession ? std::nullopt : session_token(req);
    const bool known = path == "/" || path == "/site/index" || path == "/order/list" ||
                       path == "/order/edit" || path == "/order/send" ||
                       path == "/user-address/list" || path == "/withdraw-cash/add" ||
                       path == "/withdraw-cash/list";
    if (!known) {
      res.status = 404;
      return res.set_content(pages::not_found("页面不存在。"), kHtml);
    }
    if (!csrf) return redirect(res, "/site/login");
    if (req.method == "POST") {
      if (path == "/order/send") return order_send(req, res, *csrf);
      res.status = 405;
      return res.set_content(pages::not_found("不支持的请求方式。"), kHtml);
    }
    if (path == "/" || path == "/site/index") return res.set_content(dashboard_page(), kHtml);
    if (path == "/order/list") return res.set_content(order_list_page(req.target), kHtml);
    if (path == "/order/edit") return order_edit(req, res);
    std::lock_guard lock(mutex);
    if (path == "/user-address/list") return res.set_content(pages::addresses(addresses), kHtml);
    if (path == "/withdraw-cash/add") {
      return res.set_content(pages::withdraw_form(withdrawable), kHtml);
    }
    const auto query = parse_query(req.target);
    const auto state = query.find("state");
    if (state != query.end() && state->second == "1") {
      return res.set_content(pages::withdraw_list(paid, "已支付"), kHtml);
    }
    res.set_content(pages::withdraw_list(pending, "待审核"), kHtml);
  }

  // --- image host and tracking service ----------------------------------------------
  void image_route(const httplib::Request& req, httplib::Response& res) {
    record(req);
    if (apply_fault(res) || serve_override(req, res)) return;
    if (req.method == "GET" && req.path == std::string("/") + kLogoPath) {
      return res.set_content(logo_png(), "image/png");
    }
    res.status = 404;
    res.set_content("404 Not Found", "text/plain; charset=UTF-8");
  }

  void tracking_route(const httplib::Request& req, httplib::Response& res) {
    record(req);
    if (apply_fault(res) || serve_override(req, res)) return;
    if (req.path != "/api") {
      res.status = 404;
      return res.set_content("404 Not Found", "text/plain; charset=UTF-8");
    }
    const auto query = parse_query(req.target);
    auto value = [&query](const char* key) {
      auto it = query.find(key);
      return it == query.end() ? std::string() : it->second;
    };
    res.set_content(tracking_reply(options.tracking_key, value("id"), value("com"), value("nu"),
                                   value("order") != "asc"),
                    "text/plain; charset=UTF-8");
  }

  // A huge page: the real page in the middle of huge_size() bytes of filler,
  // so its rows are still there to be found.
  void make_huge(httplib::Response& res) {
    if (fault.load() != Fault::Huge || res.status >= 300) return;  // -1: 200 once written
    static const std::string filler = [] {
      std::string f;
      while (f.size() < 65536) f += "<p>填充内容 filler</p>\n";
      return f;
    }();
    const std::size_t size = huge_bytes.load();
    const std::size_t half = size > res.body.size() ? (size - res.body.size()) / 2 : 0;
    std::string body;
    body.reserve(std::max(size, res.body.size()));
    while (body.size() < half) body.append(filler, 0, std::min(filler.size(), half - body.size()));
    body += res.body;
    while (body.size() < size) body.append(filler, 0, std::min(filler.size(), size - body.size()));
    res.body = std::move(body);
    // The length was already announced for the page alone.
    res.headers.erase("Content-Length");
    res.set_header("Content-Length", std::to_string(res.body.size()));
  }

  // A page cut short: the whole length is announced, half of it is sent and
  // the connection is closed.
  void cut_short(httplib::Response& res) {
    if (fault.load() != Fault::Truncated || res.body.empty()) return;
    auto body = std::make_shared<std::string>(std::move(res.body));
    res.body.clear();
    const std::string type = res.get_header_value("Content-Type");
    res.set_content_provider(
        body->size(), type.c_str(),
        [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
          const std::size_t half = body->size() / 2;
          if (offset >= half) return false;
          return sink.write(body->data() + offset, std::min(length, half - offset));
        });
  }

  void start(LoopbackServer& server, int port, int slot) {
    server.set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
      wait_latency();
      return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_post_routing_handler([this](const httplib::Request&, httplib::Response& res) {
      make_huge(res);
      cut_short(res);
    });
    server.set_drop_check([this] { return fault.load() == Fault::Drop; },
                          [this](const std::string& raw) { record_raw(raw); });
    server.set_payload_max_length(8u << 20);
    // SO_REUSEADDR only: the library's default also sets SO_REUSEPORT, which
    // would let a second mall share a busy port instead of failing to start.
    server.set_socket_options([](socket_t sock) {
      int yes = 1;
      ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    int bound = port;
    if (port == 0) {
      bound = server.bind_to_any_port("127.0.0.1");
    } else if (!server.bind_to_port("127.0.0.1", port)) {
      bound = -1;
    }
    if (bound <= 0) {
      throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) +
                               " (is the port in use?)");
    }
    ports[slot] = bound;
    threads.emplace_back([&server] { server.listen_after_bind(); });
  }

  void stop() {
    {
      std::lock_guard lock(stop_mutex);
      stopping = true;
    }
    stop_cv.notify_all();
    for (LoopbackServer* s : {&backoffice, &images, &tracking}) s->stop();
    for (std::thread& t : threads) t.join();
    threads.clear();
  }
};

StandInMall::StandInMall(Options options) : m_impl(std::make_unique<Impl>(std::move(options))) {
  Impl& m = *m_impl;
  for (int i = 0; i < m.options.seeded_orders; ++i) m.add_order_locked(Seeder::seeded_state(i));
  auto route = [&m](void (Impl::*handler)(const httplib::Request&, httplib::Response&)) {
    return [&m, handler](const httplib::Request& req, httplib::Response& res) {
      (m.*handler)(req, res);
    };
  };
  for (auto [server, handler] :
       {std::pair{&m.backoffice, &Impl::backoffice_route}, std::pair{&m.images, &Impl::image_route},
        std::pair{&m.tracking, &Impl::tracking_route}}) {
    server->Get(".*", route(handler));
    server->Post(".*", route(handler));
  }
  try {
    m.start(m.backoffice, m.options.backoffice_port, 0);
    m.start(m.images, m.options.image_port, 1);
    m.start(m.tracking, m.options.tracking_port, 2);
  } catch (...) {
    m.stop();
    throw;
  }
  // Bound and listening moments after start; wait so the first request finds them.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (LoopbackServer* s : {&m.backoffice, &m.images, &m.tracking}) {
    while (!s->is_running() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}

StandInMall::~StandInMall() {
  m_impl->stop();
}

std::string StandInMall::backoffice_host() const {
  return "127.0.0.1:" + std::to_string(m_impl->ports[0]);
}
std::string StandInMall::image_host() const {
  return "127.0.0.1:" + std::to_string(m_impl->ports[1]);
}
std::string StandInMall::tracking_host() const {
  return "127.0.0.1:" + std::to_string(m_impl->ports[2]);
}
const Options& StandInMall::options() const {
  return m_impl->options;
}

std::vector<Order> StandInMall::orders() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->orders;
}

Order StandInMall::order(const std::string& id) const {
  std::lock_guard lock(m_impl->mutex);
  auto it = m_impl->order_index.find(id);
  return it == m_impl->order_index.end() ? Order{} : m_impl->orders[it->second];
}

std::string StandInMall::add_order(int state) {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->add_order_locked(state);
}

void StandInMall::add_orders(int count, int state) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->orders.reserve(m_impl->orders.size() + std::max(count, 0));
  for (int i = 0; i < count; ++i) m_impl->add_order_locked(state);
}

void StandInMall::clear_orders() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->orders.clear();
  m_impl->order_index.clear();
}

std::string StandInMall::withdrawable_amount() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->withdrawable;
}

std::vector<Withdrawal> StandInMall::paid_withdrawals() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->paid;
}

std::string StandInMall::sender_address_id() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->addresses.front().id;
}

void StandInMall::override_page(const std::string& target, const std::string& utf8_body) {
  std::lock_guard lock(m_impl->mutex);
  if (utf8_body.empty()) {
    m_impl->overrides.erase(target);
  } else {
    m_impl->overrides[target] = utf8_body;
  }
}

void StandInMall::set_fault(Fault fault) {
  m_impl->fault = fault;
}
void StandInMall::set_slow_delay(std::chrono::milliseconds delay) {
  m_impl->slow_ms = delay.count();
}
void StandInMall::set_latency(std::chrono::milliseconds latency) {
  m_impl->latency_ms = latency.count();
}

void StandInMall::set_huge_size(std::size_t bytes) {
  m_impl->huge_bytes = bytes;
}
Fault StandInMall::fault() const {
  return m_impl->fault.load();
}
std::chrono::milliseconds StandInMall::slow_delay() const {
  return std::chrono::milliseconds(m_impl->slow_ms.load());
}
std::size_t StandInMall::huge_size() const {
  return m_impl->huge_bytes.load();
}

std::vector<RecordedRequest> StandInMall::requests() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->requests;
}

void StandInMall::clear_requests() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->requests.clear();
}

void StandInMall::expire_sessions() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->sessions.clear();
  m_impl->session_ids.clear();
}

}  // namespace mall
