#include "mall/form.h"

namespace mall {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string percent_decode(std::string_view text, bool plus_is_space) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size() && hex_digit(text[i + 1]) >= 0 &&
        hex_digit(text[i + 2]) >= 0) {
      out += static_cast<char>(hex_digit(text[i + 1]) * 16 + hex_digit(text[i + 2]));
      i += 2;
    } else if (c == '+' && plus_is_space) {
      out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> parse_form(std::string_view body) {
  std::vector<std::pair<std::string, std::string>> out;
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find('&', start);
    if (end == std::string_view::npos) end = body.size();
    const std::string_view field = body.substr(start, end - start);
    if (!field.empty()) {
      const std::size_t eq = field.find('=');
      if (eq == std::string_view::npos) {
        out.emplace_back(percent_decode(field), std::string());
      } else {
        out.emplace_back(percent_decode(field.substr(0, eq)), percent_decode(field.substr(eq + 1)));
      }
    }
    start = end + 1;
  }
  return out;
}

std::map<std::string, std::string> parse_query(std::string_view target) {
  std::map<std::string, std::string> out;
  const std::size_t q = target.find('?');
  if (q == std::string_view::npos) return out;
  std::string_view query = target.substr(q + 1);
  query = query.substr(0, query.find('#'));
  for (auto& [key, value] : parse_form(query)) out.emplace(std::move(key), std::move(value));
  return out;
}

std::string cookie_in_header(std::string_view header, std::string_view name) {
  std::size_t start = 0;
  while (start < header.size()) {
    std::size_t end = header.find(';', start);
    if (end == std::string_view::npos) end = header.size();
    std::string_view item = header.substr(start, end - start);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    const std::size_t eq = item.find('=');
    if (eq != std::string_view::npos && item.substr(0, eq) == name) {
      return std::string(item.substr(eq + 1));
    }
    start = end + 1;
  }
  return {};
}

}  // namespace mall
