#include "waybill/kuaidi100.h"

#include <chrono>

#include "waybill/wire.h"

namespace waybill {

namespace {

using wire::Json;

constexpr const char* kEndpoint = "https://api.kuaidi100.com/label/order";

// The account's partner fields that are set, as both order and cancel send them.
void add_partner(Json& param, const Account& account) {
  if (!account.partner_id.empty()) param["partnerId"] = account.partner_id;
  if (!account.partner_key.empty()) param["partnerKey"] = account.partner_key;
  if (!account.partner_secret.empty()) param["partnerSecret"] = account.partner_secret;
  if (!account.net.empty()) param["net"] = account.net;
}

Json man(const Party& party) {
  Json m;
  m["name"] = party.name;
  m["mobile"] = party.phone;  // the service takes a landline here too
  m["printAddr"] = party.address;
  return m;
}

const std::string& courier_of(const Account& account, const WaybillRequest& request) {
  return request.courier.empty() ? account.courier : request.courier;
}

// The documented refusals: the request was not taken, nothing was ordered.
const char* refusal_of(const std::string& code) {
  if (code == "30001") return "电子面单请求的参数有误（30001）";
  if (code == "30002") return "电子面单签名验证失败，请核对 key 和 secret（30002）";
  if (code == "30003") return "电子面单账号信息不正确，请核对 key（30003）";
  if (code == "30004") return "电子面单账户余额不足（30004）";
  if (code == "30009") return "电子面单服务查无此单（30009）";
  return nullptr;
}

std::string with_message(std::string reason, const std::string& message) {
  return message.empty() ? reason : reason + "：" + message;
}

class Kuaidi100 : public Provider {
 public:
  Kuaidi100(Account account, Post post, Clock now_ms)
      : m_account(std::move(account)), m_post(std::move(post)), m_now(std::move(now_ms)) {
    if (!m_now)
      m_now = [] {
        return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::system_clock::now().time_since_epoch())
                                          .count());
      };
  }

  std::string name() const override { return "kuaidi100"; }
  Guarantees guarantees() const override { return {.refuses_repeated_order_code = false}; }

  OrderAnswer order(const WaybillRequest& request) override {
    const HttpAnswer http = send("order", kuaidi100_order_param(m_account, request));
    const auto json = wire::answer_json(http);
    if (!json) return wire::unknown_order(http);
    const std::string code = wire::text_of(*json, "code");
    const std::string message = wire::text_of(*json, "message");
    if (code.empty()) return wire::unknown_order(http);

    OrderAnswer a;
    a.code = code;
    a.raw = http.body;
    if (code == "200") {
      // One parcel's data, as an object or as the one element of an array.
      nlohmann::json data = json->value("data", nlohmann::json());
      if (data.is_array()) data = data.empty() ? nlohmann::json() : data.front();
      a.waybill.number = wire::text_of(data, "kuaidinum");
      if (a.waybill.number.empty()) {
        a = wire::unknown_order(http, "电子面单服务说下单成功，却没有给出单号");
        a.code = code;
        return a;
      }
      a.outcome = Outcome::Ordered;
      a.waybill.task_id = wire::text_of(data, "taskId");
      a.waybill.courier_order = wire::text_of(data, "kdComOrderNum");
      a.waybill.big_pen = wire::text_of(data, "bulkpen");
      a.waybill.package_name = wire::text_of(data, "pkgName");
      a.waybill.package_code = wire::text_of(data, "pkgCode");
      a.waybill.sorting_code = wire::text_of(data, "destSortingCode");
      return a;
    }
    if (const char* refusal = refusal_of(code)) {
      a.outcome = Outcome::Refused;
      a.reason = with_message(refusal, message);
      return a;
    }
    // A server error (-1) or a code the service does not document: it may
    // have ordered all the same.
    a = wire::unknown_order(http,
                            with_message("电子面单服务回答了不明的结果（" + code + "）", message));
    a.code = code;
    return a;
  }

  CancelAnswer cancel(const WaybillRequest& request, const Waybill& waybill,
                      const std::string& reason) override {
    Json param;
    add_partner(param, m_account);
    param["kuaidicom"] = courier_of(m_account, request);
    param["kuaidinum"] = waybill.number;
    // The courier's order number the order gave; without one (a number the
    // merchant found in the back office) it is left out, as the service allows.
    if (!waybill.courier_order.empty()) param["orderId"] = waybill.courier_order;
    if (!reason.empty()) param["reason"] = reason;
    const HttpAnswer http = send("cancel", wire::json_text(param));
    const auto json = wire::answer_json(http);
    if (!json) return wire::unknown_cancel(http);
    const std::string code = wire::text_of(*json, "code");
    const auto success = json->find("success");
    const bool has_success = success != json->end() && success->is_boolean();
    if (code.empty() && !has_success) return wire::unknown_cancel(http);

    CancelAnswer a;
    a.code = code;
    a.raw = http.body;
    a.cancelled = code.empty() ? success->get<bool>() : code == "200";
    if (!a.cancelled) {
      const char* refusal = refusal_of(code);
      a.reason = with_message(refusal ? refusal : "电子面单服务没有取消（" + code + "）",
                              wire::text_of(*json, "message"));
    }
    return a;
  }

 private:
  HttpAnswer send(const char* method, const std::string& param) {
    const std::string t = std::to_string(m_now());
    const std::string body =
        wire::form_field("method", method) + "&" + wire::form_field("key", m_account.key) + "&" +
        wire::form_field("t", t) + "&" +
        wire::form_field("sign", kuaidi100_sign(param, t, m_account.key, m_account.secret)) + "&" +
        wire::form_field("param", param);
    return m_post(m_account.endpoint.empty() ? kEndpoint : m_account.endpoint, body);
  }

  Account m_account;
  Post m_post;
  Clock m_now;
};

}  // namespace

std::string kuaidi100_sign(std::string_view param, std::string_view t, std::string_view key,
                           std::string_view secret) {
  std::string text;
  text.append(param).append(t).append(key).append(secret);
  return wire::md5_hex(text, true);
}

std::string kuaidi100_order_param(const Account& account, const WaybillRequest& request) {
  Json param;
  param["kuaidicom"] = courier_of(account, request);
  add_partner(param, account);
  param["recMan"] = man(request.receiver);
  param["sendMan"] = man(request.sender);
  if (!request.cargo.empty()) param["cargo"] = request.cargo;
  param["count"] = request.count;
  if (!request.remark.empty()) param["remark"] = request.remark;
  param["orderId"] = request.order_no;
  param["printType"] = "NON";
  if (!account.temp_id.empty()) param["tempId"] = account.temp_id;
  return wire::json_text(param);
}

std::unique_ptr<Provider> make_kuaidi100(const Account& account, Post post, Clock now_ms) {
  return std::make_unique<Kuaidi100>(account, std::move(post), std::move(now_ms));
}

}  // namespace waybill
