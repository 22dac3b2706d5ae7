#pragma once
// The order ids the program has seen in the back office's lists, kept in its
// database, so that "new" means never seen before, across restarts and
// between the window and weihe-cli. Ids are UTF-8.
//
// Usage: store::SeenOrders seen(db);
//        bool first = false;
//        auto fresh = seen.note(ids, &first);   // first: nothing was ever seen

#include <string>
#include <vector>

#include "store/database.h"

namespace store {

class SeenOrders {
 public:
  explicit SeenOrders(Database& db) : m_db(db) {}

  // Marks `ids` as seen and returns those not seen before, in their order.
  // `first` (when given) tells whether nothing had ever been noted. Nothing
  // is returned or marked when the database cannot be written.
  std::vector<std::string> note(const std::vector<std::string>& ids, bool* first = nullptr);

 private:
  Database& m_db;
};

}  // namespace store
