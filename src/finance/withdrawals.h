#pragma once
// Withdrawals: the withdrawable balance from the back office's withdrawal form
// and the list of paid withdrawals shown on the 账户提现 page.
//
// The program sends no withdrawal request: 发起申请 checks the amount typed
// and says where the request is made.
//
// Usage: finance::fetch_withdrawable_amount(ctx);   // 按钮15 and tab changes, UI thread
//        ctx.form.start_worker([&] { finance::list_paid_withdrawals(ctx); });   // 按钮9
//        finance::request_withdrawal(ctx);          // 按钮10

#include <vector>

#include "core/context.h"
#include "web/text.h"

namespace finance {

using web::Text;

// One paid withdrawal as the back office lists it.
struct PaidWithdrawal {
  Text number;
  Text amount;
  Text time;
  Text operator_name;
};

// The value of the input right after the 可提现金额 label of the withdrawal
// form page (page text); the empty text when the page lacks it.
Text read_withdrawable_amount(const Text& page);
// Every paid withdrawal of the list page (page text), in page order.
std::vector<PaidWithdrawal> read_paid_withdrawals(const Text& page);

// Sets 编辑框10 to the withdrawable amount.
void fetch_withdrawable_amount(app::Context& ctx);
// Replaces the rows of 超级列表框2 with the paid withdrawals, numbered from 1
// (worker thread). Each listing replaces the previous one.
void list_paid_withdrawals(app::Context& ctx);

// What is wrong with `typed` (编辑框11) as an amount to withdraw: none typed,
// not a whole number of yuan, not a multiple of 100, more than `withdrawable`
// (编辑框10, when it holds an amount). The empty text when nothing is.
Text withdrawal_amount_problem(const Text& typed, const Text& withdrawable);
// 发起申请: a message saying what is wrong with the amount, or, when nothing
// is, that the request is made on the back office's withdrawal page.
void request_withdrawal(app::Context& ctx);

}  // namespace finance
