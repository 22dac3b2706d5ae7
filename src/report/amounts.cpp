#include "report/amounts.h"

namespace report {

namespace {

// Stand-ins for the characters of an amount that are more than one byte.
constexpr char kYuanSign = 'Y';  // ¥ or ￥
constexpr char kYuanUnit = 'U';  // 元
constexpr char kOther = '\x01';  // any other character: never part of an amount

// The character at `at` as an amount reads it, and its length in bytes: full-
// width forms (U+FF01..U+FF5E) as their ASCII ones, so "１２.０５" reads as "12.05".
char wide_amount_char(std::string_view s, std::size_t at, std::size_t* length) {
  const auto c = static_cast<unsigned char>(s[at]);
  auto is = [&](std::string_view bytes) { return s.substr(at, bytes.size()) == bytes; };
  if (is("\xC2\xA5")) return *length = 2, kYuanSign;
  if (is("\xEF\xBF\xA5")) return *length = 3, kYuanSign;
  if (is("\xE5\x85\x83")) return *length = 3, kYuanUnit;
  if (c == 0xEF && at + 2 < s.size()) {
    const unsigned code = 0xF000u | ((static_cast<unsigned char>(s[at + 1]) & 0x3Fu) << 6) |
                          (static_cast<unsigned char>(s[at + 2]) & 0x3Fu);
    if (code >= 0xFF01 && code <= 0xFF5E) return *length = 3, static_cast<char>(code - 0xFF01 + 0x21);
  }
  while (at + *length < s.size() && (static_cast<unsigned char>(s[at + *length]) & 0xC0) == 0x80) ++*length;
  return kOther;
}

// Most amounts are ASCII: those bytes are read inline.
inline char amount_char(std::string_view s, std::size_t at, std::size_t* length) {
  *length = 1;
  if (static_cast<unsigned char>(s[at]) < 0x80) return s[at];
  return wide_amount_char(s, at, length);
}

}  // namespace

std::optional<std::int64_t> amount_fen(std::string_view s) {
  // One pass over the text, copying nothing: a report reads millions.
  std::size_t i = 0, length = 0;
  auto take = [&](char wanted) {
    if (i >= s.size() || amount_char(s, i, &length) != wanted) return false;
    i += length;
    return true;
  };
  auto blanks = [&] {
    while (take(' ') || take('\t')) {
    }
  };
  auto is_digit = [](char c) { return c >= '0' && c <= '9'; };

  blanks();
  bool negative = take('-');
  if (!negative) take('+');
  blanks();
  take(kYuanSign);
  blanks();
  if (!negative && take('-')) negative = true;  // "¥-3.00"

  std::int64_t yuan = 0;
  int digits = 0;
  for (char c; i < s.size() && (is_digit(c = amount_char(s, i, &length)) || c == ',');) {
    i += length;
    if (c == ',') continue;
    if (++digits > 15) return std::nullopt;
    yuan = yuan * 10 + (c - '0');
  }
  if (digits == 0) return std::nullopt;
  std::int64_t fen = yuan * 100;
  if (take('.'))
    for (int place = 0; i < s.size(); ++place) {
      const char c = amount_char(s, i, &length);
      if (!is_digit(c)) break;
      i += length;
      const int d = c - '0';
      if (place == 0) fen += d * 10;
      if (place == 1) fen += d;
      if (place == 2 && d >= 5) fen += 1;  // half up
    }
  blanks();
  take(kYuanUnit);
  blanks();
  if (i != s.size()) return std::nullopt;
  return negative ? -fen : fen;
}

std::string yuan_text(std::int64_t fen) {
  const bool negative = fen < 0;
  const std::uint64_t a = negative ? static_cast<std::uint64_t>(-(fen + 1)) + 1 : static_cast<std::uint64_t>(fen);
  std::string cents = std::to_string(a % 100);
  if (cents.size() < 2) cents.insert(0, "0");
  return (negative ? "-" : "") + std::to_string(a / 100) + "." + cents;
}

}  // namespace report
