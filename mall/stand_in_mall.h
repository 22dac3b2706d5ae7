#pragma once
// The stand-in mall: the merchant back office, the image host, the parcel
// tracking service and the e-waybill provider (mall/waybill_service.h),
// served by cpp-httplib on 127.0.0.1. Tests start it
// in-process on ephemeral ports; the demo program starts it on fixed ports.
// Pages carry exactly the markers and patterns the program scrapes, filled
// from a deterministic seed of orders, addresses and withdrawals. Lists show
// orders in the order orders() returns them (oldest first). Faults apply to the
// first three servers, except ExpiredSession, which concerns the back office
// only; the e-waybill provider has faults of its own (set_waybill_fault).
// Each server answers one request per connection ("Connection: close").
//
// Usage: mall::StandInMall mall;                 // ephemeral ports, seeded data
//        ctx.hosts = {mall.backoffice_host(), mall.image_host(), mall.tracking_host()};
//        mall.set_fault(mall::Fault::Slow);

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mall/recorded_request.h"
#include "mall/tracking.h"
#include "mall/waybill_service.h"

namespace mall {

// All texts of this class are UTF-8 (what travels on the wire).
struct Order {
  std::string id;        // the back office's order id (edit id)
  std::string order_no;  // 订单号
  std::string member;    // 会员
  std::string store;     // 店铺
  std::string total;     // 订单总额
  std::string paid;      // 支付金额
  std::string pay_time;  // 支付时间
  int state = 20;        // 10 unpaid, 20 to ship, 30 to receive, 40 done
  std::string goods, quantity, packaging, unit_price, line_total, pay_method, pickup_method;
  // Goods rows after the first: one more on about a third of the orders,
  // four more (five in all) on about one in seven.
  struct GoodsRow {
    std::string goods, quantity, packaging, unit_price, line_total;
  };
  std::vector<GoodsRow> more_goods;
  std::string message, consignee, phone, address, tracking_no, courier;
};

struct Withdrawal {
  std::string number, amount, time, operator_name;
};

enum class Fault {
  None,
  Slow,            // every answer waits slow_delay() first
  Drop,            // the connection is closed without an answer
  ServerError,     // 500 with a short error page
  ExpiredSession,  // every back-office page redirects to the login page
  Garbage,         // 200 with zero bytes and invalid UTF-8
  WrongPage,       // 200 with a whole web page, but not the one asked for
  Huge,            // 200 pages inside huge_size() bytes of filler
  Truncated,       // back-office pages announce their length, then stop halfway
  LostShipmentAnswer,  // /order/send does its work, then answers 503 (Retry-After: 0)
};

struct Options {
  // 0 picks ephemeral ports.
  int backoffice_port = 0;
  int image_port = 0;
  int tracking_port = 0;
  int waybill_port = 0;
  std::string account = "demo";
  std::string password = "demo123";
  std::string tracking_key = "demo-key";
  std::string store_name = "蔚禾优选旗舰店";
  std::uint32_t seed = 20170104;
  int seeded_orders = 36;  // spread over the four states
  bool tracking_json = false;  // the tracking service answers JSON (else its text form)
  WaybillAccount waybill;      // the merchant's e-waybill accounts (快递100 and 快递鸟)
};

class StandInMall {
 public:
  explicit StandInMall(Options options = {});
  ~StandInMall();  // stops the servers and joins their threads
  StandInMall(const StandInMall&) = delete;
  StandInMall& operator=(const StandInMall&) = delete;

  // "127.0.0.1:<port>"
  std::string backoffice_host() const;
  std::string image_host() const;
  std::string tracking_host() const;
  std::string waybill_host() const;
  const Options& options() const;

  // Data (thread-safe).
  std::vector<Order> orders() const;
  Order order(const std::string& id) const;  // empty id when unknown
  std::string add_order(int state = 20);     // a new seeded order; returns its id
  void add_orders(int count, int state);     // many at once (benchmarks)
  void clear_orders();
  std::string withdrawable_amount() const;
  std::vector<Withdrawal> paid_withdrawals() const;
  std::string sender_address_id() const;  // id in the first delete link

  // Serves `utf8_body` for GET on `target` (path with query) instead of the
  // generated page; an empty body removes the override.
  void override_page(const std::string& target, const std::string& utf8_body);

  void set_fault(Fault fault);
  void set_slow_delay(std::chrono::milliseconds delay);
  void set_huge_size(std::size_t bytes);
  // Every answer of the three servers waits this long first (0: none), as
  // from a back office tens of milliseconds away; not a fault.
  void set_latency(std::chrono::milliseconds latency);
  // More than `requests` at once on one server (0: no cap) are answered
  // "429 Too Many Requests" with "Retry-After: <retry_after_seconds>" at once.
  void set_max_concurrent(int requests, int retry_after_seconds = 1);
  int rejected_requests() const;  // answered 429 so far
  // The edit page and the shipments of order `id` wait `extra` longer.
  void set_order_delay(const std::string& id, std::chrono::milliseconds extra);
  Fault fault() const;
  std::chrono::milliseconds slow_delay() const;  // 2 s unless set
  std::size_t huge_size() const;                 // 16 MiB unless set

  // Requests received so far, oldest first (all three servers; the first
  // 200,000 are kept). A dropped connection records what the client sent.
  std::vector<RecordedRequest> requests() const;
  void clear_requests();

  // The tracking service's answer for `number` from now on: that state, its
  // newest event that many hours ago (JSON form only).
  void set_parcel_state(const std::string& number, ParcelState state);

  // Ends every back-office session (the next page needs a new login).
  void expire_sessions();

  // The e-waybill provider: waybills issued for an order number (orderId /
  // OrderCode) so far, its faults, latency and requests. waybill_service()
  // has the rest (every waybill issued, the slow fault's delay).
  int waybills_for(const std::string& order_no) const;
  void set_waybill_fault(WaybillFault fault);
  void set_waybill_latency(std::chrono::milliseconds latency);
  std::vector<RecordedRequest> waybill_requests() const;
  WaybillService& waybill_service();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace mall
