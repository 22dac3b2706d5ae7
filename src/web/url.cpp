// Marker extraction, percent-decoding and encoding, and URL splitting.
#include <cstring>

#include "web/text.h"

namespace web {
namespace {

// "#引号" in a marker stands for a double quote.
const Text& quote_marker() {
  static const Text marker = gbk("#引号");
  return marker;
}

inline int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

Text text_between(std::string_view text, std::string_view left, std::string_view right, int start,
                  bool ignore_case) {
  Text l = replace_text(left, quote_marker(), "\"");
  Text r = replace_text(right, quote_marker(), "\"");
  int p = find_text(text, l, start, ignore_case);
  if (p == -1) return {};
  p += static_cast<int>(l.size());
  int q = find_text(text, r, p, ignore_case);
  if (q == -1) return {};
  return mid_text(text, p, q - p);
}

Text url_decode(std::string_view text, bool utf8) {
  Text out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const void* hit = std::memchr(text.data() + i, '%', text.size() - i);
    size_t pct = hit ? static_cast<const char*>(hit) - text.data() : text.size();
    out.append(text.substr(i, pct - i));
    if (pct == text.size()) break;
    // Only "%" and two hexadecimal digits is an escape; any other "%" is a
    // literal percent sign ("100%", "width:100%") and is kept as it is.
    int hi = pct + 2 < text.size() ? hex_value(text[pct + 1]) : -1;
    int lo = hi >= 0 ? hex_value(text[pct + 2]) : -1;
    if (hi >= 0 && lo >= 0) {
      char c = static_cast<char>(hi * 16 + lo);
      if (c != 0) out.push_back(c);  // "%00" would end the text, so it yields nothing
      i = pct + 3;
    } else {
      out.push_back('%');
      i = pct + 1;
    }
  }
  return utf8 ? utf8_to_gbk(out) : out;
}

Text page_text(std::string_view body) {
  return url_decode(bytes_to_text(body), true);
}

std::string form_encode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string utf8 = gbk_to_utf8(text);
  std::string out;
  out.reserve(utf8.size() * 3);
  for (unsigned char c : utf8) {
    bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                c == '-' || c == '.' || c == '_' || c == '~';
    if (keep) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

Text host_of_url(std::string_view url, bool with_port) {
  Text u = to_lower(url);
  if (u.empty() || u.back() != '/') u.push_back('/');
  Text h;
  if (u.compare(0, 8, "https://") == 0) {
    h = text_between(u, "https://", "/");
  } else {
    if (find_text(u, "http://") == -1) u.insert(0, "http://");
    h = text_between(u, "http://", "/");
  }
  if (with_port) return h;
  int colon = find_text(h, ":");
  return colon == -1 ? h : left_text(h, colon - 1);
}

int port_of_url(std::string_view url) {
  Text h = host_of_url(url, true);
  int k = find_text_last(h, ":");
  if (k == -1) return to_lower(left_text(url, 5)) == "https" ? 443 : 80;
  return static_cast<int>(to_integer(std::string_view(h).substr(k)));
}

Text path_of_url(std::string_view url) {
  Text h = host_of_url(url);
  int a = find_text(url, h, 1, true);
  int b = a == -1 ? -1 : find_text(url, "/", a, true);
  if (b == -1) return "/";
  return Text(url.substr(b - 1));
}

Text site_url(std::string_view host, std::string_view path) {
  if (to_lower(left_text(host, 8)) == "https://") return Text(host) + Text(path);
  return "http://" + Text(host) + Text(path);
}

}  // namespace web
