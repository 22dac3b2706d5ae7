#pragma once
// One request as a stand-in server took it in, kept for tests to look at.
//
// Usage: for (const mall::RecordedRequest& r : mall.requests()) EXPECT_EQ(r.method, "POST");

#include <chrono>
#include <map>
#include <string>

namespace httplib {
struct Request;
}

namespace mall {

struct RecordedRequest {
  std::string method;
  std::string target;  // path and query, as sent
  std::multimap<std::string, std::string> headers;
  std::string body;
  std::chrono::steady_clock::time_point at;  // when it was taken in
};

// `req` as it is kept, taken in now.
RecordedRequest recorded(const httplib::Request& req);

}  // namespace mall
