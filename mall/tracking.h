#pragma once
// The parcel-tracking service's text reply: the steps of a parcel, made up
// deterministically from its number, or an error line for a bad query.
//
// Usage: std::string text = mall::tracking_reply("demo-key", key, "yunda", "9876", true);

#include <string>

namespace mall {

// The courier's name for a code of the service ("huitong" -> "百世快递(原汇通)"),
// or "" for an unknown code.
std::string courier_name(const std::string& code);

// Lines separated by CR LF, newest first when `newest_first`.
std::string tracking_reply(const std::string& expected_key, const std::string& key,
                           const std::string& courier_code, const std::string& number,
                           bool newest_first);

}  // namespace mall
