#pragma once
// The form of a UTF-8 text that searches compare: full-width ASCII forms
// (Ａ, １, ＠) and the ideographic space become their half-width selves, and
// ASCII letters lower case, so "ＳＦ１２" finds "sf12". Other characters stay.
//
// Usage: if (folded_contains(store::fold_text(needle), cell)) ...

#include <string>
#include <string_view>

namespace store {

std::string fold_text(std::string_view utf8);
// Whether `text`, folded, contains `folded_needle` (already folded). Texts
// with nothing to fold are searched as they are.
bool folded_contains(std::string_view folded_needle, std::string_view text);
// The number of characters of a UTF-8 text.
std::size_t utf8_length(std::string_view utf8);

}  // namespace store
