#pragma once
// Reading form bodies, query strings and cookie headers as the stand-in mall
// receives them.
//
// Usage: for (auto& [key, value] : mall::parse_form(req.body)) ...;
//        std::string id = mall::parse_query("/order/edit?id=7")["id"];

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mall {

// "%" followed by two hexadecimal digits becomes that byte; with
// `plus_is_space` a "+" becomes a space. Anything else, including a "%" that
// does not start such a triple, stays as it is.
std::string percent_decode(std::string_view text, bool plus_is_space = true);

// "a=1&b=2" as decoded key/value pairs in their order; a field without "="
// has an empty value.
std::vector<std::pair<std::string, std::string>> parse_form(std::string_view body);

// The query of a request target ("/path?x=1&y=2"); the first value of a key wins.
std::map<std::string, std::string> parse_query(std::string_view target);

// The value of cookie `name` in a Cookie header ("a=1; b=2"), or "".
std::string cookie_in_header(std::string_view header, std::string_view name);

}  // namespace mall
