#pragma once
// The tracking service's last answer per tracking number and when it came,
// kept in the program's database so that a number answered a short while ago
// is not asked again, across restarts and between the window and weihe-cli
// (the service locks numbers that are asked about too often). Texts UTF-8.
//
// Usage: store::TrackingReplies replies(db);
//        if (auto r = replies.recent(number, now - 30 * 60)) reuse(r->reply);
//        replies.remember(number, courier, reply, readable, now);

#include <ctime>
#include <optional>
#include <string>
#include <utility>

#include "store/database.h"

namespace store {

struct StoredReply {
  std::string courier, reply;
  std::time_t fetched = 0;
};

// One shop's answers (`shop`: the archive's name of it).
class TrackingReplies {
 public:
  explicit TrackingReplies(Database& db, std::string shop = {}) : m_db(db), m_shop(std::move(shop)) {}

  // The number's last readable answer if it came at `since` or later.
  std::optional<StoredReply> recent(const std::string& tracking_no, std::time_t since);
  // Keeps `reply` as the number's last answer (`readable`: a real answer,
  // not an error). False with `error` when it could not be written.
  bool remember(const std::string& tracking_no, const std::string& courier,
                const std::string& reply, bool readable, std::time_t when, std::string* error);

 private:
  Database& m_db;
  std::string m_shop;
};

}  // namespace store
