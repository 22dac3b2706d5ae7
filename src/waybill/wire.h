#pragma once
// What both e-waybill providers' requests and answers are made of: MD5 and
// base64 for the signatures, form fields, reading an answer's JSON, and the
// outcome of an answer that is not one (nothing came, a 5xx, garbage).
//
// Usage: std::string sign = waybill::wire::md5_hex(text, true);
//        if (auto json = waybill::wire::answer_json(http)) ...;
//        else return waybill::wire::unknown_order(http);

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "waybill/provider.h"

namespace waybill::wire {

using Json = nlohmann::ordered_json;

// The MD5 of `text` as 32 hex digits.
std::string md5_hex(std::string_view text, bool upper_case);
std::string base64(std::string_view bytes);
// "name=value" with the value's UTF-8 bytes percent-encoded.
std::string form_field(std::string_view name, std::string_view value);
// A request's JSON text: UTF-8 as it is, no blanks, invalid UTF-8 replaced.
std::string json_text(const Json& json);

// The answer's body as a JSON object; nothing when no answer came (status 0),
// the server failed (5xx) or the body is not a JSON object.
std::optional<nlohmann::json> answer_json(const HttpAnswer& http);
// A member as text: a string as it is, a number in decimal, anything else empty.
std::string text_of(const nlohmann::json& object, std::string_view key);

// The Unknown outcome of an answer that answer_json could not read, and of a
// readable one that says nothing certain (`what`, UTF-8).
OrderAnswer unknown_order(const HttpAnswer& http, const std::string& what = {});
CancelAnswer unknown_cancel(const HttpAnswer& http, const std::string& what = {});

}  // namespace waybill::wire
