#pragma once
// The stand-in e-waybill provider (电子面单): one loopback server speaking both
// protocols the program's providers use, form-urlencoded POSTs answered in
// JSON, UTF-8 throughout:
//   快递100 V2       POST /label/order        method=order|cancel, key, t, sign, param
//   快递鸟 EOrderService POST /api/EOrderService  RequestData, EBusinessID, RequestType
//                                             (1007 order, 1147 cancel), DataSign, DataType=2
// Signatures are checked as the real services check them. Numbers follow the
// courier's own pattern (圆通 "YT" and 13 digits ...), with 大头笔, 集包地 and
// a sorting code made up from the receiver's city. 快递100 issues a new number
// for every order, even one with an orderId seen before; 快递鸟 refuses an
// OrderCode it has seen (ResultCode 106), also after a cancel.
//
// Its faults, latency and record of requests are its own: the back office's
// faults never reach it, nor its faults the back office.
//
// Usage: mall::WaybillService service;            // ephemeral port, demo account
//        account.endpoint = "http://" + service.host() + "/label/order";
//        service.set_fault(mall::WaybillFault::LostAnswer);
//        EXPECT_EQ(service.waybills_for("20240501083104001001"), 1);

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "mall/recorded_request.h"

namespace mall {

// The merchant's accounts with both providers. UTF-8.
struct WaybillAccount {
  // 快递100: the key and the secret signing its requests.
  std::string key = "demo-waybill-key";
  std::string secret = "demo-waybill-secret";
  // 快递鸟: the merchant's id and the key signing its requests.
  std::string ebusiness_id = "1000001";
  std::string app_key = "demo-app-key";
};

enum class WaybillFault {
  None,
  LostAnswer,        // the waybill is issued (or cancelled), then the connection closes unanswered
  Slow,              // the waybill is issued at once, the answer waits slow_delay() first
  ServerError,       // 500 with a short page; nothing issued
  BadSignature,      // every request is refused as badly signed
  BalanceExhausted,  // every order is refused: no waybills left on the account
};

// A waybill the service issued.
struct IssuedWaybill {
  std::string provider;       // "kuaidi100" | "kdniao"
  std::string order_no;       // the orderId / OrderCode it was ordered for
  std::string courier;        // kuaidicom / ShipperCode, as sent
  std::string number;         // the courier's waybill number
  std::string courier_order;  // kdComOrderNum (快递100; what its cancel wants as orderId)
  std::string big_pen, package_name, package_code, sorting_code;
  bool cancelled = false;
};

class WaybillService {
 public:
  // Listens on 127.0.0.1:`port` (0: an ephemeral one); throws std::runtime_error
  // when the port is taken.
  explicit WaybillService(WaybillAccount account = {}, int port = 0);
  ~WaybillService();  // stops the server and joins its thread
  WaybillService(const WaybillService&) = delete;
  WaybillService& operator=(const WaybillService&) = delete;

  std::string host() const;  // "127.0.0.1:<port>"
  const WaybillAccount& account() const;

  // Waybills issued for `order_no` so far, cancelled ones included.
  int waybills_for(const std::string& order_no) const;
  std::vector<IssuedWaybill> waybills() const;  // oldest first

  void set_fault(WaybillFault fault);
  WaybillFault fault() const;
  void set_slow_delay(std::chrono::milliseconds delay);  // 3 s unless set
  std::chrono::milliseconds slow_delay() const;
  // Every answer waits this long first (0: none), as a provider far away; not a fault.
  void set_latency(std::chrono::milliseconds latency);

  // Requests received so far, oldest first (the first 10,000).
  std::vector<RecordedRequest> requests() const;
  void clear_requests();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

// Upper-case hex MD5 of `text`, as 快递100 signs: MD5(param + t + key + secret).
std::string kuaidi100_sign(const std::string& param, const std::string& t, const std::string& key,
                           const std::string& secret);
// Base64 of the lower-case hex MD5 of RequestData + AppKey, as 快递鸟 signs.
std::string kdniao_sign(const std::string& request_data, const std::string& app_key);

}  // namespace mall
