// weihe-cli list: one order list fetched by its own operation, optionally its
// details, printed as JSON lines or TSV, or exported as the window exports it.
#include <functional>
#include <map>

#include "core/columns.h"
#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "exchange/export.h"

namespace cli {

std::string state_text(const std::string& choice) {
  if (choice == "unpaid") return "待付款";
  if (choice == "to-ship") return "待发货";
  if (choice == "to-receive") return "待收货";
  return {};
}

std::string tagged_with_shop(std::string object_line, const SessionOptions& session) {
  if (!session.all_shops) return object_line;
  return with_member(std::move(object_line), "shop", session.shop);
}

bool fetch_order_list(Session& session, const std::string& state) {
  struct Fetch {
    std::function<void(app::Context&)> run;
    const char* count_label;  // the dashboard's figure for that list
  };
  static const std::map<std::string, Fetch> fetches = {
      {"unpaid", {backoffice::fetch_unpaid_orders, "标签3"}},
      {"to-ship", {backoffice::fetch_orders_to_ship, "标签4"}},
      {"to-receive", {backoffice::fetch_orders_to_receive, "标签5"}},
      {"all", {backoffice::fetch_all_orders, "标签6"}}};
  const auto fetch = fetches.find(state);
  if (fetch == fetches.end()) return false;
  CliForm& form = session.form();
  fetch->second.run(session.ctx());
  // The login just counted orders in this list: an empty table means the
  // page did not come (no answer, an error, the login form again).
  if (form.row_count(app::kOrderList) == 0 &&
      web::to_integer(form.text(fetch->second.count_label)) > 0) {
    form.say("订单列表没有取到：后台没有给出列表页（登录过期或连不上），请再试", true);
    return false;
  }
  return true;
}

int run_list(const SessionOptions& options, const ListOptions& list) {
  if (list.format == "xlsx" && list.output.empty()) {
    std::fprintf(stderr, "weihe-cli list: --format xlsx needs -o FILE\n");
    return kUsage;
  }

  auto session = logged_in_session(options);
  if (!session) return kFailed;
  app::Context& ctx = session->ctx();
  CliForm& form = session->form();
  if (!fetch_order_list(*session, list.state)) return kFailed;
  if (list.details) backoffice::fetch_order_details(ctx);
  // A page cut short was said; what came is still printed, but not as a success.
  const bool complete = web::find_text(form.log(), web::gbk("不完整")) == -1;

  if (list.format == "xlsx") {
    form.answer_save_path(web::utf8_to_gbk(list.output));
    exchange::export_orders(ctx);
    return form.was_shown(web::gbk("导出成功！")) && complete ? kDone : kFailed;
  }
  Output out(list.output);
  const auto columns = app::order_columns();
  if (list.format == "tsv") out.line(tsv_header(columns));
  for (const app::OrderRow& row : form.rows(app::kOrderList)) {
    if (list.format == "tsv") {
      out.line(tsv_row(columns, row));
    } else if (list.details) {
      out.line(tagged_with_shop(
          with_member(row_json_line(columns, row), "items",
                      items_json_of_system_text(app::goods_lines_of_row(ctx.goods_lines, row))),
          options));
    } else {
      out.line(tagged_with_shop(row_json_line(columns, row), options));
    }
  }
  const int written = finish_output(out, form);
  return written == kDone && !complete ? kFailed : written;
}

}  // namespace cli
