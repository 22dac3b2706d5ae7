// Cookie text extraction and merging.
#include "web/cookies.h"

#include <algorithm>

namespace web {

// A header block is split by bytes, never by double-byte characters: header
// values are the server's raw bytes, and a value ending in the lead byte of a
// multi-byte character must not swallow the CR LF after it (and with it glue
// the next header line into the cookie).
Text parse_set_cookies(std::string_view header_block) {
  constexpr std::string_view kLabel = "Set-Cookie:";
  Text out;
  while (!header_block.empty()) {
    const size_t end = header_block.find("\r\n");
    std::string_view line = header_block.substr(0, end);
    header_block.remove_prefix(end == std::string_view::npos ? header_block.size() : end + 2);
    if (line.find("Set-Cookie") == std::string_view::npos) continue;
    const size_t label = line.find(kLabel);
    std::string_view item;
    if (line.find(';') == std::string_view::npos) {
      item = label == std::string_view::npos ? line : line.substr(label + kLabel.size());
    } else if (label != std::string_view::npos) {
      item = line.substr(label + kLabel.size());
      item = item.substr(0, item.find(';'));
    }
    out += trim_spaces(item);
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
