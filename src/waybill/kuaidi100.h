#pragma once
// 快递100's e-waybill service (V2, "label/order"): one form POST of method,
// key, t, sign and param, where param is the request's JSON and sign the
// upper-case MD5 of param + t + key + secret. It orders only (printType NON):
// the label is printed here. It does not refuse an order id sent twice, so an
// order whose answer was lost must not be sent again by itself.
//
// Usage: auto p = waybill::make_kuaidi100(account, post);          // or make_provider
//        std::string sign = waybill::kuaidi100_sign(param, t, key, secret);

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "waybill/provider.h"

namespace waybill {

// Milliseconds since the epoch (the request's `t`).
using Clock = std::function<long long()>;

std::string kuaidi100_sign(std::string_view param, std::string_view t, std::string_view key,
                           std::string_view secret);
// The `param` text of an order, exactly as it is sent and signed.
std::string kuaidi100_order_param(const Account& account, const WaybillRequest& request);
// `now_ms`: the clock for `t` (unset: the system's).
std::unique_ptr<Provider> make_kuaidi100(const Account& account, Post post, Clock now_ms = {});

}  // namespace waybill
