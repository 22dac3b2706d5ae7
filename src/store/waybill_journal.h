#pragma once
// The waybill journal: one record per attempt to get an order's e-waybill
// (电子面单), written before the request leaves, so no order ever gets two
// waybills whatever fails. A record moves
//   sending -> ordered -> printed -> shipped,   or
//   sending -> failed (a definite refusal) | unknown (no readable answer),
// and ordered/printed/unknown -> cancelled. The database itself keeps at most
// one live record (sending, ordered, printed, shipped, unknown) per shop and
// order: a second begin() for an order that has one fails, also from another
// process. An unknown record is settled only by the merchant (resolve_number,
// resolve_none). Texts are UTF-8.
//
// Usage: store::WaybillJournal journal(db, shop);
//        if (auto live = journal.live(order_id)) reuse(*live);
//        auto record = journal.begin(order_id, order_no, "kuaidi100", "yuantong", &error);
//        ... journal.finish_ordered(record->id, fields, raw, &error);

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"

namespace store {

// What the provider said about the waybill, kept for its label and its cancel.
struct WaybillFields {
  std::string number, task_id, courier_order, big_pen, package_name, package_code, sorting_code;
};

struct WaybillRecord {
  std::int64_t id = 0;
  std::string shop, order_id, order_no, provider, courier;
  int attempt = 1;
  std::string state;  // sending | ordered | printed | shipped | failed | unknown | cancelled
  WaybillFields waybill;
  std::string message;           // why it failed, is unknown or was cancelled
  std::string raw;               // the provider's last answer, as it came
  std::string label;             // what the label shows besides the waybill (JSON), for a reprint
  std::string created, updated;  // local time with UTC offset
};

class WaybillJournal {
 public:
  WaybillJournal(Database& db, std::string shop) : m_db(db), m_shop(std::move(shop)) {}

  // The order's live record: sending, ordered, printed, shipped or unknown.
  std::optional<WaybillRecord> live(const std::string& order_id);
  // Records an attempt about to be sent (state sending, the next attempt
  // number). Nothing, with `error`, when the order has a live record already
  // or the file cannot be written: then nothing may be sent.
  // `elsewhere` (when given) tells that another station holds the order's
  // live record; `error` then names it ("二号台正在取号").
  std::optional<WaybillRecord> begin(const std::string& order_id, const std::string& order_no,
                                     const std::string& provider, const std::string& courier,
                                     std::string* error, bool* elsewhere = nullptr);
  bool finish_ordered(std::int64_t id, const WaybillFields& waybill, const std::string& raw,
                      std::string* error);
  bool finish_failed(std::int64_t id, const std::string& message, const std::string& raw,
                     std::string* error);
  bool finish_unknown(std::int64_t id, const std::string& message, const std::string& raw,
                      std::string* error);
  // ordered -> printed -> shipped; ordered/printed/unknown -> cancelled (`message` the reason).
  bool set_state(std::int64_t id, const std::string& state, std::string* error,
                 const std::string& message = {});
  // Keeps what the record's label shows, so a reprint needs no request.
  bool set_label(std::int64_t id, const std::string& label_json, std::string* error);
  // The merchant settles an unknown waybill: the number found in the
  // provider's own back office (it becomes ordered), or none was made (it
  // becomes failed, so a new attempt may go). False with `error` when the
  // order has no unknown waybill.
  bool resolve_number(const std::string& order_id, const std::string& number, std::string* error);
  bool resolve_none(const std::string& order_id, std::string* error);
  // Attempts left sending by a process that ended (killed) become unknown;
  // how many. Run at start, before anything is ordered.
  int mark_interrupted(std::string* error);
  // Newest first; `state` empty for all.
  std::vector<WaybillRecord> entries(const std::string& state = {});

 private:
  std::string held_by_other(Database::Connection& db, const std::string& order_id, bool* elsewhere);
  bool update(std::int64_t id, const char* sql_tail, const std::vector<std::string>& values,
              std::string* error);

  Database& m_db;
  std::string m_shop;
};

}  // namespace store
