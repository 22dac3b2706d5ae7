#include "store/tracking_replies.h"

#include "store/statement.h"

namespace store {

std::optional<StoredReply> TrackingReplies::recent(const std::string& tracking_no,
                                                   std::time_t since) {
  std::optional<StoredReply> found;
  std::string ignored;
  m_db.run(
      [&](Database::Connection& db, std::string*) {
        Statement st(db,
                     "SELECT courier, reply, fetched FROM tracking_replies "
                     "WHERE shop = ? AND tracking_no = ? AND answered = 1 AND fetched >= ?");
        st.bind(1, m_shop);
        st.bind(2, tracking_no);
        st.bind(3, static_cast<std::int64_t>(since));
        if (st.step() == SQLITE_ROW) found = StoredReply{st.text(0), st.text(1), st.id(2)};
        return true;
      },
      &ignored);
  return found;
}

bool TrackingReplies::remember(const std::string& tracking_no, const std::string& courier,
                               const std::string& reply, bool readable, std::time_t when,
                               std::string* error) {
  return m_db.run(
      [&](Database::Connection& db, std::string* why) {
        Statement st(db,
                     "INSERT INTO tracking_replies (tracking_no, courier, reply, answered, fetched, shop) "
                     "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT (shop, tracking_no) DO UPDATE SET "
                     "courier = excluded.courier, reply = excluded.reply, "
                     "answered = excluded.answered, fetched = excluded.fetched");
        if (!st.ok()) return *why = db.error(), false;
        st.bind(1, tracking_no);
        st.bind(2, courier);
        st.bind(3, reply);
        st.bind(4, static_cast<std::int64_t>(readable ? 1 : 0));
        st.bind(5, static_cast<std::int64_t>(when));
        st.bind(6, m_shop);
        if (st.step() != SQLITE_DONE) return *why = st.error(), false;
        return true;
      },
      error);
}

}  // namespace store
