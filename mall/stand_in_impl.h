#pragma once
// The stand-in mall's inside, shared by the files that implement it by area:
// the state and the servers (stand_in_mall.cpp), faults and the record of
// requests (stand_in_faults.cpp), sessions and login (stand_in_session.cpp),
// the back office's pages and shipping (stand_in_backoffice.cpp), the image
// host and the tracking service (stand_in_services.cpp).

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
#include "mall/waybill_service.h"

namespace mall {

// What every part of the stand-in shares.

inline constexpr const char* kSessionCookie = "advanced-business";
inline constexpr const char* kLogoPath = "uploads/store/201701/logo_weihe.png";
inline constexpr const char* kHtml = "text/html; charset=UTF-8";
inline constexpr std::size_t kMaxRecorded = 200000;
inline constexpr std::size_t kMaxTokens = 4096;

inline std::string random_token(std::mt19937_64& random, int length) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string out;
  for (int i = 0; i < length; ++i) out += kAlphabet[random() % 64];
  return out;
}

inline std::string cookie_value(const httplib::Request& req, const std::string& name) {
  const auto [first, last] = req.headers.equal_range("Cookie");
  for (auto it = first; it != last; ++it) {
    std::string value = cookie_in_header(it->second, name);
    if (!value.empty()) return value;
  }
  return {};
}

struct StandInMall::Impl {
  Options options;

  mutable std::mutex mutex;  // guards everything down to `parcel_states`
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
  std::map<std::string, ParcelState> parcel_states;  // by tracking number

  std::atomic<Fault> fault{Fault::None};
  std::atomic<long long> slow_ms{2000};
  std::atomic<std::size_t> huge_bytes{16u << 20};
  std::atomic<long long> latency_ms{0};
  std::atomic<int> max_concurrent{0};  // 0: no cap
  std::atomic<int> retry_after_s{1};
  std::atomic<int> rejected{0};
  std::map<std::string, long long> order_delays;  // extra ms by order id (under mutex)

  std::mutex stop_mutex;
  std::condition_variable stop_cv;
  bool stopping = false;

  LoopbackServer backoffice, images, tracking;
  int ports[3] = {0, 0, 0};
  std::unique_ptr<WaybillService> waybill;  // stops by itself when destroyed
  std::vector<std::thread> threads;

  explicit Impl(Options o)
      : options(std::move(o)), seeder(options.seed), random(options.seed ^ 0x5eedULL) {}

  // --- data -----------------------------------------------------------------
  std::string add_order_locked(int state);

  void record(const httplib::Request& req);

  void record_raw(const std::string& raw);

  // --- faults -----------------------------------------------------------------
  // Applies the current fault; true when the answer is complete.
  bool apply_fault(httplib::Response& res);

  // The per-request latency of a distant server (0: none); ends early at stop.
  void wait_latency();
  // The extra wait set for one order's pages and shipments; ends early at stop.
  void wait_for_order(const std::string& id);
  // Answers 429 when `server` serves more requests than the cap allows; true then.
  bool over_capacity(const LoopbackServer& server, httplib::Response& res);

  bool serve_override(const httplib::Request& req, httplib::Response& res);

  // --- back office --------------------------------------------------------------
  static void redirect(httplib::Response& res, const std::string& location);

  // A new session; returns the cookie value, which holds "%" as real session
  // cookies do. The server library decodes header values, so the session is
  // kept under the decoded value the request will show.
  std::string start_session_locked(Session session);

  static void set_session_cookie(httplib::Response& res, const std::string& id);

  // The CSRF token of the request's signed-in session; nullopt when it has none.
  std::optional<std::string> session_token(const httplib::Request& req);

  // The login form, with the token of the request's session (a new one when
  // the request brings none).
  void login_page(const httplib::Request& req, httplib::Response& res,
                  const std::string& error = {});

  // Signs the session in when the post brings the session's cookie and its
  // form's token: a client that lost its cookies since the form cannot log in.
  void login_post(const httplib::Request& req, httplib::Response& res);

  std::string dashboard_page();

  std::string order_list_page(const std::string& target);

  void order_edit(const httplib::Request& req, httplib::Response& res);

  void order_send(const httplib::Request& req, httplib::Response& res, const std::string& csrf);

  void backoffice_route(const httplib::Request& req, httplib::Response& res);

  // --- image host and tracking service ----------------------------------------------
  void image_route(const httplib::Request& req, httplib::Response& res);

  void tracking_route(const httplib::Request& req, httplib::Response& res);

  // A huge page: the real page in the middle of huge_size() bytes of filler,
  // so its rows are still there to be found.
  void make_huge(httplib::Response& res);

  // A page cut short: the whole length is announced, half of it is sent and
  // the connection is closed.
  void cut_short(httplib::Response& res);

  void start(LoopbackServer& server, int port, int slot);

  void stop();
};

}  // namespace mall
