// The stand-in's faults, latency and overrides, and the record of requests.
#include "mall/stand_in_impl.h"

namespace mall {

void StandInMall::Impl::record(const httplib::Request& req) {
  RecordedRequest r = recorded(req);
  std::lock_guard lock(mutex);
  if (requests.size() < kMaxRecorded) requests.push_back(std::move(r));
}

void StandInMall::Impl::record_raw(const std::string& raw) {
  RecordedRequest r;
  const auto header_end = raw.find("\r\n\r\n");
  const std::string head = raw.substr(0, header_end);
  if (header_end != std::string::npos) r.body = raw.substr(header_end + 4);
  std::size_t line_end = head.find("\r\n");
  const std::string first = head.substr(0, line_end);
  const auto sp1 = first.find(' '), sp2 = first.rfind(' ');
  r.method = first.substr(0, sp1);
  if (sp1 != std::string::npos && sp2 > sp1) r.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
  while (line_end != std::string::npos) {
    const auto next = head.find("\r\n", line_end + 2);
    const std::string line = head.substr(line_end + 2, next - line_end - 2);
    const auto colon = line.find(':');
    if (colon != std::string::npos) {
      const auto value_start = line.find_first_not_of(' ', colon + 1);
      r.headers.emplace(line.substr(0, colon),
                        value_start == std::string::npos ? "" : line.substr(value_start));
    }
    line_end = next;
  }
  std::lock_guard lock(mutex);
  if (requests.size() < kMaxRecorded) requests.push_back(std::move(r));
}

bool StandInMall::Impl::apply_fault(httplib::Response& res) {
  const Fault f = fault.load();
  if (f == Fault::Slow) {
    std::unique_lock lock(stop_mutex);
    stop_cv.wait_for(lock, std::chrono::milliseconds(slow_ms.load()), [&] { return stopping; });
    return false;
  }
  if (f == Fault::ServerError) {
    res.status = 500;
    res.set_content(pages::server_error(), kHtml);
    return true;
  }
  if (f == Fault::WrongPage) {
    res.status = 200;
    res.set_content(
        "<!DOCTYPE html>\n<html><head><title>系统维护</title></head>\n"
        "<body><table><tr><td>系统维护中，请稍后再来</td></tr></table></body></html>\n",
        kHtml);
    return true;
  }
  if (f == Fault::Garbage) {
    static const std::string garbage(
        "\xc3\x28\xa0\xa1<h3>\xff\xfe</h3>\xe2\x82\x00\x00<td>\xf0\x28\x8c\xbc</td>\x00\x80"
        "\xbf\xed\xa0\x80\xc0\xaf",
        34);
    res.status = 200;
    res.set_content(garbage, kHtml);
    return true;
  }
  return false;
}

namespace {

void wait_unless_stopping(std::mutex& m, std::condition_variable& cv, const bool& stopping,
                          long long ms) {
  if (ms <= 0) return;
  std::unique_lock lock(m);
  cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping; });
}

}  // namespace

void StandInMall::Impl::wait_latency() {
  wait_unless_stopping(stop_mutex, stop_cv, stopping, latency_ms.load());
}

void StandInMall::Impl::wait_for_order(const std::string& id) {
  long long ms = 0;
  {
    std::lock_guard lock(mutex);
    const auto it = order_delays.find(id);
    if (it != order_delays.end()) ms = it->second;
  }
  wait_unless_stopping(stop_mutex, stop_cv, stopping, ms);
}

bool StandInMall::Impl::over_capacity(const LoopbackServer& server, httplib::Response& res) {
  const int cap = max_concurrent.load();
  if (cap <= 0 || server.connections_open() <= cap) return false;
  ++rejected;
  res.status = 429;
  res.set_header("Retry-After", std::to_string(retry_after_s.load()));
  res.set_content(pages::not_found("请求太频繁，请稍后再试。"), kHtml);
  return true;
}

bool StandInMall::Impl::serve_override(const httplib::Request& req, httplib::Response& res) {
  if (req.method != "GET") return false;
  std::lock_guard lock(mutex);
  auto it = overrides.find(req.target);
  if (it == overrides.end()) return false;
  res.set_content(it->second, kHtml);
  return true;
}

void StandInMall::Impl::make_huge(httplib::Response& res) {
  if (fault.load() != Fault::Huge || res.status >= 300) return;  // -1: 200 once written
  static const std::string filler = [] {
    std::string f;
    while (f.size() < 65536) f += "<p>填充内容 filler</p>\n";
    return f;
  }();
  const std::size_t size = huge_bytes.load();
  const std::size_t half = size > res.body.size() ? (size - res.body.size()) / 2 : 0;
  std::string body;
  body.reserve(std::max(size, res.body.size()));
  while (body.size() < half) body.append(filler, 0, std::min(filler.size(), half - body.size()));
  body += res.body;
  while (body.size() < size) body.append(filler, 0, std::min(filler.size(), size - body.size()));
  res.body = std::move(body);
  // The length was already announced for the page alone.
  res.headers.erase("Content-Length");
  res.set_header("Content-Length", std::to_string(res.body.size()));
}

void StandInMall::Impl::cut_short(httplib::Response& res) {
  if (fault.load() != Fault::Truncated || res.body.empty()) return;
  auto body = std::make_shared<std::string>(std::move(res.body));
  res.body.clear();
  const std::string type = res.get_header_value("Content-Type");
  res.set_content_provider(body->size(), type.c_str(),
                           [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                             const std::size_t half = body->size() / 2;
                             if (offset >= half) return false;
                             return sink.write(body->data() + offset,
                                               std::min(length, half - offset));
                           });
}

}  // namespace mall
