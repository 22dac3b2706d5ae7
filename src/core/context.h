#pragma once
// What every operation needs, passed by reference: the window, the settings
// file, the hosts it talks to, the CSRF token kept by login, and the lock that
// keeps whole-table operations from interleaving.
//
// Usage: void login(app::Context& ctx);   ctx.form.set_progress(10);

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>

#include "core/form.h"
#include "core/goods_lines.h"
#include "core/settings.h"
#include "core/table_lock.h"
#include "web/http.h"

namespace store {
class Database;
class OrderArchive;
}

namespace app {

// Host names with an optional ":port", e.g. "127.0.0.1:18080", or the same
// after "https://" for a host reached over TLS.
struct Hosts {
  Text backoffice;
  Text images;
  Text tracking;
};

// The process-wide CSRF token: written by login, read by shipping (also from
// workers). Its version counts the writes, so a request can tell whether a
// login happened since it was sent.
class SharedText {
 public:
  Text get() const {
    std::lock_guard lock(m_mutex);
    return m_text;
  }
  void set(Text text) {
    std::lock_guard lock(m_mutex);
    m_text = std::move(text);
    ++m_version;
  }
  std::uint64_t version() const {
    std::lock_guard lock(m_mutex);
    return m_version;
  }

 private:
  mutable std::mutex m_mutex;
  Text m_text;
  std::uint64_t m_version = 0;
};

// Requests that may find the session expired hold the gate shared while they
// are out; a quiet login holds it alone. An expired request is sent on to the
// login page, which hands out a fresh session cookie of its own: were it still
// out while the login ran, that cookie would replace the one being signed in.
class SessionGate {
 public:
  std::shared_lock<std::shared_mutex> request() { return std::shared_lock(m_mutex); }
  std::unique_lock<std::shared_mutex> login() { return std::unique_lock(m_mutex); }

 private:
  std::shared_mutex m_mutex;
};

struct Context {
  Form& form;
  Settings& settings;
  Hosts hosts;
  // The shop's own back-office session (cookie store); null: the
  // process-wide one, the first shop's.
  web::HttpSession* http = nullptr;
  // The shop served (core/shops.h): its label, and the settings section
  // that keeps its account and password (empty: "配置项目", the first shop's).
  Text shop_label{};
  Text settings_section{};
  SharedText csrf_token{};
  SessionGate session_gate{};
  // What belongs to the order table rather than to a shop: the lock that
  // keeps whole-table operations from interleaving. The contexts of several
  // shops serving one window share it.
  struct SharedTable {
    TableLock lock;
  };
  std::shared_ptr<SharedTable> table = std::make_shared<SharedTable>();
  // Which order list this shop's view of the table shows, as its last list
  // fetch left it (kept by backoffice/shown_list.h; anything else that
  // rewrites the rows makes it stale). Each shop keeps its own: a shop
  // polling in the background, on no table, must not overwrite what the
  // shown shop's table holds.
  SharedText shown_list{};
  // The program's database (the shipping journal). Null runs without one;
  // one that is not ok() makes shipping refuse rather than ship unrecorded.
  store::Database* database = nullptr;
  // The order archive in that database (core/archive_keeping.h); null keeps none.
  store::OrderArchive* archive = nullptr;
  std::atomic<bool> archive_failure_told{false};
  // Every goods line of the orders read in this run, by order id.
  GoodsLineBook goods_lines{};
  // Where a table of several shops' rows finds a row's lines (in the row's
  // shop); unset: goods_lines.
  std::function<std::vector<GoodsLine>(const OrderRow&)> goods_lines_of_table_row;
  // The store's name and logo (picture file bytes) as the last login found
  // them; empty before a login. Printed documents head with them.
  SharedText store_name{};
  SharedText store_logo{};
  // The back-office session as the other folders may use it (installed by
  // backoffice::install_session_hooks; unset: neither happens):
  // renew_if_expired, given a page that is the back office's login form (the
  // session has expired) and csrf_token.version() as it was when that request
  // was sent, logs in again quietly with the account and password in the
  // window, unless a login has happened since, and says whether the request
  // may be sent again (false for any other page);
  // after_batch brings the dashboard counts up to date once a batch has shipped;
  // tracking_no_on_page reads the order's edit page: the number its 物流单号
  // shows (empty while the order waits), nothing when the page cannot be read.
  std::function<bool(const Text& page, std::uint64_t sent_with)> renew_if_expired;
  std::function<void()> after_batch;
  std::function<std::optional<Text>(const Text& order_id)> tracking_no_on_page;

  // The back-office host's URL of `path` ("http://" + host + path, or the
  // host's own "https://").
  Text backoffice_url(std::string_view path) const { return web::site_url(hosts.backoffice, path); }
};

// How many requests a detail fetch or a shipping batch sends at once: key
// `connections` of section `network` of the settings file, 4 unless set
// (1 sends them one after another).
inline int parallel_requests(const Settings& settings) {
  return settings.read_number(web::gbk("connections"), web::gbk("network"), 4, 1, 16);
}

// http_request (a GET, or a POST of `body`) in the shop's session, run
// through form.wait, so an operation on the window's thread keeps the window
// painted while it waits.
inline Bytes wait_for_request(Context& ctx, const Text& url, int method = 0, const Text& body = {},
                              web::HttpOutcome* outcome = nullptr) {
  Bytes answer;
  ctx.form.wait([&] {
    answer = web::http_request(url, method, body, nullptr, nullptr, nullptr, nullptr, false,
                               nullptr, {}, outcome, ctx.http);
  });
  return answer;
}

// What a list or detail fetch says when a page came cut short (spoken and logged).
inline void tell_page_incomplete(Form& form, const Text& what) {
  const Text text = what + web::gbk("不完整：后台的页面没有传完，请重新获取");
  form.append_log(text + "\r\n");
  form.speak(text);
}

}  // namespace app
