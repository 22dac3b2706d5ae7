#pragma once
// Claims: before a station sends an order's shipment (or orders its
// waybill), one statement takes (shop, kind, order) for it. Another
// station's claim refuses the order, naming that station. A claim whose
// request never left is given up after the lease; once the request left,
// the claim follows its outcome (shipped or failed) and is never taken over
// automatically: an interrupted one is settled by the order's page. Works
// the same on the file and on the shared store.
//
// Usage: store::Claims claims(db, shop, "ship");
//        store::Claim c = claims.take(order_id);
//        if (c.outcome != store::Claim::Ours) refuse(c.said);

#include <string>

#include "store/database.h"

namespace store {

struct Claim {
  enum Outcome { Ours, Held, Failed } outcome = Failed;
  std::string said;  // Held: who holds it ("二号台正在发货"); Failed: why the store could not answer
};

class Claims {
 public:
  Claims(Database& db, std::string shop, std::string kind)
      : m_db(db), m_shop(std::move(shop)), m_kind(std::move(kind)) {}

  Claim take(const std::string& order_id);
  // Within work on `db`: the claim's next state ("sent", "shipped",
  // "failed"), when this station holds it.
  bool mark(Database::Connection& db, const std::string& order_id, const char* state,
            std::string* why) {
    return move(db, &order_id, 0, state, why);
  }
  // The same for the order of journal entry `shipment_id`.
  bool mark_shipment(Database::Connection& db, std::int64_t shipment_id, const char* state,
                     std::string* why) {
    return move(db, nullptr, shipment_id, state, why);
  }

 private:
  bool move(Database::Connection& db, const std::string* order_id, std::int64_t shipment_id,
            const char* state, std::string* why);

  Database& m_db;
  std::string m_shop, m_kind;
};

}  // namespace store
