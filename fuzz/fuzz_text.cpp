// Text and URL helpers (web/text.h). The input is four zero-separated pieces:
// a text, a sought text, a replacement, and two bytes giving a start position
// and a count (or piece limit).

#include "fuzz/support.h"
#include "web/text.h"

namespace {

using web::Text;

// Length of the unit at byte i, as the helpers step: a byte of 0x80 or above
// and the byte after it, clipped at the end.
std::size_t unit(std::string_view t, std::size_t i) {
  return static_cast<unsigned char>(t[i]) >= 0x80 && i + 1 < t.size() ? 2 : 1;
}

// The first exact occurrence of `s` that begins on a unit at or after `start`.
int first_hit(std::string_view t, std::string_view s, int start) {
  if (start < 1) start = 1;
  for (std::size_t i = static_cast<std::size_t>(start) - 1; i < t.size(); i += unit(t, i))
    if (t.substr(i, s.size()) == s) return static_cast<int>(i + 1);
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto p = fuzz::pieces(data, size, 4);
  const Text& text = p[0];
  const Text& sought = p[1];
  const Text& replacement = p[2];
  const int start = p[3].size() > 0 ? static_cast<signed char>(p[3][0]) : 1;
  const int count = p[3].size() > 1 ? static_cast<signed char>(p[3][1]) : -1;

  // Searching: the hit is the first unit where the sought text really is.
  if (!sought.empty()) {
    FUZZ_CHECK(web::find_text(text, sought, start) == first_hit(text, sought, start));
    int folded = web::find_text(text, sought, start, /*ignore_case=*/true);
    if (folded != -1)
      FUZZ_CHECK(web::to_lower(text.substr(folded - 1, sought.size())) == web::to_lower(sought));
    int last = web::find_text_last(text, sought);
    FUZZ_CHECK(last == -1 || text.compare(last - 1, sought.size(), sought) == 0);
  }

  // Splitting loses nothing but a trailing separator.
  if (!sought.empty()) {
    auto pieces = web::split_text(text, sought);
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i) joined += sought;
      joined += pieces[i];
    }
    FUZZ_CHECK(joined == text || joined + sought == text);
    if (count > 0) FUZZ_CHECK(web::split_text(text, sought, count).size() <= std::size_t(count));
  }

  // Replacing a text by itself changes nothing; a text that is not there is not replaced.
  FUZZ_CHECK(web::replace_text(text, sought, sought, start, count) == text);
  (void)web::replace_text(text, sought, replacement, start, count, count & 1);
  if (!sought.empty() && web::find_text(text, sought) == -1)
    FUZZ_CHECK(web::replace_text(text, sought, replacement) == text);

  // A cut-out text is a piece of the text.
  Text between = web::text_between(text, sought, replacement, start, count & 1);
  FUZZ_CHECK(text.find(between) != Text::npos);

  // Decoding never grows a text and never yields a zero byte.
  Text decoded = web::url_decode(text);
  FUZZ_CHECK(decoded.size() <= text.size() && decoded.find('\0') == Text::npos);
  FUZZ_CHECK(web::page_text(text).find('\0') == Text::npos);

  // UTF-8 survives the trip through system text unchanged.
  if (fuzz::valid_utf8(text)) FUZZ_CHECK(web::gbk_to_utf8(web::utf8_to_gbk(text)) == text);

  // A form value holds only unreserved characters and escapes, and decodes
  // back to the text (as far as the text is valid GB18030).
  std::string encoded = web::form_encode(text);
  FUZZ_CHECK(encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                       "0123456789-._~%") == std::string::npos);
  FUZZ_CHECK(web::url_decode(encoded, true) == web::utf8_to_gbk(web::gbk_to_utf8(text)));

  // The rest only has to survive any input.
  (void)web::host_of_url(text, count & 1);
  (void)web::port_of_url(text);
  (void)web::path_of_url(text);
  (void)web::to_integer(text);
  (void)web::trim_spaces(text);
  (void)web::remove_spaces(text);
  (void)web::to_upper(text);
  (void)web::mid_text(text, start, count);
  FUZZ_CHECK(web::left_text(text, count).size() <= std::size_t(count < 0 ? 0 : count));
  FUZZ_CHECK(web::right_text(text, count).size() <= std::size_t(count < 0 ? 0 : count));
  return 0;
}
