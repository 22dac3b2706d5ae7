#include "finance/withdrawals.h"

#include <charconv>
#include <optional>
#include <string>

#include "web/http.h"
#include "web/pattern_matcher.h"

namespace finance {

using web::gbk;

namespace {

// The label, one line feed, 24 spaces, then the input whose value is the amount.
const Text& amount_left_marker() {
  static const Text marker =
      gbk("可提现金额</label>\n") + std::string(24, ' ') + "<input type=\"text\" value=\"";
  return marker;
}
constexpr std::string_view kAmountRightMarker = "\" class=\"form-control\">";

// Four single-line cells, each match ending on the next row's "<td>".
constexpr std::string_view kWithdrawalRowPattern =
    "<td>(.*?)</td>[\\S\\s]+?<td>(.*?)</td>[\\S\\s]+?<td>(.*?)</td>[\\S\\s]+?<td>(.*?)</td>"
    "[\\S\\s]+?<td>";

// The hint the amount box starts with: no amount yet.
constexpr const char* kAmountHint = "必须是100的整倍数";

// An amount in yuan as the back office or the merchant writes it ("1,234.50",
// "300", "¥300.00"); nothing for anything else.
std::optional<double> yuan_of(const Text& text) {
  std::string digits;
  for (char c : web::trim_spaces(text))
    if (c != ',') digits += c;
  if (digits.compare(0, gbk("¥").size(), gbk("¥")) == 0) digits.erase(0, gbk("¥").size());
  if (digits.empty() || digits.find_first_not_of("0123456789.") != std::string::npos)
    return std::nullopt;
  double value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace

Text read_withdrawable_amount(const Text& page) {
  return web::text_between(page, amount_left_marker(), kAmountRightMarker);
}

std::vector<PaidWithdrawal> read_paid_withdrawals(const Text& page) {
  web::PatternMatcher matcher;
  std::vector<PaidWithdrawal> rows;
  if (!matcher.run(Text(kWithdrawalRowPattern), page, /*case_sensitive=*/false,
                   /*multiline=*/true, /*global=*/true))
    return rows;
  const int n = matcher.match_count();
  rows.reserve(n > 0 ? n : 0);
  for (int j = 1; j <= n; ++j)
    rows.push_back({matcher.submatch(j, 1), matcher.submatch(j, 2), matcher.submatch(j, 3),
                    matcher.submatch(j, 4)});
  return rows;
}

void fetch_withdrawable_amount(app::Context& ctx) {
  web::HttpOutcome outcome;
  const web::Bytes body =
      app::wait_for_request(ctx, ctx.backoffice_url("/withdraw-cash/add"), 0, {}, &outcome);
  // A failed request leaves the amount shown as it was, and says so.
  if (const Text failure = web::failure_of(body, outcome); !failure.empty()) {
    ctx.form.show_failure(failure + web::gbk("，可提现金额没有更新"));
    return;
  }
  ctx.form.set_text("编辑框10", read_withdrawable_amount(web::page_text(body)));
}

void list_paid_withdrawals(app::Context& ctx) {
  web::HttpOutcome outcome;
  const web::Bytes body = web::http_request(ctx.backoffice_url("/withdraw-cash/list?state=1"), 0,
                                            {}, nullptr, nullptr, nullptr, nullptr, false, nullptr,
                                            {}, &outcome, ctx.http);
  // A failed request keeps the listing there is, and says so.
  if (const Text failure = web::failure_of(body, outcome); !failure.empty()) {
    const Text said = failure + web::gbk("，提现记录未更新");
    ctx.form.append_log(said + "\r\n");
    ctx.form.show_failure(said);
    return;
  }
  const std::vector<PaidWithdrawal> found = read_paid_withdrawals(web::page_text(body));

  // One step replaces the earlier listing, so two runs (even overlapping ones)
  // never show a withdrawal twice.
  std::vector<app::OrderRow> rows;
  rows.reserve(found.size());
  for (std::size_t i = 0; i < found.size(); ++i) {
    const PaidWithdrawal& w = found[i];
    rows.push_back({std::to_string(i + 1), w.number, w.amount, w.time, w.operator_name, Text()});
  }
  ctx.form.replace_rows(app::kWithdrawalList, rows);
  if (!rows.empty())
    ctx.form.scroll_to_row(app::kWithdrawalList, static_cast<int>(rows.size()) - 1);
}

Text withdrawal_amount_problem(const Text& typed, const Text& withdrawable) {
  const Text amount = web::trim_spaces(typed);
  if (amount.empty() || amount == gbk(kAmountHint))
    return gbk("请先在“输入金额”里填上要提现的金额（100的整倍数）");
  const std::optional<double> yuan = yuan_of(amount);
  if (!yuan || *yuan != static_cast<double>(static_cast<long long>(*yuan)))
    return gbk("提现金额“") + amount + gbk("”不是整数元，请填100的整倍数，如 300");
  if (*yuan <= 0 || static_cast<long long>(*yuan) % 100 != 0)
    return gbk("提现金额必须是100的整倍数，“") + amount + gbk("”不是");
  if (const std::optional<double> most = yuan_of(withdrawable); most && *yuan > *most)
    return gbk("提现金额") + amount + gbk("元超过了可提现金额") + web::trim_spaces(withdrawable) +
           gbk("元");
  return {};
}

void request_withdrawal(app::Context& ctx) {
  const Text amount = web::trim_spaces(ctx.form.text("编辑框11"));
  const Text problem = withdrawal_amount_problem(amount, ctx.form.text("编辑框10"));
  ctx.form.message_box(problem.empty()
                           ? gbk("本软件不代为提交提现申请：请到蔚禾商城后台的提现页面申请提现") +
                                 amount + gbk("元（可提现金额和提现记录可以在这里查看）")
                           : problem);
}

}  // namespace finance
