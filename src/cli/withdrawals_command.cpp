// weihe-cli withdrawals: the withdrawable amount and the paid withdrawals, as
// the 账户提现 page shows them.
#include "core/columns.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "finance/withdrawals.h"

namespace cli {

int run_withdrawals(const SessionOptions& options, const WithdrawalOptions& format) {
  auto session = logged_in_session(options);
  if (!session) return kFailed;
  app::Context& ctx = session->ctx();
  CliForm& form = session->form();

  finance::fetch_withdrawable_amount(ctx);
  finance::list_paid_withdrawals(ctx);
  const app::Text amount = form.text("编辑框10");
  // The paid list without its empty 操作 column.
  const auto columns = app::withdrawal_columns().first(5);

  Output out("");
  if (format.format == "tsv") {
    out.line(tsv_line({"withdrawable", web::gbk_to_utf8(amount)}));
    out.line(tsv_header(columns));
  } else {
    out.line(json_line({{"withdrawable", json_text(amount)}}));
  }
  for (const app::OrderRow& row : form.rows(app::kWithdrawalList))
    out.line(format.format == "tsv" ? tsv_row(columns, row) : row_json_line(columns, row));
  return finish_output(out, form);
}

}  // namespace cli
