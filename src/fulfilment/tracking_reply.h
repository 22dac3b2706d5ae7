#pragma once
// What a tracking service's answer says: its status, the parcel's state and
// its events, newest first. Two forms are read: JSON ({"status":"1",
// "state":"3","data":[{"time","ftime","context","location"}]}) and plain
// text (a header line, then one line per event: the time, a tab or two
// spaces, the text). An answer with a status other than "1", or a lone line
// saying the query failed, is an error with its message; anything else is
// unreadable. Texts are UTF-8.
//
// Usage: TrackingReply r = parse_tracking_reply(web::gbk_to_utf8(cell));
//        if (r.kind == TrackingReply::Kind::Readable) show(tracking_summary(r));

#include <ctime>
#include <string>
#include <vector>

namespace fulfilment {

struct TrackingEvent {
  std::string time;  // as given, "2024-05-23 06:36:16"
  std::string context;
  std::string location;  // empty when not given
};

struct TrackingReply {
  enum class Kind { Readable, Error, Unreadable };
  Kind kind = Kind::Unreadable;
  std::string message;     // the service's message (an error's reason)
  std::string state;       // the state code as text; empty when not given
  std::string number;      // "nu", when given
  std::string courier;     // "com", when given
  std::vector<TrackingEvent> events;  // newest first
};

TrackingReply parse_tracking_reply(const std::string& utf8);

// "签收" for "3", and so on; empty for a code without a name.
std::string state_name(const std::string& code);

// A parcel that needs a look: in a troubled state (疑难, 退签, 退回, 拒签,
// 清关异常), or not yet signed for and without a new event for more than
// `stale_hours` before `now`. Empty when it is fine.
std::string problem_of(const TrackingReply& reply, std::time_t now, int stale_hours = 72);

// One line for the order list: "签收 · 05-23 06:36 · [杭州市] 快件已签收"
// (state name when known, the newest event's time and the first sentence of
// its text). Empty unless the reply is readable.
std::string tracking_summary(const TrackingReply& reply);

}  // namespace fulfilment
