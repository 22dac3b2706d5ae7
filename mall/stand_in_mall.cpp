#include "mall/stand_in_impl.h"

namespace mall {

void StandInMall::Impl::start(LoopbackServer& server, int port, int slot) {
  server.set_pre_routing_handler([this, &server](const httplib::Request&, httplib::Response& res) {
    if (over_capacity(server, res)) return httplib::Server::HandlerResponse::Handled;
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

void StandInMall::Impl::stop() {
  {
    std::lock_guard lock(stop_mutex);
    stopping = true;
  }
  stop_cv.notify_all();
  for (LoopbackServer* s : {&backoffice, &images, &tracking}) s->stop();
  for (std::thread& t : threads) t.join();
  threads.clear();
}

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
    m.waybill = std::make_unique<WaybillService>(m.options.waybill, m.options.waybill_port);
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
std::string StandInMall::waybill_host() const {
  return m_impl->waybill->host();
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
void StandInMall::set_parcel_state(const std::string& number, ParcelState state) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->parcel_states[number] = state;
}

void StandInMall::set_max_concurrent(int requests, int retry_after_seconds) {
  m_impl->max_concurrent = requests;
  m_impl->retry_after_s = retry_after_seconds;
}

int StandInMall::rejected_requests() const {
  return m_impl->rejected.load();
}

void StandInMall::set_order_delay(const std::string& id, std::chrono::milliseconds extra) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->order_delays[id] = extra.count();
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

int StandInMall::waybills_for(const std::string& order_no) const {
  return m_impl->waybill->waybills_for(order_no);
}
void StandInMall::set_waybill_fault(WaybillFault fault) {
  m_impl->waybill->set_fault(fault);
}
void StandInMall::set_waybill_latency(std::chrono::milliseconds latency) {
  m_impl->waybill->set_latency(latency);
}
std::vector<RecordedRequest> StandInMall::waybill_requests() const {
  return m_impl->waybill->requests();
}
WaybillService& StandInMall::waybill_service() {
  return *m_impl->waybill;
}

}  // namespace mall
