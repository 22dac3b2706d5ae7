#include "store/claims.h"

#include <chrono>

#include "store/statement.h"

namespace store {

namespace {

// Who holds a claim, as the merchant reads it.
std::string holder_text(const std::string& station, std::string_view state, const std::string& kind) {
  const char* act = kind == "waybill" ? "取号" : "发货";
  if (state == "shipped") return "已由" + station + act;
  return station + "正在" + act;
}

}  // namespace

Claim Claims::take(const std::string& order_id) {
  Claim claim;
  const std::string station = m_db.station();
  using namespace std::chrono;
  const std::int64_t now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  const std::int64_t expired = now - std::int64_t{m_db.claim_lease()} * 1000;
  std::string why;
  const bool answered = m_db.run(
      [&](Database::Connection& db, std::string* error) {
        // Free, failed, this station's own (unless its request is out), or
        // claimed by another whose request never left within the lease.
        Statement st(db,
                     "INSERT INTO claims (shop, kind, order_id, station, state, since) "
                     "VALUES (?1, ?2, ?3, ?4, 'claimed', ?5) "
                     "ON CONFLICT (shop, kind, order_id) DO UPDATE SET station = excluded.station, "
                     "state = 'claimed', since = excluded.since "
                     "WHERE claims.state = 'failed' "
                     "OR (claims.station = excluded.station AND claims.state <> 'sent') "
                     "OR (claims.state = 'claimed' AND claims.since < ?6) "
                     "RETURNING station");
        st.bind(1, m_shop);
        st.bind(2, m_kind);
        st.bind(3, order_id);
        st.bind(4, station);
        st.bind(5, now);
        st.bind(6, expired);
        const int rc = st.step();
        if (rc == SQLITE_ROW) {
          claim.outcome = Claim::Ours;
          return true;
        }
        if (rc != SQLITE_DONE) return *error = st.error(), false;
        Statement holder(db, "SELECT station, state FROM claims WHERE shop = ? AND kind = ? AND order_id = ?");
        holder.bind(1, m_shop);
        holder.bind(2, m_kind);
        holder.bind(3, order_id);
        if (holder.step() != SQLITE_ROW) return *error = holder.error(), false;
        claim.outcome = Claim::Held;
        claim.said = holder_text(holder.text(0), holder.view(1), m_kind);
        return true;
      },
      &why);
  if (!answered) {
    claim.outcome = Claim::Failed;
    claim.said = why;
  }
  return claim;
}

bool Claims::move(Database::Connection& db, const std::string* order_id, std::int64_t shipment_id,
                  const char* state, std::string* why) {
  // The order named, or the one of the journal entry, in the one statement.
  Statement st(db,
               "UPDATE claims SET state = ?1 WHERE shop = ?2 AND kind = ?3 AND station = ?4 AND "
               "order_id = coalesce(?5, (SELECT order_id FROM shipments WHERE id = ?6))");
  const std::string station = m_db.station();
  st.bind(1, state);
  st.bind(2, m_shop);
  st.bind(3, m_kind);
  st.bind(4, station);
  if (order_id)
    st.bind(5, *order_id);
  else
    st.bind(5, std::optional<int>());
  st.bind(6, shipment_id);
  return st.step() == SQLITE_DONE || (*why = st.error(), false);
}

}  // namespace store
