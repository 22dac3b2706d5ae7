#pragma once
// How the order archive stores an order, shared by its writing
// (order_archive.cpp) and its searching (archive_search.cpp): the record's
// columns, the packed goods lines and states, the key that orders records by
// pay time, and reading a record back. Nothing outside the archive uses it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/civil_time.h"
#include "store/order_archive.h"
#include "store/statement.h"

struct sqlite3;

namespace store::archive_records {

// Goods lines and state changes are kept in one text each: fields split by
// the unit separator, entries by the record separator (neither occurs in a
// page's text; should one, it becomes a space).
inline constexpr char kField = '\x1f';
inline constexpr char kEntry = '\x1e';

// The record's columns 1..25 in table order, as named in the schema.
inline constexpr const char* kCellColumns =
    "order_no, member, store, total, paid, pay_time, state, order_id, goods, quantity, variant, "
    "unit_price, line_total, pay_amount, pay_method, pickup, message, consignee, phone, address, "
    "tracking_no, tracking_info, ship_status, spare, extra";

inline constexpr int kPayTime = 6, kState = 7, kOrderId = 8, kGoods = 9, kDetailFirst = 9,
              kDetailLast = 21, kListLast = 8;

// The key's lower bits: slots for the orders of one second.
inline constexpr int kSlotBits = 6;

std::string clean(std::string_view s);
std::vector<std::string> split(std::string_view s, char separator);
std::string pack_items(const std::vector<GoodsLine>& items);
std::vector<GoodsLine> unpack_items(std::string_view s);
// The same into `items`, reusing what it holds (a scan of many records).
void unpack_items_into(std::string_view s, std::vector<GoodsLine>& items);
std::string pack_states(const std::vector<ArchivedOrder::StateSeen>& states);
std::vector<ArchivedOrder::StateSeen> unpack_states(std::string_view s);
void unpack_states_into(std::string_view s, std::vector<ArchivedOrder::StateSeen>& states);

using store::civil_seconds;
using store::next_day;
// Where a record belongs by its pay time (first seen when unpaid).
std::int64_t base_key(const ArchivedOrder& o);

// "SELECT ... FROM archived_orders o JOIN shops s ... " as read_order reads it;
// `joined` adds the journal's shipment and the tracking answer, in the
// dialect of the file (`server` false) or of the shared server.
std::string make_select(bool joined, bool server = false);
// make_select(true, ...) for the connection's store, made once.
const std::string& select_columns(const Database::Connection& db);
ArchivedOrder read_order(const Statement& st);

// "INSERT INTO archived_orders (key, shop, <cells>, items, states,
// first_seen, last_seen[, searched]) VALUES (?, ...) " with `searched` on the
// server (which keeps the searched texts beside the record); `verb` is
// "INSERT" or "INSERT OR REPLACE", `tail` follows the values.
std::string insert_sql(const char* verb, bool server, const std::string& tail);
// The searched texts as the server's `searched` column holds them, joined by
// kField: a needle holding it is never searched for, so no hit spans two texts.
std::string searched_column(const SearchedTexts& texts);

// BEGIN IMMEDIATE: on the server, which locks rows only as they are written,
// also the lock that lets one station at a time write the archive (a free key
// is chosen before it is written).
bool begin_writing(Database::Connection& db, std::string* why);
// The cells as written: 商品 to 总价 left empty when they repeat the first line.
std::array<std::string, kArchivedColumns> stored_cells(const ArchivedOrder& o);

// The SQL functions searching uses (archive_match), on a connection.
void add_search_functions(sqlite3* connection);

}  // namespace store::archive_records
