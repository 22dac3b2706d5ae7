// The back office page readers on any response body: the order list, an
// order's edit page, the login and dashboard pages, the withdrawal pages.

#include <algorithm>
#include <string>

#include "backoffice/dashboard.h"
#include "backoffice/detail_page.h"
#include "backoffice/order_rows.h"
#include "finance/withdrawals.h"
#include "fuzz/support.h"

namespace {

using web::Text;

// A captured cell: one line ("." stops at a line feed) and, when the page
// converts without loss, a piece of the page itself.
void check_cell(const Text& page, bool lossless, const Text& cell) {
  FUZZ_CHECK(cell.find('\n') == Text::npos);
  if (lossless) FUZZ_CHECK(page.find(cell) != Text::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text page = web::page_text(std::string_view(reinterpret_cast<const char*>(data), size));
  FUZZ_CHECK(page.find('\0') == Text::npos);
  const bool lossless = web::utf8_to_gbk(web::gbk_to_utf8(page)) == page;

  // One matcher per pattern, kept between inputs: each compiles its pattern once.
  static web::PatternMatcher row_matcher, detail_matcher;
  const auto rows = backoffice::order_rows_of(page, row_matcher);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    FUZZ_CHECK(rows[i].size() == app::kColId + 1);
    FUZZ_CHECK(rows[i][app::kColSerial] == std::to_string(i + 1));
    for (int c = 1; c <= app::kColId; ++c) check_cell(page, lossless, rows[i][c]);
  }

  if (auto groups = backoffice::order_detail_of(page, detail_matcher)) {
    FUZZ_CHECK(groups->size() == backoffice::kDetailGroups);
    for (const Text& g : *groups) check_cell(page, lossless, g);
  }

  // Figures and names cut between markers are pieces of the page.
  const backoffice::Dashboard d = backoffice::dashboard_of(page);
  for (const Text* t :
       {&d.unpaid_orders, &d.orders_to_ship, &d.orders_to_receive, &d.all_orders, &d.goods_on_sale,
        &d.goods_taken_down, &d.goods_in_review, &d.goods_in_warehouse, &d.store_name})
    FUZZ_CHECK(page.find(*t) != Text::npos);
  const Text token = backoffice::csrf_token_of(page);
  FUZZ_CHECK(page.find(token) != Text::npos);
  FUZZ_CHECK(page.find(backoffice::logo_path_of(page)) != Text::npos);
  (void)backoffice::is_logged_in(page);

  // Whatever the page holds, the login form keeps its four separators.
  const Text body = backoffice::login_body(token, d.store_name, d.all_orders);
  FUZZ_CHECK(std::count(body.begin(), body.end(), '&') == 4);

  FUZZ_CHECK(page.find(finance::read_withdrawable_amount(page)) != Text::npos);
  for (const finance::PaidWithdrawal& w : finance::read_paid_withdrawals(page))
    for (const Text* t : {&w.number, &w.amount, &w.time, &w.operator_name})
      check_cell(page, lossless, *t);
  return 0;
}
