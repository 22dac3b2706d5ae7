#pragma once
// The order ids the program has seen in the back office's lists, kept in its
// database, so that "new" means never seen before, across restarts and
// between the window and weihe-cli. Ids are UTF-8.
//
// Usage: store::SeenOrders seen(db);
//        bool first = false;
//        auto fresh = seen.note(ids, &first);   // first: nothing was ever seen

#include <string>
#include <utility>
#include <vector>

#include "store/database.h"

namespace store {

// The orders seen in one shop (`shop`: the archive's name of it).
class SeenOrders {
 public:
  explicit SeenOrders(Database& db, std::string shop = {}) : m_db(db), m_shop(std::move(shop)) {}

  // Marks `ids` as seen and returns those not seen before, in their order.
  // `first` (when given) tells whether nothing had ever been noted. Nothing
  // is returned or marked when the database cannot be written.
  std::vector<std::string> note(const std::vector<std::string>& ids, bool* first = nullptr);

 private:
  Database& m_db;
  std::string m_shop;
};

}  // namespace store
