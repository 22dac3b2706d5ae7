// weihe-cli list: one order list fetched by its own operation, optionally its
// details, printed as JSON lines or TSV, or exported as the window exports it.
#include <functional>
#include <map>

#include "app/core/columns.h"
#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "exchange/export.h"

namespace cli {

int run_list(const SessionOptions& options, const ListOptions& list) {
  const std::map<std::string, std::function<void(app::Context&)>> fetches = {
      {"unpaid", backoffice::fetch_unpaid_orders},
      {"to-ship", backoffice::fetch_orders_to_ship},
      {"to-receive", backoffice::fetch_orders_to_receive},
      {"all", backoffice::fetch_all_orders}};
  const auto fetch = fetches.find(list.state);
  if (fetch == fetches.end()) return kUsage;
  if (list.format == "xlsx" && list.output.empty()) {
    std::fprintf(stderr, "weihe-cli list: --format xlsx needs -o FILE\n");
    return kUsage;
  }

  auto session = logged_in_session(options);
  if (!session) return kFailed;
  app::Context& ctx = session->ctx();
  CliForm& form = session->form();
  fetch->second(ctx);
  if (list.details) backoffice::fetch_order_details(ctx);

  if (list.format == "xlsx") {
    form.answer_save_path(web::utf8_to_gbk(list.output));
    exchange::export_orders(ctx);
    return form.was_shown(web::gbk("导出成功！")) ? kDone : kFailed;
  }
  Output out(list.output);
  const auto columns = app::order_columns();
  if (list.format == "tsv") out.line(tsv_header(columns));
  for (const app::OrderRow& row : form.rows(app::kOrderList))
    out.line(list.format == "tsv" ? tsv_row(columns, row) : row_json_line(columns, row));
  return finish_output(out, form);
}

}  // namespace cli
