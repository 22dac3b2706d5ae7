#pragma once
// Text primitives of the system. A Text is a byte string in GB18030 (identical
// to GBK for every GBK character). Positions are 1-based byte positions, -1
// means "not found", and searches step over double-byte characters so a match
// never begins on a trail byte. None of these functions fails: out-of-range
// input gives the empty text, -1 or 0.
//
// Usage: Text page = page_text(http_request(url));
//        Text token = text_between(page, "csrf-token\" content=\"", "\">");

#include <string>
#include <string_view>
#include <vector>

namespace web {

using Text = std::string;   // GB18030 bytes, never holds a zero byte
using Bytes = std::string;  // raw bytes, may hold zero bytes
using TextArray = std::vector<Text>;

int find_text(std::string_view text, std::string_view sought, int start = 1,
              bool ignore_case = false);
int find_text_last(std::string_view text, std::string_view sought);
int text_length(std::string_view text);
Text left_text(std::string_view text, int n);
Text right_text(std::string_view text, int n);
Text mid_text(std::string_view text, int start, int n);
Text to_lower(std::string_view text);
Text to_upper(std::string_view text);
Text trim_spaces(std::string_view text);
Text remove_spaces(std::string_view text);
// count < 0 means every occurrence.
Text replace_text(std::string_view text, std::string_view sought, std::string_view replacement = {},
                  int start = 1, int count = -1, bool case_sensitive = true);
// max_pieces < 0 means unlimited.
TextArray split_text(std::string_view text, std::string_view separator, int max_pieces = -1);
Text bytes_to_text(std::string_view bytes);
Bytes text_to_bytes(std::string_view text);
Text char_of_code(int n);
long long to_integer(std::string_view text);

inline Text concat_text(std::initializer_list<std::string_view> parts) {
  Text out;
  for (auto p : parts) out.append(p);
  return out;
}

Text text_between(std::string_view text, std::string_view left, std::string_view right,
                  int start = 1, bool ignore_case = false);
Text url_decode(std::string_view text, bool utf8 = false);

// Charset conversion. utf8_to_gbk loses no character (GB18030 holds all of
// Unicode); invalid UTF-8 becomes U+FFFD. gbk_to_utf8 is its inverse.
Text utf8_to_gbk(std::string_view utf8);
std::string gbk_to_utf8(std::string_view text);
// A UTF-8 source literal as system text: gbk("销售中：").
inline Text gbk(std::string_view utf8_literal) {
  return utf8_to_gbk(utf8_literal);
}

Text host_of_url(std::string_view url, bool with_port = false);
int port_of_url(std::string_view url);
Text path_of_url(std::string_view url);
// A URL on a host as the settings name one: "https://host[:port]" keeps its
// scheme (TLS), a bare "host[:port]" is plain HTTP. `path` starts with "/".
Text site_url(std::string_view host, std::string_view path);

// A response body as page text: bytes_to_text, then url_decode with utf8 set.
Text page_text(std::string_view body);

// A form or query value percent-encoded as UTF-8. Letters, digits and "-._~"
// stay as they are, so such values come out byte-identical to the raw text.
std::string form_encode(std::string_view text);

}  // namespace web
