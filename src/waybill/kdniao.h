#pragma once
// 快递鸟's e-waybill service (EOrderService): one form POST of RequestData (the
// request's JSON), EBusinessID, RequestType (1007 order, 1147 cancel),
// DataSign and DataType 2, every field percent-encoded. DataSign is the base64
// of the 32 lower-case hex digits of MD5(RequestData + AppKey). The service
// refuses an order code it has seen (ResultCode 106), so an order whose answer
// was lost may be sent again: it either orders or says it did before. It
// wants the addresses cut into province, city and district (address_split.h)
// and forbids ' " # & + < > % \ in the data.
//
// Usage: auto p = waybill::make_kdniao(account, post);            // or make_provider
//        std::string sign = waybill::kdniao_data_sign(request_data, app_key);

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "waybill/provider.h"

namespace waybill {

std::string kdniao_data_sign(std::string_view request_data, std::string_view app_key);
// `text` with the characters the service forbids written full-width
// (＇＂＃＆＋＜＞％＼) and control characters as blanks.
std::string kdniao_safe_text(std::string_view text);
// The RequestData text of an order, exactly as it is sent and signed; nothing,
// with `why` (UTF-8), when an address cannot be cut into its parts.
std::optional<std::string> kdniao_order_data(const Account& account, const WaybillRequest& request,
                                             std::string* why);
std::unique_ptr<Provider> make_kdniao(const Account& account, Post post);

}  // namespace waybill
