// The stand-in image host and tracking service.
#include "mall/stand_in_impl.h"

namespace mall {

void StandInMall::Impl::image_route(const httplib::Request& req, httplib::Response& res) {
  record(req);
  if (apply_fault(res) || serve_override(req, res)) return;
  if (req.method == "GET" && req.path == std::string("/") + kLogoPath) {
    return res.set_content(logo_png(), "image/png");
  }
  res.status = 404;
  res.set_content("404 Not Found", "text/plain; charset=UTF-8");
}

void StandInMall::Impl::tracking_route(const httplib::Request& req, httplib::Response& res) {
  record(req);
  if (apply_fault(res) || serve_override(req, res)) return;
  if (req.path != "/api") {
    res.status = 404;
    return res.set_content("404 Not Found", "text/plain; charset=UTF-8");
  }
  const auto query = parse_query(req.target);
  auto value = [&query](const char* key) {
    auto it = query.find(key);
    return it == query.end() ? std::string() : it->second;
  };
  if (options.tracking_json) {
    std::optional<ParcelState> state;
    {
      std::lock_guard lock(mutex);
      if (auto it = parcel_states.find(value("nu")); it != parcel_states.end()) state = it->second;
    }
    return res.set_content(tracking_json_reply(options.tracking_key, value("id"), value("com"),
                                               value("nu"), state ? &*state : nullptr,
                                               std::time(nullptr)),
                           "application/json; charset=UTF-8");
  }
  res.set_content(tracking_reply(options.tracking_key, value("id"), value("com"), value("nu"),
                                 value("order") != "asc"),
                  "text/plain; charset=UTF-8");
}

}  // namespace mall
