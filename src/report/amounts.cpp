#include "report/amounts.h"

#include <cctype>

namespace report {

namespace {

// Full-width digits, comma, point and minus as their ASCII forms; the other
// bytes as they are. Into a buffer kept per thread: a report reads millions.
std::string& ascii_forms(std::string_view s) {
  thread_local std::string out;
  out.clear();
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == 0xEF && i + 2 < s.size()) {  // U+FF01..U+FF5E: EF BC 81 .. EF BD 9E
      const auto b1 = static_cast<unsigned char>(s[i + 1]), b2 = static_cast<unsigned char>(s[i + 2]);
      const unsigned code = 0xF000u | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
      if (code >= 0xFF01 && code <= 0xFF5E) {
        out += static_cast<char>(code - 0xFF01 + 0x21);
        i += 3;
        continue;
      }
    }
    out += s[i++];
  }
  return out;
}

bool strip_prefix(std::string& s, std::string_view p) {
  if (s.compare(0, p.size(), p) != 0) return false;
  s.erase(0, p.size());
  return true;
}

void trim(std::string& s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(0, 1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
}

}  // namespace

std::optional<std::int64_t> amount_fen(std::string_view utf8) {
  // Most amounts are plain ("128.00", "¥71.60"): read those as they are.
  if (utf8.find('\xEF') == std::string_view::npos && utf8.find('\xE5') == std::string_view::npos &&
      utf8.find(',') == std::string_view::npos) {
    std::string_view p = utf8;
    if (p.substr(0, 2) == "\xC2\xA5") p.remove_prefix(2);  // ¥
    std::int64_t yuan = 0, fen = 0;
    std::size_t i = 0;
    while (i < p.size() && i < 15 && p[i] >= '0' && p[i] <= '9') yuan = yuan * 10 + (p[i++] - '0');
    if (i > 0 && i < 15) {
      int places = 0;
      if (i < p.size() && p[i] == '.')
        for (++i; i < p.size() && places < 2 && p[i] >= '0' && p[i] <= '9'; ++places) fen = fen * 10 + (p[i++] - '0');
      if (i == p.size()) return yuan * 100 + (places == 1 ? fen * 10 : fen);
    }
  }
  std::string& s = ascii_forms(utf8);
  trim(s);
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.erase(0, 1);
    trim(s);
  }
  strip_prefix(s, "\xC2\xA5") || strip_prefix(s, "\xEF\xBF\xA5");  // ¥ ￥
  trim(s);
  if (s.size() >= 3 && s.compare(s.size() - 3, 3, "\xE5\x85\x83") == 0) s.resize(s.size() - 3);  // 元
  trim(s);
  if (!s.empty() && s[0] == '-' && !negative) {  // "¥-3.00"
    negative = true;
    s.erase(0, 1);
  }
  std::int64_t yuan = 0;
  int digits = 0;
  std::size_t i = 0;
  for (; i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == ','); ++i) {
    if (s[i] == ',') continue;
    if (++digits > 15) return std::nullopt;
    yuan = yuan * 10 + (s[i] - '0');
  }
  if (digits == 0) return std::nullopt;
  std::int64_t fen = yuan * 100;
  if (i < s.size() && s[i] == '.') {
    ++i;
    int place = 0;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i, ++place) {
      const int d = s[i] - '0';
      if (place == 0) fen += d * 10;
      if (place == 1) fen += d;
      if (place == 2 && d >= 5) fen += 1;
    }
  }
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
