// Byte-oriented text primitives over GB18030 text. A byte of 0x80 or above
// starts a double-byte unit (a four-byte GB18030 character is two such units),
// so scanning by units never starts a match on a trail byte.
#include <algorithm>
#include <climits>

#include "web/text.h"

namespace web {
namespace {

constexpr unsigned char kFullWidthSpace = 0xA1;

// Length in bytes of the unit starting at byte index i (1 or 2, clipped at the end).
inline size_t unit_length(std::string_view t, size_t i) {
  if (static_cast<unsigned char>(t[i]) >= 0x80 && i + 1 < t.size()) return 2;
  return 1;
}

inline char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

inline bool matches_at(std::string_view t, size_t i, std::string_view s, bool ignore_case) {
  if (i + s.size() > t.size()) return false;
  if (!ignore_case) return t.compare(i, s.size(), s) == 0;
  // Only single-byte letters fold: a double-byte character whose trail byte
  // happens to be a letter must match exactly, or it would be another character.
  for (size_t k = 0; k < s.size();) {
    if (static_cast<unsigned char>(s[k]) >= 0x80 && k + 1 < s.size()) {
      if (t[i + k] != s[k] || t[i + k + 1] != s[k + 1]) return false;
      k += 2;
    } else {
      if (fold(t[i + k]) != fold(s[k])) return false;
      ++k;
    }
  }
  return true;
}

// Number of bytes of the space unit starting at i (ASCII or full-width), 0 if none.
inline size_t space_at(std::string_view t, size_t i) {
  if (t[i] == ' ') return 1;
  if (static_cast<unsigned char>(t[i]) == kFullWidthSpace && i + 1 < t.size() &&
      static_cast<unsigned char>(t[i + 1]) == kFullWidthSpace)
    return 2;
  return 0;
}

Text change_case(std::string_view text, bool lower) {
  Text out(text);
  for (size_t i = 0; i < out.size();) {
    size_t n = unit_length(out, i);
    if (n == 1) {
      char c = out[i];
      if (lower && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
      if (!lower && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
    }
    i += n;
  }
  return out;
}

}  // namespace

int find_text(std::string_view text, std::string_view sought, int start, bool ignore_case) {
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > text.size()) return -1;
  if (sought.empty()) return 1;
  for (size_t i = start - 1; i < text.size(); i += unit_length(text, i)) {
    if (matches_at(text, i, sought, ignore_case)) return static_cast<int>(i + 1);
    if (text.size() - i < sought.size()) break;
  }
  return -1;
}

int find_text_last(std::string_view text, std::string_view sought) {
  if (text.empty()) return -1;
  if (sought.empty()) return 1;
  int last = -1;
  for (size_t i = 0; i + sought.size() <= text.size(); i += unit_length(text, i))
    if (matches_at(text, i, sought, false)) last = static_cast<int>(i + 1);
  return last;
}

int text_length(std::string_view text) {
  return static_cast<int>(text.size());
}

Text left_text(std::string_view text, int n) {
  if (n <= 0) return {};
  return Text(text.substr(0, static_cast<size_t>(n)));
}

Text right_text(std::string_view text, int n) {
  if (n <= 0) return {};
  size_t k = std::min(text.size(), static_cast<size_t>(n));
  return Text(text.substr(text.size() - k));
}

Text mid_text(std::string_view text, int start, int n) {
  if (n <= 0 || start < 1 || static_cast<size_t>(start) > text.size()) return {};
  return Text(text.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(n)));
}

Text to_lower(std::string_view text) {
  return change_case(text, true);
}
Text to_upper(std::string_view text) {
  return change_case(text, false);
}

Text trim_spaces(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    size_t n = space_at(text, begin);
    if (n == 0) break;
    begin += n;
  }
  // Walk forward by units so a trailing 0xA1 0xA1 is only taken as a space
  // when it really is one character, not the tail of another.
  size_t end = begin;
  for (size_t i = begin; i < text.size();) {
    size_t n = unit_length(text, i);
    if (space_at(text, i) == 0) end = i + n;
    i += n;
  }
  return Text(text.substr(begin, end - begin));
}

Text remove_spaces(std::string_view text) {
  Text out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t s = space_at(text, i);
    if (s) {
      i += s;
      continue;
    }
    size_t n = unit_length(text, i);
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

Text replace_text(std::string_view text, std::string_view sought, std::string_view replacement,
                  int start, int count, bool case_sensitive) {
  if (text.empty() || sought.empty()) return Text(text);
  if (start < 1) start = 1;
  size_t from = std::min(text.size(), static_cast<size_t>(start) - 1);
  Text out(text.substr(0, from));
  out.reserve(text.size());
  int made = 0;
  size_t i = from;
  while (i < text.size()) {
    if ((count < 0 || made < count) && matches_at(text, i, sought, !case_sensitive)) {
      out.append(replacement);
      i += sought.size();
      ++made;
      continue;
    }
    if (count >= 0 && made >= count) {
      out.append(text.substr(i));
      break;
    }
    size_t n = unit_length(text, i);
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

TextArray split_text(std::string_view text, std::string_view separator, int max_pieces) {
  TextArray pieces;
  if (text.empty() || max_pieces == 0) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  int pos = 1;
  while (static_cast<size_t>(pos) <= text.size()) {
    if (max_pieces > 0 && static_cast<int>(pieces.size()) >= max_pieces) return pieces;
    int q = find_text(text, separator, pos);
    if (q == -1) {
      pieces.emplace_back(text.substr(pos - 1));
      return pieces;
    }
    pieces.emplace_back(text.substr(pos - 1, q - pos));
    pos = q + static_cast<int>(separator.size());
  }
  return pieces;
}

Text bytes_to_text(std::string_view bytes) {
  return Text(bytes.substr(0, std::min(bytes.size(), bytes.find('\0'))));
}

Bytes text_to_bytes(std::string_view text) {
  return Bytes(text);
}

Text char_of_code(int n) {
  char c = static_cast<char>(n & 0xFF);
  if (c == 0) return {};
  return Text(1, c);
}

long long to_integer(std::string_view text) {
  // Full-width forms (0xA3 0xA1..0xFE) become their ASCII counterparts and the
  // full-width space becomes a space, so "１２３" reads as 123.
  std::string half;
  half.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    size_t n = unit_length(text, i);
    auto b0 = static_cast<unsigned char>(text[i]);
    if (n == 2) {
      auto b1 = static_cast<unsigned char>(text[i + 1]);
      if (b0 == 0xA3 && b1 >= 0xA1 && b1 <= 0xFE)
        half.push_back(static_cast<char>(b1 - 0x80));
      else if (b0 == 0xA1 && b1 == 0xA1)
        half.push_back(' ');
      else
        half.append(text.substr(i, 2));
    } else {
      half.push_back(text[i]);
    }
    i += n;
  }
  size_t i = 0;
  while (i < half.size() && half[i] == ' ') ++i;
  bool negative = false;
  if (i < half.size() && (half[i] == '+' || half[i] == '-')) negative = half[i++] == '-';
  long long value = 0;
  for (; i < half.size() && half[i] >= '0' && half[i] <= '9'; ++i) {
    int d = half[i] - '0';
    if (value > (LLONG_MAX - d) / 10) {  // saturate instead of overflowing
      value = LLONG_MAX;
      break;
    }
    value = value * 10 + d;
  }
  return negative ? -value : value;
}

}  // namespace web
