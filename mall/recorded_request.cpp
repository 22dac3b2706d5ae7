#include "mall/recorded_request.h"

#include <httplib.h>

namespace mall {

RecordedRequest recorded(const httplib::Request& req) {
  RecordedRequest r;
  r.method = req.method;
  r.target = req.target;
  for (const auto& [k, v] : req.headers) r.headers.emplace(k, v);
  r.body = req.body;
  r.at = std::chrono::steady_clock::now();
  return r;
}

}  // namespace mall
