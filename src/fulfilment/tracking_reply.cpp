#include "fulfilment/tracking_reply.h"

#include <re2/re2.h>

#include <algorithm>
#include <map>

#include <nlohmann/json.hpp>

namespace fulfilment {

namespace {

using json = nlohmann::json;

// A JSON value as text: strings as they are, numbers written out, others empty.
std::string text_of(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return {};
  if (it->is_string()) return it->get<std::string>();
  if (it->is_number_integer()) return std::to_string(it->get<long long>());
  if (it->is_boolean()) return it->get<bool>() ? "true" : "false";
  return {};
}

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// Newest first, whichever order the service chose ("YYYY-MM-DD HH:MM:SS"
// compares as text).
void newest_first(std::vector<TrackingEvent>& events) {
  if (events.size() > 1 && events.front().time < events.back().time)
    std::reverse(events.begin(), events.end());
}

TrackingReply from_json(const json& doc) {
  TrackingReply r;
  const std::string status = text_of(doc, "status");
  r.message = text_of(doc, "message");
  // kuaidi100's newer answers say {"result":false,"returnCode":"400","message":…}.
  if ((!status.empty() && status != "1") || text_of(doc, "result") == "false") {
    r.kind = TrackingReply::Kind::Error;
    return r;
  }
  const auto data = doc.find("data");
  if (status.empty() && (data == doc.end() || !data->is_array())) return r;  // not an answer we know
  r.kind = TrackingReply::Kind::Readable;
  r.state = text_of(doc, "state");
  r.number = text_of(doc, "nu");
  r.courier = text_of(doc, "com");
  if (data != doc.end() && data->is_array()) {
    for (const json& item : *data) {
      if (!item.is_object()) continue;
      TrackingEvent e{text_of(item, "ftime"), text_of(item, "context"), text_of(item, "location")};
      if (e.time.empty()) e.time = text_of(item, "time");
      r.events.push_back(std::move(e));
    }
  }
  newest_first(r.events);
  return r;
}

TrackingReply from_text(const std::string& text) {
  static const RE2 event_line(
      R"((\d{4}-\d{2}-\d{2} \d{2}:\d{2}(?::\d{2})?)(?:\t| {2,})\s*(.*?)\s*)");
  static const RE2 failed("(?:失败|错误|无效|error|Error)");
  TrackingReply r;
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::string line = trimmed(text.substr(at, end == std::string::npos ? end : end - at));
    if (!line.empty()) lines.push_back(line);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  for (const std::string& line : lines) {
    TrackingEvent e;
    if (RE2::FullMatch(line, event_line, &e.time, &e.context)) r.events.push_back(std::move(e));
  }
  if (!r.events.empty()) {
    r.kind = TrackingReply::Kind::Readable;
    newest_first(r.events);
  } else if (lines.size() == 1 && RE2::PartialMatch(lines[0], failed)) {
    r.kind = TrackingReply::Kind::Error;
    r.message = lines[0];
  }
  return r;
}

// The text up to its first sentence end, at most `limit` characters.
std::string first_sentence(const std::string& text, std::size_t limit = 40) {
  std::string s = text;
  for (const char* end : {"!", "！", "。"}) {
    const auto at = s.find(end);
    if (at != std::string::npos && at > 0) s.erase(at);
  }
  s = trimmed(s);
  std::size_t chars = 0, i = 0;
  while (i < s.size() && chars < limit) {
    const auto c = static_cast<unsigned char>(s[i]);
    i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    ++chars;
  }
  return i < s.size() ? s.substr(0, i) + "…" : s;
}

bool parse_time(const std::string& text, std::time_t* out) {
  std::tm tm{};
  int seconds = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                  &tm.tm_hour, &tm.tm_min, &seconds) < 5)
    return false;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_sec = seconds;
  tm.tm_isdst = -1;
  *out = std::mktime(&tm);
  return *out != -1;
}

}  // namespace

TrackingReply parse_tracking_reply(const std::string& utf8) {
  const std::string text = trimmed(utf8);
  if (text.empty()) return {};
  if (text.front() == '{') {
    const json doc = json::parse(text, nullptr, false);
    return doc.is_object() ? from_json(doc) : TrackingReply{};  // cut short or broken: unreadable
  }
  return from_text(text);
}

std::string state_name(const std::string& code) {
  static const std::map<std::string, std::string> names = {
      {"0", "在途"},    {"1", "揽收"},   {"2", "疑难"},   {"3", "签收"},   {"4", "退签"},
      {"5", "派件"},    {"6", "退回"},   {"7", "转投"},   {"8", "清关"},   {"10", "待清关"},
      {"11", "清关中"}, {"12", "已清关"}, {"13", "清关异常"}, {"14", "拒签"}};
  const auto it = names.find(code);
  return it == names.end() ? std::string() : it->second;
}

std::string problem_of(const TrackingReply& reply, std::time_t now, int stale_hours) {
  if (reply.kind != TrackingReply::Kind::Readable) return {};
  for (const char* troubled : {"2", "4", "6", "13", "14"})
    if (reply.state == troubled) return state_name(reply.state);
  std::time_t newest = 0;
  if (!reply.state.empty() && reply.state != "3" && !reply.events.empty() &&
      parse_time(reply.events.front().time, &newest) &&
      now - newest > static_cast<std::time_t>(stale_hours) * 3600)
    return std::to_string(stale_hours) + "小时没有新动态";
  return {};
}

std::string tracking_summary(const TrackingReply& reply) {
  if (reply.kind != TrackingReply::Kind::Readable) return {};
  std::vector<std::string> parts;
  if (const std::string name = state_name(reply.state); !name.empty()) parts.push_back(name);
  if (!reply.events.empty()) {
    const TrackingEvent& e = reply.events.front();
    parts.push_back(e.time.size() >= 16 ? e.time.substr(5, 11) : e.time);
    parts.push_back(first_sentence(e.context));
  }
  std::string line;
  for (const std::string& p : parts) line += (line.empty() ? "" : " · ") + p;
  return line;
}

}  // namespace fulfilment
