#pragma once
// The parcel-tracking service's replies, text or JSON: the steps of a parcel, made up
// deterministically from its number, or an error line for a bad query.
//
// Usage: std::string text = mall::tracking_reply("demo-key", key, "yunda", "9876", true);

#include <ctime>
#include <string>

namespace mall {

// The courier's name for a code of the service ("huitong" -> "百世快递(原汇通)"),
// or "" for an unknown code.
std::string courier_name(const std::string& code);

// Lines separated by CR LF, newest first when `newest_first`.
std::string tracking_reply(const std::string& expected_key, const std::string& key,
                           const std::string& courier_code, const std::string& number,
                           bool newest_first);

// A parcel's state as a test or the demo sets it (a state code of the
// service, and how long ago its newest event was).
struct ParcelState {
  int code = 0;
  int hours_since_last_event = 2;
};

// The same parcel as the service's JSON answer (state, events newest first,
// times before `now`), or {"message":…,"status":"0"} for a bad query. The
// state is `state` when given, else 签收, 派件 or 在途 by the parcel's steps.
std::string tracking_json_reply(const std::string& expected_key, const std::string& key,
                                const std::string& courier_code, const std::string& number,
                                const ParcelState* state, std::time_t now);

}  // namespace mall
