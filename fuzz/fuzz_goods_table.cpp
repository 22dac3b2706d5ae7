// The goods-table reader of an order's edit page on any response body, and
// the folding the archive searches with on any text.

#include <string>

#include "backoffice/goods_table.h"
#include "fuzz/support.h"
#include "store/text_fold.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const web::Text page = web::page_text(bytes);
  const auto lines = backoffice::goods_lines_of(page);
  // Each goods row is a "<tr" of the page, and each cell a piece of it.
  const web::Text lower = web::to_lower(page);
  std::size_t rows = 0;
  for (std::size_t at = 0; (at = lower.find("<tr", at)) != std::string::npos; ++at) ++rows;
  FUZZ_CHECK(lines.size() <= rows);
  for (const auto& l : lines)
    for (const std::string* cell : {&l.goods, &l.quantity, &l.unit_price, &l.line_total})
      FUZZ_CHECK(page.find(*cell) != std::string::npos);

  // A text always contains its own folded form once folded.
  const std::string utf8 = web::gbk_to_utf8(page);
  const std::string folded = store::fold_text(utf8);
  FUZZ_CHECK(store::folded_contains(folded, utf8));
  FUZZ_CHECK(store::fold_text(folded) == folded);
  return 0;
}
