#include "store/civil_time.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace store {

std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::string date_of_day(std::int64_t days) {
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

std::int64_t local_civil_seconds(std::int64_t unix_time) {
  const auto t = static_cast<std::time_t>(unix_time);
  std::tm local{};
  localtime_r(&t, &local);
  return days_from_civil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                         static_cast<unsigned>(local.tm_mday)) *
             86400 +
         local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

std::string next_day(const std::string& date) {
  const auto s = civil_seconds(date);
  return s ? date_of_day(*s / 86400 + 1) : date;
}

}  // namespace store
