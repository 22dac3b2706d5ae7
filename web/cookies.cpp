// Cookie text extraction and merging.
#include "web/cookies.h"

#include <algorithm>

namespace web {

Text parse_set_cookies(std::string_view header_block) {
  Text out;
  for (const Text& line : split_text(header_block, "\r\n")) {
    if (find_text(line, "Set-Cookie") == -1) continue;
    Text item;
    if (find_text(line, ";") == -1)
      item = trim_spaces(replace_text(line, "Set-Cookie:", "", 1, -1, false));
    else
      item = trim_spaces(text_between(line, "Set-Cookie:", ";"));
    out += item;
    out += "; ";
  }
  if (!out.empty()) out.resize(out.size() - 2);
  return out;
}

Text cookie_name(std::string_view item) {
  int eq = find_text(item, "=");
  return trim_spaces(eq == -1 ? item : item.substr(0, eq - 1));
}

Text dedupe_items(std::string_view text, std::string_view separator) {
  TextArray kept;
  for (Text& piece : split_text(text, separator))
    if (std::find(kept.begin(), kept.end(), piece) == kept.end()) kept.push_back(std::move(piece));
  Text out;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i) out.append(separator);
    out += kept[i];
  }
  return out;
}

Text merge_cookies(Text& kept, Text& fresh) {
  kept = remove_spaces(kept);
  fresh = remove_spaces(fresh);
  TextArray merged = split_text(fresh, ";");
  std::vector<Text> names;
  for (const Text& item : merged) names.push_back(cookie_name(item));
  for (const Text& item : split_text(kept, ";")) {
    Text name = cookie_name(item);
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    merged.push_back(item);
    names.push_back(std::move(name));
  }
  Text joined;
  for (const Text& item : merged) {
    if (item.size() >= 8 && item.compare(item.size() - 8, 8, "=deleted") == 0) continue;
    if (!joined.empty()) joined += "; ";
    joined += item;
  }
  kept = dedupe_items(joined, "; ");
  return kept;
}

Text header_value(std::string_view line) {
  int colon = find_text(line, ":");
  if (colon == -1) return {};
  return trim_spaces(line.substr(colon));
}

}  // namespace web
