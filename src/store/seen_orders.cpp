#include "store/seen_orders.h"

#include <ctime>

#include "store/statement.h"

namespace store {

std::vector<std::string> SeenOrders::note(const std::vector<std::string>& ids, bool* first) {
  std::vector<std::string> fresh;
  bool never = false;
  std::string ignored;
  const bool done = m_db.run(
      [&](Database::Connection& db, std::string* why) {
        // One transaction for the whole list: all are marked, or none.
        if (Statement(db, "BEGIN IMMEDIATE").step() != SQLITE_DONE) return *why = "busy", false;
        const std::int64_t now = std::time(nullptr);
        Statement begun(db, "INSERT INTO seen_orders (shop, order_id, first_seen) VALUES (?, '', ?) ON CONFLICT DO NOTHING");
        begun.bind(1, m_shop);
        begun.bind(2, now);
        bool ok = begun.step() == SQLITE_DONE;
        never = begun.changes() > 0;
        for (const std::string& id : ids) {
          if (!ok || id.empty()) continue;
          Statement add(db, "INSERT INTO seen_orders (shop, order_id, first_seen) VALUES (?, ?, ?) ON CONFLICT DO NOTHING");
          add.bind(1, m_shop);
          add.bind(2, id);
          add.bind(3, now);
          ok = add.step() == SQLITE_DONE;
          if (ok && add.changes() > 0) fresh.push_back(id);
        }
        Statement(db, ok ? "COMMIT" : "ROLLBACK").step();
        if (!ok) fresh.clear();
        return ok;
      },
      &ignored);
  if (first) *first = done && never;
  return fresh;
}

}  // namespace store
