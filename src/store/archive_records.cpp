#include "store/archive_records.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace store::archive_records {

std::string clean(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == kField || c == kEntry) c = ' ';
  return out;
}

std::vector<std::string> split(std::string_view s, char separator) {
  std::vector<std::string> parts;
  if (s.empty()) return parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = s.find(separator, start);
    parts.emplace_back(s.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::string pack_items(const std::vector<GoodsLine>& items) {
  std::string out;
  for (const GoodsLine& l : items) {
    if (!out.empty()) out += kEntry;
    for (const std::string* f : {&l.goods, &l.quantity, &l.variant, &l.unit_price})
      out += clean(*f) + kField;
    out += clean(l.line_total);
  }
  return out;
}

std::vector<GoodsLine> unpack_items(std::string_view s) {
  std::vector<GoodsLine> items;
  for (const std::string& entry : split(s, kEntry)) {
    std::vector<std::string> f = split(entry, kField);
    f.resize(5);
    items.push_back({f[0], f[1], f[2], f[3], f[4]});
  }
  return items;
}

std::string pack_states(const std::vector<ArchivedOrder::StateSeen>& states) {
  std::string out;
  for (const auto& s : states) {
    if (!out.empty()) out += kEntry;
    out += clean(s.state) + kField + std::to_string(s.seen);
  }
  return out;
}

std::vector<ArchivedOrder::StateSeen> unpack_states(std::string_view s) {
  std::vector<ArchivedOrder::StateSeen> states;
  for (const std::string& entry : split(s, kEntry)) {
    std::vector<std::string> f = split(entry, kField);
    f.resize(2);
    states.push_back({f[0], std::strtoll(f[1].c_str(), nullptr, 10)});
  }
  return states;
}

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

// "2026-03-05 14:02:09" (the time may be shorter or missing) as seconds of
// the local calendar; nothing when it is no such time.
std::optional<std::int64_t> civil_seconds(std::string_view t) {
  auto number = [&](std::size_t at, std::size_t n) -> int {
    if (t.size() < at + n) return -1;
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
      if (t[i] < '0' || t[i] > '9') return -1;
      v = v * 10 + (t[i] - '0');
    }
    return v;
  };
  const int y = number(0, 4), m = number(5, 2), d = number(8, 2);
  if (y < 0 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  const int h = std::max(number(11, 2), 0), mi = std::max(number(14, 2), 0),
            s = std::max(number(17, 2), 0);
  return days_from_civil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) * 86400 +
         h * 3600 + mi * 60 + s;
}

namespace {

std::int64_t local_civil_seconds(std::int64_t unix_time) {
  const auto t = static_cast<std::time_t>(unix_time);
  std::tm local{};
  localtime_r(&t, &local);
  return days_from_civil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                         static_cast<unsigned>(local.tm_mday)) *
             86400 +
         local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

}  // namespace

// The key's upper part: the pay time, or first seen for an unpaid order; the
// lower bits spread orders of the same second (more than 64 in one second,
// say a list of unpaid orders first seen together, move on into the next
// second's slots). Keys stay dense, so the index's
// lists of keys, stored as differences, stay small.
std::int64_t base_key(const ArchivedOrder& o) {
  const std::int64_t seconds =
      civil_seconds(o.cells[kPayTime]).value_or(local_civil_seconds(o.first_seen));
  std::uint32_t h = 2166136261u;
  for (unsigned char c : o.cells[kOrderId]) h = (h ^ c) * 16777619u;
  return (std::max<std::int64_t>(seconds, 0) << kSlotBits) | (h & ((1u << kSlotBits) - 1));
}

// The record's columns as read_order takes them; `joined` adds the journal's
// shipment and the tracking answer (a write needs neither).
std::string make_select(bool joined) {
  std::string prefixed;
  for (const std::string& c : split(kCellColumns, ',')) {
    std::string name = c;
    while (!name.empty() && name.front() == ' ') name.erase(0, 1);
    prefixed += "o." + name + ", ";
  }
  const std::string extras =
      joined ? "(SELECT courier || char(31) || coalesce(finished, time) FROM shipments j "
               " WHERE j.order_id = o.order_id AND j.outcome = 'shipped' ORDER BY j.id DESC LIMIT 1), "
               "(SELECT reply FROM tracking_replies r WHERE r.tracking_no = o.tracking_no "
               " AND o.tracking_no <> '') "
             : "'', '' ";
  return "SELECT o.key, s.name, " + prefixed + "o.items, o.states, o.first_seen, o.last_seen, " +
         extras + "FROM archived_orders o JOIN shops s ON s.id = o.shop ";
}

const std::string& select_columns() {
  static const std::string sql = make_select(true);
  return sql;
}

namespace {

// The first goods line as columns 商品 to 总价 hold it.
std::array<std::string, 5> first_line(const GoodsLine& l) {
  return {l.goods, l.quantity, l.variant, l.unit_price, l.line_total};
}

}  // namespace

// A record's cells as stored: 商品 to 总价 left empty when they are the first
// goods line (read_order puts them back).
std::array<std::string, kArchivedColumns> stored_cells(const ArchivedOrder& o) {
  std::array<std::string, kArchivedColumns> cells = o.cells;
  if (!o.items.empty() &&
      std::equal(cells.begin() + kGoods, cells.begin() + kGoods + 5, first_line(o.items[0]).begin()))
    std::fill(cells.begin() + kGoods, cells.begin() + kGoods + 5, std::string());
  return cells;
}

ArchivedOrder read_order(const Statement& st) {
  ArchivedOrder o;
  o.key = st.id(0);
  o.shop = st.text(1);
  for (int c = 1; c < kArchivedColumns; ++c) o.cells[c] = st.text(1 + c);
  o.items = unpack_items(st.text(27));
  if (!o.items.empty() && std::all_of(o.cells.begin() + kGoods, o.cells.begin() + kGoods + 5,
                                      [](const std::string& c) { return c.empty(); })) {
    const auto line = first_line(o.items[0]);
    std::copy(line.begin(), line.end(), o.cells.begin() + kGoods);
  }
  o.states = unpack_states(st.text(28));
  o.first_seen = st.id(29);
  o.last_seen = st.id(30);
  const std::vector<std::string> shipped = split(st.text(31), kField);
  if (shipped.size() == 2) {
    o.shipped_courier = shipped[0];
    o.shipped_time = shipped[1];
  }
  o.tracking_reply = st.text(32);
  return o;
}

// "2026-03-31" -> "2026-04-01": the first date after it (dates compare as text).
std::string next_day(const std::string& date) {
  const auto s = civil_seconds(date);
  if (!s) return date;
  std::int64_t days = *s / 86400 + 1;
  // civil_from_days
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(y + (m <= 2)), m, d);
  return text;
}

}  // namespace store::archive_records
