#pragma once
// The shipping journal: every shipment is recorded before its request goes
// out (outcome "unknown") and completed with its outcome when the answer
// comes, each step its own transaction. A process killed in between leaves
// the entry "unknown", never half a record. Texts are UTF-8.
//
// Usage: store::ShippingJournal journal(db);
//        auto id = journal.begin(entry, &error);      // before the POST
//        journal.finish(*id, true, "操作成功", 200, &error);

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "store/claims.h"
#include "store/database.h"

namespace store {

struct Shipment {
  std::int64_t id = 0;
  std::string time;   // when it was begun, local time with UTC offset
  std::string batch;  // empty for one order shipped on its own
  std::string order_id, order_no, courier, tracking_no, sender_id;
  std::string outcome = "unknown";  // unknown | shipped | failed
  std::string message;              // the back office's message
  std::optional<int> http_status;
  std::string station;  // who sent it
};

// A shop's journal: `shop` is the archive's name of it ("account@host");
// every entry it writes and every question it answers is that shop's.
class ShippingJournal {
 public:
  explicit ShippingJournal(Database& db, std::string shop = {})
      : m_db(db), m_shop(std::move(shop)), m_claims(db, m_shop, "ship") {}

  // Takes the order for this station before its shipment is recorded and
  // sent (store/claims.h); begin() marks the claim sent, the outcome settles it.
  Claim claim(const std::string& order_id) { return m_claims.take(order_id); }

  // Records `s` as about to be sent (time set here); its id, or nothing with `error`.
  std::optional<std::int64_t> begin(const Shipment& s, std::string* error);
  bool finish(std::int64_t id, bool shipped, const std::string& message,
              std::optional<int> http_status, std::string* error);
  // The same for a batch: the completions are held and written in one
  // transaction with the next begin(), before that shipment's request goes
  // out, so a batch pays about one commit per shipment, also while several
  // shipments are out at once. flush() (or the journal's
  // end) writes what is still held. A process killed in between leaves the
  // entry "unknown".
  void finish_soon(std::int64_t id, bool shipped, const std::string& message,
                   std::optional<int> http_status);
  void flush();
  ~ShippingJournal() { flush(); }
  ShippingJournal(const ShippingJournal&) = delete;
  ShippingJournal& operator=(const ShippingJournal&) = delete;

  // Settles an entry by what was seen afterwards (the order's page): its
  // outcome ("shipped", "failed", or "unknown" still) and what was seen.
  bool settle(std::int64_t id, const std::string& outcome, const std::string& message,
              std::string* error);

  // The order's latest successful shipment, if any.
  std::optional<Shipment> last_shipped(const std::string& order_id);
  // The courier of the order's latest successful shipment; empty when none.
  std::string courier_of(const std::string& order_id);
  // Order ids with a shipment of that outcome.
  std::set<std::string> order_ids(const std::string& outcome);
  // Order id -> the other station whose shipment of it was shipped or is
  // still unknown (the latest such), on a store the stations share.
  std::map<std::string, std::string> other_stations();
  // Tracking number -> the order id it was shipped with.
  std::map<std::string, std::string> shipped_numbers();
  // Newest first; `since` a date "YYYY-MM-DD" (empty: all), `outcome` empty for all.
  std::vector<Shipment> entries(const std::string& since = {}, const std::string& outcome = {});
  // Unknown entries not told about yet, marked as told.
  std::vector<Shipment> take_unreported_unknown();

 private:
  Database& m_db;
  std::string m_shop;
  Claims m_claims;
  std::vector<Database::Work> m_held;  // completions waiting for the next begin()
};

// A batch id: the local time and a random part, "20261208-173000-3f9a".
std::string new_batch_id();

}  // namespace store
