#pragma once
// Cookie texts ("a=1; b=2", the form a Cookie request header takes): what a
// response's Set-Cookie lines set, and merging newly set cookies into a kept
// text so a caller can carry its own session between requests.
//
// Usage: Text set = parse_set_cookies(raw_header_block);
//        merge_cookies(kept, set);   // kept now holds the merged cookie text

#include "web/text.h"

namespace web {

// The name=value part of every line containing "Set-Cookie", in order, joined by "; ".
Text parse_set_cookies(std::string_view header_block);
// Newly set cookies first, then kept ones whose name is not among them; items
// ending in "=deleted" are dropped. Both arguments lose their spaces; the
// result is also stored in `kept`.
Text merge_cookies(Text& kept, Text& fresh);
// The text before the first "=", trimmed (the whole item when there is none).
Text cookie_name(std::string_view item);
// The pieces of `text` in order with exact repeats removed.
Text dedupe_items(std::string_view text, std::string_view separator);
// The trimmed text after the first ":" of a header line; empty without one.
Text header_value(std::string_view line);

}  // namespace web
