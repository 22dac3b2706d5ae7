#include "waybill/wire.h"

#include <QByteArray>
#include <QCryptographicHash>

namespace waybill::wire {

std::string md5_hex(std::string_view text, bool upper_case) {
  const QByteArray digest =
      QCryptographicHash::hash(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())),
                               QCryptographicHash::Md5)
          .toHex();
  std::string hex = digest.toStdString();
  if (upper_case)
    for (char& c : hex)
      if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  return hex;
}

std::string base64(std::string_view bytes) {
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64().toStdString();
}

// Percent-encodes the bytes as they are: the values are UTF-8 already
// (web::form_encode takes system text).
std::string form_field(std::string_view name, std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out(name);
  out += '=';
  for (const unsigned char c : value) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string json_text(const Json& json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<nlohmann::json> answer_json(const HttpAnswer& http) {
  if (http.status <= 0 || http.status >= 500) return std::nullopt;
  nlohmann::json json = nlohmann::json::parse(http.body, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  return json;
}

std::string text_of(const nlohmann::json& object, std::string_view key) {
  if (!object.is_object()) return {};
  const auto it = object.find(std::string(key));
  if (it == object.end()) return {};
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number_integer()) return std::to_string(it->get<long long>());
  if (it->is_number_unsigned()) return std::to_string(it->get<unsigned long long>());
  return {};
}

namespace {

// Why an answer says nothing certain, for the merchant.
std::string unknown_reason(const HttpAnswer& http, const std::string& what) {
  std::string reason;
  if (!what.empty())
    reason = what;
  else if (http.status <= 0)
    reason = "电子面单服务没有回答（连不上、超时或回答没有传完）";
  else if (http.status >= 500)
    reason = "电子面单服务出错（HTTP " + std::to_string(http.status) + "）";
  else
    reason = "电子面单服务的回答读不懂（HTTP " + std::to_string(http.status) + "）";
  return reason + "，不知道是否已办成，请到电子面单后台核对";
}

}  // namespace

OrderAnswer unknown_order(const HttpAnswer& http, const std::string& what) {
  OrderAnswer a;
  a.outcome = Outcome::Unknown;
  a.reason = unknown_reason(http, what);
  a.raw = http.body;
  return a;
}

CancelAnswer unknown_cancel(const HttpAnswer& http, const std::string& what) {
  CancelAnswer a;
  a.unknown = true;
  a.reason = unknown_reason(http, what);
  a.raw = http.body;
  return a;
}

}  // namespace waybill::wire
