#pragma once
// How a spreadsheet turns a cell value that is not text into text: numbers
// without a needless ".0", large integers whole, dates and times when the
// cell's number format is a date format.
//
// Usage: number_text("12345.0") == "12345"
//        date_text(45356.5, DateKind::DateTime) == "2024-03-05 12:00:00"

#include <string>
#include <string_view>

namespace exchange {

enum class DateKind { None, Date, Time, DateTime };

// A stored number (as written in the file, e.g. "1.5E-3" or "12345") as text.
// An integer literal keeps every digit; text that is no number comes back as it is.
std::string number_text(std::string_view stored);
std::string number_text(double value);

// What a number format shows: a date, a time, both, or neither. `id` is the
// format's number; `code` its format code (empty for the built-in ones).
DateKind date_kind(int id, std::string_view code);

// A date serial number (days since 1899-12-30, or since 1904-01-01 when
// `base_1904`) as "yyyy-mm-dd", "hh:mm:ss" or "yyyy-mm-dd hh:mm:ss".
// Serials outside years 1900..9999 come back as plain numbers.
std::string date_text(double serial, DateKind kind, bool base_1904 = false);

// Decodes the "_xHHHH_" escapes spreadsheet files use for control characters.
std::string decode_escapes(std::string text);

}  // namespace exchange
