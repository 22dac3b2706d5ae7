#include "web/markup.h"

#include <cctype>
#include <string>

namespace web {

namespace {

bool opens_tag(std::string_view s, std::size_t at) {
  if (at + 1 >= s.size()) return false;
  const unsigned char next = static_cast<unsigned char>(s[at + 1]);
  return std::isalpha(next) || next == '/' || next == '!' || next == '?';
}

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character a reference's name (between "&" and ";") stands for; 0 for none.
char32_t referenced(std::string_view name) {
  if (name == "amp") return U'&';
  if (name == "lt") return U'<';
  if (name == "gt") return U'>';
  if (name == "quot") return U'"';
  if (name == "apos") return U'\'';
  if (name == "nbsp") return U' ';  // shown as the space it looks like
  if (name.size() < 2 || name[0] != '#') return 0;
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return 0;
  char32_t c = 0;
  for (char d : digits) {
    const int v = std::isdigit(static_cast<unsigned char>(d)) ? d - '0'
                  : hex && std::isxdigit(static_cast<unsigned char>(d))
                      ? std::tolower(static_cast<unsigned char>(d)) - 'a' + 10
                      : -1;
    if (v < 0) return 0;
    c = c * (hex ? 16 : 10) + static_cast<char32_t>(v);
  }
  // No NUL (a Text never holds one), no surrogate halves, nothing past Unicode.
  if (c == 0 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0;
  return c;
}

}  // namespace

Text without_markup(std::string_view text) {
  if (text.find_first_of("<&") == std::string_view::npos) return Text(text);
  // In UTF-8, where every byte below 0x80 is the character it looks like.
  const std::string utf8 = gbk_to_utf8(text);
  std::string untagged;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '<' && opens_tag(utf8, i)) {
      const std::size_t close = utf8.find('>', i);
      if (close != std::string::npos) {
        i = close;
        continue;
      }
    }
    untagged += utf8[i];
  }
  std::string out;
  for (std::size_t i = 0; i < untagged.size(); ++i) {
    if (untagged[i] == '&') {
      const std::size_t end = untagged.find(';', i + 1);
      if (end != std::string::npos && end - i <= 10) {
        if (const char32_t c = referenced(std::string_view(untagged).substr(i + 1, end - i - 1))) {
          append_utf8(out, c);
          i = end;
          continue;
        }
      }
    }
    out += untagged[i];
  }
  return utf8_to_gbk(out);
}

}  // namespace web
