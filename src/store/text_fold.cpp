#include "store/text_fold.h"

namespace store {

namespace {

// A byte that may start something fold_text changes: an ASCII capital, or
// the lead byte of U+3000 (E3 80 80) or of U+FF01..U+FF5E (EF BC xx, EF BD xx).
bool may_fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || c == 0xE3 || c == 0xEF;
}

}  // namespace

std::string fold_text(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c + ('a' - 'A'));
    } else if (c == 0xE3 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80 &&
               static_cast<unsigned char>(s[i + 2]) == 0x80) {
      out += ' ';
      i += 2;
    } else if (c == 0xEF && i + 2 < s.size()) {
      // U+FF01..U+FF5E: EF BC 81..BF, EF BD 80..9E; maps to U+0021..U+007E.
      const auto b1 = static_cast<unsigned char>(s[i + 1]);
      const auto b2 = static_cast<unsigned char>(s[i + 2]);
      int code = -1;
      if (b1 == 0xBC && b2 >= 0x81 && b2 <= 0xBF) code = 0xFF00 + (b2 - 0x80);
      if (b1 == 0xBD && b2 >= 0x80 && b2 <= 0x9E) code = 0xFF40 + (b2 - 0x80);
      if (code < 0) {
        out += s[i];
        continue;
      }
      char ascii = static_cast<char>(code - 0xFF00 + 0x20);
      if (ascii >= 'A' && ascii <= 'Z') ascii = static_cast<char>(ascii + ('a' - 'A'));
      out += ascii;
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool folded_contains(std::string_view needle, std::string_view text) {
  if (needle.empty()) return true;
  // A plain hit is a hit of the folded text too: nothing in it changes.
  if (text.find(needle) != std::string_view::npos) return true;
  bool foldable = false;
  for (char c : text)
    if (may_fold(static_cast<unsigned char>(c))) {
      foldable = true;
      break;
    }
  return foldable && fold_text(text).find(needle) != std::string::npos;
}

std::size_t utf8_length(std::string_view s) {
  std::size_t n = 0;
  for (char c : s)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace store
