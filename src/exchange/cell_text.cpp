#include "exchange/cell_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace exchange {

namespace {

bool is_integer_literal(std::string_view s) {
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
  if (s.empty() || s.size() > 400) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string trim(std::string_view s) {
  while (!s.empty() &&
         (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return std::string(s);
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civil_from_days(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

}  // namespace

std::string number_text(std::string_view stored) {
  std::string s = trim(stored);
  if (is_integer_literal(s)) {
    bool negative = s[0] == '-';
    size_t start = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    size_t first = s.find_first_not_of('0', start);
    if (first == std::string::npos) return "0";
    std::string digits = negative ? "-" : "";
    digits.append(s, first);
    return digits;
  }
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return s;
  return number_text(v);
}

std::string number_text(double v) {
  if (!std::isfinite(v)) return {};
  char buf[64];
  if (v == std::floor(v) && std::fabs(v) < 1e15) {
    if (v == 0) return "0";  // also -0
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
  }
  if (v == std::floor(v) && std::fabs(v) < 1e21) {
    // Whole, with the 15 significant digits a spreadsheet keeps, then zeros.
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
    std::string mantissa(buf, 16);  // d.dddddddddddddd
    int exponent = std::atoi(buf + 17);
    std::string digits = mantissa.substr(0, 1) + mantissa.substr(2);
    digits.resize(static_cast<size_t>(exponent) + 1, '0');
    return (v < 0 ? "-" : "") + digits;
  }
  std::snprintf(buf, sizeof buf, "%.15g", v);
  std::string out = buf;
  size_t e = out.find('e');
  if (e != std::string::npos) out[e] = 'E';
  return out;
}

DateKind date_kind(int id, std::string_view code) {
  if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) ||
      (id >= 50 && id <= 58))
    return DateKind::Date;
  if ((id >= 18 && id <= 21) || (id >= 32 && id <= 33) || (id >= 45 && id <= 47))
    return DateKind::Time;
  if (id == 22) return DateKind::DateTime;
  if (id < 164) return DateKind::None;  // the other built-in formats are not dates

  bool day = false, month_or_minute = false, hour = false, second = false;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == ';') break;  // the first section decides
    if (c == '"') {
      size_t close = code.find('"', i + 1);
      if (close == std::string_view::npos) break;
      i = close;
      continue;
    }
    if (c == '\\' || c == '_' || c == '*') {
      ++i;
      continue;
    }
    if (c == '[') {
      size_t close = code.find(']', i + 1);
      if (close == std::string_view::npos) break;
      std::string_view inner = code.substr(i + 1, close - i - 1);
      if (!inner.empty() && (inner[0] == 'h' || inner[0] == 'H')) hour = true;
      if (!inner.empty() && (inner[0] == 's' || inner[0] == 'S')) second = true;
      i = close;
      continue;
    }
    switch (c | 0x20) {
      case 'y':
      case 'd':
        day = true;
        break;
      case 'm':
        month_or_minute = true;
        break;
      case 'h':
        hour = true;
        break;
      case 's':
        second = true;
        break;
      default:
        break;
    }
  }
  bool time = hour || second;
  bool date = day || (month_or_minute && !time);
  if (date && time) return DateKind::DateTime;
  if (date) return DateKind::Date;
  if (time) return DateKind::Time;
  return DateKind::None;
}

std::string date_text(double serial, DateKind kind, bool base_1904) {
  if (kind == DateKind::None || !std::isfinite(serial) || serial < 0 || serial > 2958466)
    return number_text(serial);
  long long days = static_cast<long long>(std::floor(serial));
  long long seconds = std::llround((serial - static_cast<double>(days)) * 86400.0);
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  int y = 1900, m = 2, d = 29;  // serial 60 is the spreadsheet's fictitious 1900-02-29
  if (base_1904) days += 1462;
  if (base_1904 || days != 60) {
    // Serials count from 1899-12-31 up to the fictitious leap day, from 1899-12-30 after it.
    long long from_1899_12_30 = (!base_1904 && days < 60) ? days + 1 : days;
    civil_from_days(from_1899_12_30 - 25569, y, m, d);
  }
  char date[32], time[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, d);
  std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  if (kind == DateKind::Date) return date;
  if (kind == DateKind::Time) return time;
  return std::string(date) + " " + time;
}

std::string decode_escapes(std::string text) {
  size_t pos = text.find("_x");
  if (pos == std::string::npos) return text;
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (i + 7 <= text.size() && text[i] == '_' && text[i + 1] == 'x' && text[i + 6] == '_') {
      int a = hex(text[i + 2]), b = hex(text[i + 3]), c = hex(text[i + 4]), d = hex(text[i + 5]);
      if (a >= 0 && b >= 0 && c >= 0 && d >= 0) {
        unsigned code = static_cast<unsigned>((a << 12) | (b << 8) | (c << 4) | d);
        // A zero byte would end the text; drop it.
        if (code == 0) {
        } else if (code < 0x80) {
          out += static_cast<char>(code);
        } else if (code < 0x800) {
          out += static_cast<char>(0xC0 | (code >> 6));
          out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code >= 0xD800 && code <= 0xDFFF) {
          out += "\xEF\xBF\xBD";
        } else {
          out += static_cast<char>(0xE0 | (code >> 12));
          out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (code & 0x3F));
        }
        i += 7;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

}  // namespace exchange
