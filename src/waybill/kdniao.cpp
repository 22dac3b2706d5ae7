#include "waybill/kdniao.h"

#include "waybill/address_split.h"
#include "waybill/wire.h"

namespace waybill {

namespace {

using wire::Json;

constexpr const char* kEndpoint = "https://api.kdniao.com/api/EOrderService";
constexpr const char* kOrder = "1007";
constexpr const char* kCancel = "1147";
// The service's answer to an order code it has ordered for before.
constexpr const char* kRepeatedOrderCode = "106";

// A mobile number as the service means it: 11 digits starting with 1. Anything
// else (an area code with a dash, an extension) goes as a landline.
bool is_mobile(std::string_view phone) {
  if (phone.size() != 11 || phone.front() != '1') return false;
  for (char c : phone)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<Json> party(const Party& p, const char* who, std::string* why) {
  std::string split_why;
  const auto address = split_address(p.address, &split_why);
  if (!address) {
    if (why) *why = who + split_why;
    return std::nullopt;
  }
  const std::string phone(trim(p.phone));
  Json j;
  j["Name"] = kdniao_safe_text(p.name);
  j[is_mobile(phone) ? "Mobile" : "Tel"] = kdniao_safe_text(phone);
  j["ProvinceName"] = kdniao_safe_text(address->province);
  j["CityName"] = kdniao_safe_text(address->city);
  j["ExpAreaName"] = kdniao_safe_text(address->district);
  j["Address"] = kdniao_safe_text(address->rest);
  return j;
}

const std::string& courier_of(const Account& account, const WaybillRequest& request) {
  return request.courier.empty() ? account.courier : request.courier;
}

// Success, when the answer has it as a boolean.
std::optional<bool> success_of(const nlohmann::json& json) {
  const auto it = json.find("Success");
  if (it == json.end() || !it->is_boolean()) return std::nullopt;
  return it->get<bool>();
}

std::string refusal(const std::string& what, const std::string& reason, const std::string& code) {
  std::string out = what;
  if (!reason.empty()) out += "：" + reason;
  if (!code.empty()) out += "（" + code + "）";
  return out;
}

class Kdniao : public Provider {
 public:
  Kdniao(Account account, Post post) : m_account(std::move(account)), m_post(std::move(post)) {}

  std::string name() const override { return "kdniao"; }
  Guarantees guarantees() const override { return {.refuses_repeated_order_code = true}; }

  OrderAnswer order(const WaybillRequest& request) override {
    std::string why;
    const auto data = kdniao_order_data(m_account, request, &why);
    if (!data) {
      // Refused here: nothing was sent.
      OrderAnswer a;
      a.outcome = Outcome::Refused;
      a.reason = why;
      return a;
    }
    const HttpAnswer http = send(kOrder, *data);
    const auto json = wire::answer_json(http);
    const auto success = json ? success_of(*json) : std::nullopt;
    if (!success) return wire::unknown_order(http);

    OrderAnswer a;
    a.code = wire::text_of(*json, "ResultCode");
    a.raw = http.body;
    const std::string reason = wire::text_of(*json, "Reason");
    if (!*success) {
      a.outcome = Outcome::Refused;
      // A repeated order code carries no number of its own: the one ordered
      // before is what the merchant has to find.
      a.duplicate = a.code == kRepeatedOrderCode;
      a.reason = a.duplicate ? refusal("这个订单号已在快递鸟下过单，不会再给单号", reason, a.code)
                             : refusal("快递鸟没有下单", reason, a.code);
      return a;
    }
    const nlohmann::json order = json->value("Order", nlohmann::json());
    a.waybill.number = wire::text_of(order, "LogisticCode");
    if (a.waybill.number.empty()) {
      const std::string code = a.code;
      a = wire::unknown_order(http, "快递鸟说下单成功，却没有给出单号");
      a.code = code;
      return a;
    }
    a.outcome = Outcome::Ordered;
    a.waybill.big_pen = wire::text_of(order, "MarkDestination");
    a.waybill.package_name = wire::text_of(order, "PackageName");
    a.waybill.package_code = wire::text_of(order, "PackageCode");
    a.waybill.sorting_code = wire::text_of(order, "SortingCode");
    return a;
  }

  CancelAnswer cancel(const WaybillRequest& request, const Waybill& waybill,
                      const std::string& /*reason: the service takes none*/) override {
    Json data;
    data["ShipperCode"] = courier_of(m_account, request);
    data["OrderCode"] = kdniao_safe_text(request.order_no);
    data["ExpNo"] = waybill.number;
    if (!m_account.customer_name.empty()) data["CustomerName"] = m_account.customer_name;
    if (!m_account.customer_pwd.empty()) data["CustomerPwd"] = m_account.customer_pwd;
    const HttpAnswer http = send(kCancel, wire::json_text(data));
    const auto json = wire::answer_json(http);
    const auto success = json ? success_of(*json) : std::nullopt;
    if (!success) return wire::unknown_cancel(http);
    CancelAnswer a;
    a.cancelled = *success;
    a.code = wire::text_of(*json, "ResultCode");
    a.raw = http.body;
    if (!a.cancelled) a.reason = refusal("快递鸟没有取消", wire::text_of(*json, "Reason"), a.code);
    return a;
  }

 private:
  HttpAnswer send(const char* type, const std::string& data) {
    const std::string body =
        wire::form_field("RequestData", data) + "&" +
        wire::form_field("EBusinessID", m_account.ebusiness_id) + "&" +
        wire::form_field("RequestType", type) + "&" +
        wire::form_field("DataSign", kdniao_data_sign(data, m_account.app_key)) + "&" +
        wire::form_field("DataType", "2");
    return m_post(m_account.endpoint.empty() ? kEndpoint : m_account.endpoint, body);
  }

  Account m_account;
  Post m_post;
};

}  // namespace

std::string kdniao_data_sign(std::string_view request_data, std::string_view app_key) {
  std::string text(request_data);
  text.append(app_key);
  return wire::base64(wire::md5_hex(text, false));
}

std::string kdniao_safe_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\'':
        out += "＇";
        break;
      case '"':
        out += "＂";
        break;
      case '#':
        out += "＃";
        break;
      case '&':
        out += "＆";
        break;
      case '+':
        out += "＋";
        break;
      case '<':
        out += "＜";
        break;
      case '>':
        out += "＞";
        break;
      case '%':
        out += "％";
        break;
      case '\\':
        out += "＼";
        break;
      default:
        // JSON would write a control character with a backslash.
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? ' ' : c;
    }
  }
  return out;
}

std::optional<std::string> kdniao_order_data(const Account& account, const WaybillRequest& request,
                                             std::string* why) {
  const auto receiver = party(request.receiver, "收件人", why);
  if (!receiver) return std::nullopt;
  const auto sender = party(request.sender, "寄件人", why);
  if (!sender) return std::nullopt;
  // The account's own values are sent as they are: a password changed to
  // pass the character rule would no longer be the password.
  Json data;
  data["OrderCode"] = kdniao_safe_text(request.order_no);
  data["ShipperCode"] = courier_of(account, request);
  if (!account.customer_name.empty()) data["CustomerName"] = account.customer_name;
  if (!account.customer_pwd.empty()) data["CustomerPwd"] = account.customer_pwd;
  if (!account.month_code.empty()) data["MonthCode"] = account.month_code;
  if (!account.send_site.empty()) data["SendSite"] = account.send_site;
  data["PayType"] = account.pay_type;
  data["ExpType"] = 1;
  data["Receiver"] = *receiver;
  data["Sender"] = *sender;
  Json goods;
  goods["GoodsName"] = kdniao_safe_text(request.cargo);
  goods["Goodsquantity"] = request.count;
  data["Commodity"] = Json::array({goods});
  data["Quantity"] = 1;
  if (!request.remark.empty()) data["Remark"] = kdniao_safe_text(request.remark);
  return wire::json_text(data);
}

std::unique_ptr<Provider> make_kdniao(const Account& account, Post post) {
  return std::make_unique<Kdniao>(account, std::move(post));
}

}  // namespace waybill
