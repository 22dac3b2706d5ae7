#pragma once
// An e-waybill provider (电子面单): asks the merchant's e-waybill account for a
// courier's waybill number for one parcel, or cancels one. Two providers sit
// behind this interface, 快递100 (kuaidi100 V2) and 快递鸟 (Kdniao
// EOrderService); nothing above it knows which one answers.
//
// An answer is one of three outcomes: the waybill (Ordered), a definite
// refusal (Refused: a documented error, the reason said), or Unknown: the
// request may have reached the provider but no readable answer came back
// (a time-out, a dropped connection, a 5xx, a body that is not the answer).
// Unknown is never to be ordered again by itself: the caller records it and
// the merchant settles it.
//
// Usage: auto provider = make_provider(account, post);   // post: the HTTP call
//        OrderAnswer a = provider->order(request);
//        if (a.outcome == Outcome::Ordered) print(a.waybill.number);

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace waybill {

// Province, city, district and the rest of an address, as Kdniao wants it.
struct SplitAddress {
  std::string province, city, district, rest;  // UTF-8
};

struct Party {
  std::string name, phone, address;  // UTF-8; the address as the mall gives it, whole
};

// One parcel's waybill request. Texts are UTF-8.
struct WaybillRequest {
  std::string order_id;   // the mall's order id (the ID column)
  std::string order_no;   // the mall's order number: the provider's order code
  std::string courier;    // the provider's courier code ("yuantong" for kuaidi100, "YTO" for Kdniao)
  Party receiver, sender;
  std::string cargo;      // the first goods name, "等N件" appended when there are more lines
  int count = 1;          // the quantities summed
  std::string remark;
};

// What a waybill is, as the label and the journal need it. Texts are UTF-8.
struct Waybill {
  std::string number;          // the courier's waybill number (kuaidinum / LogisticCode)
  std::string task_id;         // kuaidi100 taskId
  std::string courier_order;   // kuaidi100 kdComOrderNum (what its cancel wants as orderId)
  std::string big_pen;         // 大头笔 (bulkpen / MarkDestination)
  std::string package_name;    // 集包地 (pkgName / PackageName)
  std::string package_code;    // pkgCode / PackageCode
  std::string sorting_code;    // destSortingCode / SortingCode
};

enum class Outcome { Ordered, Refused, Unknown };

struct OrderAnswer {
  Outcome outcome = Outcome::Unknown;
  Waybill waybill;         // when Ordered
  std::string reason;      // for the merchant (UTF-8), when not Ordered
  std::string code;        // the provider's own result code, as it gave it ("200", "30004", "100")
  bool duplicate = false;  // refused because this order code was ordered before (Kdniao)
  std::string raw;         // the answer's body as it came (for the journal)
};

struct CancelAnswer {
  bool cancelled = false;
  bool unknown = false;    // no readable answer: it may or may not have been cancelled
  std::string reason;      // UTF-8
  std::string code;
  std::string raw;
};

// What a provider promises about repeated requests.
struct Guarantees {
  // The same order code sent twice is refused the second time, so an order
  // whose first answer was lost may be sent again safely (Kdniao). Without
  // it (kuaidi100) a repeat may well issue a second number.
  bool refuses_repeated_order_code = false;
};

// The account, from section `waybill` of the settings file (UTF-8).
struct Account {
  std::string provider;  // "kuaidi100" or "kdniao"
  std::string endpoint;  // empty: the provider's own address
  std::string courier;   // the provider's courier code
  // kuaidi100
  std::string key, secret, partner_id, partner_key, partner_secret, net, temp_id;
  // Kdniao
  std::string ebusiness_id, app_key, customer_name, customer_pwd, month_code, send_site;
  int pay_type = 3;  // Kdniao PayType: 1 现付, 2 到付, 3 月结 (monthly account), 4 第三方付
};

// One HTTP POST of a form body (application/x-www-form-urlencoded, UTF-8):
// the status (0 when no answer came at all) and the body.
struct HttpAnswer {
  int status = 0;
  std::string body;
};
using Post = std::function<HttpAnswer(const std::string& url, const std::string& form_body)>;

class Provider {
 public:
  virtual ~Provider() = default;
  virtual std::string name() const = 0;  // "kuaidi100" | "kdniao"
  virtual Guarantees guarantees() const = 0;
  virtual OrderAnswer order(const WaybillRequest& request) = 0;
  // Cancels `waybill`, ordered for `request` (its courier and order number).
  virtual CancelAnswer cancel(const WaybillRequest& request, const Waybill& waybill,
                              const std::string& reason) = 0;
};

// Why the account cannot be used (UTF-8, for the merchant: which setting is
// missing or wrong); empty when it can.
std::string account_problem(const Account& account);

// The provider the account names; null with `why` (account_problem, or no
// way to send) when the account cannot be used. Nothing is sent.
std::unique_ptr<Provider> make_provider(const Account& account, Post post, std::string* why);

}  // namespace waybill
