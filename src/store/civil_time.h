#pragma once
// Times as the back office writes them ("2026-03-05 14:02:09", local time)
// counted as seconds and days of the calendar, so dates can be stepped and
// compared without a time zone: the archive's keys and the shop's figures
// both count this way.
//
// Usage: auto s = civil_seconds("2026-03-05 14:02");   // seconds since 1970-01-01 00:00
//        std::string d = date_of_day(*s / 86400 + 1);  // "2026-03-06"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace store {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d);
// "YYYY-MM-DD" of a day number.
std::string date_of_day(std::int64_t days);
// "2026-03-05 14:02:09" (the time may be shorter or missing) as seconds of
// the calendar; nothing when it is no such time.
std::optional<std::int64_t> civil_seconds(std::string_view t);
// A Unix time as seconds of the local calendar.
std::int64_t local_civil_seconds(std::int64_t unix_time);
// "2026-03-31" -> "2026-04-01": the first date after it (dates compare as text).
std::string next_day(const std::string& date);

}  // namespace store
