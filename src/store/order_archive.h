#pragma once
// The merchant's own record of every order the program has seen: one record
// per shop and order id, holding the order table's columns, every goods line,
// when it was first and last seen, and each change of state with the time it
// was seen. Kept in the program's database; texts are UTF-8.
//
// Searching: a folded copy of the searched texts (order number, ID, member,
// consignee, telephone, address, goods, message, tracking number) is indexed
// by SQLite's FTS5 trigram tokenizer. A text of three characters or more asks
// the index for candidates and checks each; one or two characters cannot be
// answered by trigrams and scan the records instead. Either way the newest
// pay time comes first: a record's key orders by pay time (first seen when
// unpaid), and both walk the keys downwards, stopping at the limit.
//
// Usage: store::OrderArchive archive(db);
//        archive.record(shop, rows, store::OrderArchive::Source::List, &error);
//        auto found = archive.search({.text = "张伟", .limit = 200}, &error);

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/goods_line.h"

namespace store {

inline constexpr int kArchivedColumns = 26;  // as the order table: 0 (序号) is not kept

struct ArchivedOrder {
  std::int64_t key = 0;  // orders by pay time; changes when the pay time does
  std::string shop;
  std::array<std::string, kArchivedColumns> cells;  // cells[8]: the order id
  std::vector<GoodsLine> items;
  std::int64_t first_seen = 0, last_seen = 0;  // Unix time
  struct StateSeen {
    std::string state;
    std::int64_t seen = 0;
    bool operator==(const StateSeen&) const = default;
  };
  std::vector<StateSeen> states;  // oldest first
  // The journal's latest successful shipment of the order, when there is
  // one, and the tracking service's last answer for its number (both kept
  // where they are and joined when read).
  std::string shipped_courier, shipped_time;
  std::string tracking_reply;
};

// An order as an operation read it: the table's columns (missing ones empty)
// and, when the goods table was read, its lines.
struct OrderReading {
  std::vector<std::string> cells;
  std::optional<std::vector<GoodsLine>> items;
};

struct ArchiveQuery {
  std::string text;   // searched in the texts named above; empty: every order
  std::string state;  // the 状态 text exactly; empty: any
  std::string since, until;  // pay time from / through these dates, "YYYY-MM-DD"; empty: open
  std::string shop;          // empty: every shop
  int limit = 200;           // 0: no limit
};

// A paid order as the shop's figures read it (UTF-8): what it sold, to whom,
// when it was paid and shipped, and its parcel's last tracking answer.
struct PaidOrder {
  std::string order_id, order_no, member, paid, pay_time, state, tracking_no;
  std::vector<GoodsLine> items;  // every line, else the first as the columns hold it
  std::vector<ArchivedOrder::StateSeen> states;
  std::string shipped_time;      // the journal's first successful shipment; empty: none
  std::string tracking_reply;    // empty: never asked
  std::int64_t reply_fetched = 0;  // Unix time the answer came
};

class OrderArchive {
 public:
  explicit OrderArchive(Database& db);

  // What a reading may change of a record it finds:
  // List: columns 订单号 to ID as listed, a change of state recorded;
  // Detail: columns 商品 to 快递单号 and the goods lines (a reading without
  //   lines keeps those known); other columns only where empty;
  // Import: only what the record does not know yet.
  // A new order is recorded whole. Readings without an order id are skipped.
  enum class Source { List, Detail, Import };

  // Writes the readings in one transaction: all of them or none. `now` is
  // Unix time (0: the clock). Records changed or created, or nothing with `error`.
  std::optional<int> record(const std::string& shop, const std::vector<OrderReading>& readings,
                            Source source, std::string* error, std::int64_t now = 0);

  // On the database's reader connection: any thread, never holding up a
  // write; Database::interrupt_read() ends one early (with an error).
  std::vector<ArchivedOrder> search(const ArchiveQuery& query, std::string* error);
  // How many records the query finds without its limit.
  std::optional<std::int64_t> count(const ArchiveQuery& query, std::string* error);
  std::optional<ArchivedOrder> find(const std::string& shop, const std::string& order_id);
  // Every 状态 text the archive holds, in text order (a back office names its
  // own states). On the reader connection.
  std::vector<std::string> states(std::string* error);

  // Every order of `shop` (empty: every shop) paid from `since` through
  // `until` ("YYYY-MM-DD"), oldest pay time first, on the reader connection;
  // false with `error` when the archive cannot be read.
  bool for_each_paid(const std::string& shop, const std::string& since, const std::string& until,
                     const std::function<void(const PaidOrder&)>& visit, std::string* error);

  // Deletes the records paid before `date` ("YYYY-MM-DD"), or first seen
  // before it when unpaid; how many, or nothing with `error`.
  std::optional<std::int64_t> forget_before(const std::string& date, std::string* error);

 private:
  Database& m_db;
};

// Copies the records of `from`'s archive that `to` lacks (by shop and order
// id) into `to`, a file's or the server's, as they are: key, columns, goods
// lines, states, first and last seen. A key `to` already gives another order
// moves up to the next free one, as recording would. Records `to` holds are
// kept, so a second run copies nothing. Read and written in slices of a few
// thousand records, each slice one transaction of `to`. How many were
// copied, or nothing with `error` (slices written before the failure stay,
// and a run again goes on from there).
std::optional<std::int64_t> copy_archive(Database& from, Database& to, std::string* error);

// The folded texts a record is found by, as the index holds them: order
// number, ID, member, consignee, telephone, address, goods, message,
// tracking number.
using SearchedTexts = std::array<std::string, 9>;
SearchedTexts searched_texts(const ArchivedOrder& order);

}  // namespace store
