// Cookie texts (web/cookies.h). The input is three zero-separated pieces: a
// response's header block, the kept cookie text and a newly set one.

#include <algorithm>

#include "fuzz/support.h"
#include "web/cookies.h"

namespace {

using web::Text;

bool ends_deleted(std::string_view item) {
  return item.size() >= 8 && item.substr(item.size() - 8) == "=deleted";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto p = fuzz::pieces(data, size, 3);
  const Text& block = p[0];

  // The cookies of a header block never carry a line break of the block
  // (that would glue the next header line into the Cookie header).
  Text set = web::parse_set_cookies(block);
  FUZZ_CHECK(set.find("\r\n") == Text::npos);
  if (block.find("Set-Cookie") == Text::npos) FUZZ_CHECK(set.empty());
  for (const Text& line : web::split_text(block, "\r\n")) {
    (void)web::header_value(line);
    (void)web::cookie_name(line);
  }

  Text kept = p[1], fresh = p[2];
  const Text merged = web::merge_cookies(kept, fresh);
  FUZZ_CHECK(merged == kept);
  FUZZ_CHECK(fresh == web::remove_spaces(p[2]));

  // A deleted cookie is not sent again.
  for (const Text& piece : web::split_text(merged, "; ")) FUZZ_CHECK(!ends_deleted(piece));

  // Every newly set cookie is sent, and so is the first kept cookie of each
  // name that was not newly set.
  std::vector<Text> names;
  for (const Text& item : web::split_text(web::remove_spaces(p[2]), ";")) {
    names.push_back(web::cookie_name(item));
    if (!item.empty() && !ends_deleted(item)) FUZZ_CHECK(web::find_text(merged, item) != -1);
  }
  for (const Text& item : web::split_text(web::remove_spaces(p[1]), ";")) {
    Text name = web::cookie_name(item);
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    names.push_back(name);
    if (!item.empty() && !ends_deleted(item)) FUZZ_CHECK(web::find_text(merged, item) != -1);
  }

  // Merging adds no line break of its own.
  if (p[1].find_first_of("\r\n") == Text::npos && p[2].find_first_of("\r\n") == Text::npos)
    FUZZ_CHECK(merged.find_first_of("\r\n") == Text::npos);
  return 0;
}
