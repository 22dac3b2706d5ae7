// weihe-cli ship: the workbook imported as a drop on the window imports it,
// then the batch shipping of the window's "导入单号发货" entry, its question
// answered Yes (the tracking numbers come from that workbook). One JSON line
// per row says what became of it. The batch checks its rows first; rows it
// skips print with their reason (--with-warnings also sends the warned rows,
// --ship-all every row as listed).
// With --order, the one order (found in the all-orders list) goes through the
// window's "选中行发货" with the number in 编辑框14: refused, or asked about
// and answered No unless --force, with the reason and exit status 3.
#include <algorithm>

#include "cli/commands.h"
#include "cli/output.h"
#include "backoffice/order_lists.h"
#include "core/table_snapshot.h"
#include "fulfilment/batch_check.h"
#include "exchange/import.h"
#include "fulfilment/doubtful_shipments.h"
#include "fulfilment/shipping.h"

namespace cli {

using web::gbk;

namespace {

Json row_head(const app::OrderRow& row) {
  auto cell = [&row](int c) { return json_text(c < static_cast<int>(row.size()) ? row[c] : app::Text()); };
  return {{"id", cell(app::kColId)},
          {"order_no", cell(app::kColOrderNo)},
          {"tracking_no", cell(app::kColTrackingNo)}};
}

// The row's outcome from its 发货状态 cell as the batch left it.
Json row_result(const app::OrderRow& row) {
  Json line = row_head(row);
  const app::Text status = row.size() > app::kColShipStatus ? row[app::kColShipStatus] : app::Text();
  for (const char* marker : {"发货成功", "发货失败", "跳过：", "发货不明：", "没有发货："}) {
    const app::Text m = gbk(marker);
    if (status.compare(0, m.size(), m) != 0) continue;
    const app::Text rest = status.substr(m.size());
    if (m == gbk("跳过：") || m == gbk("没有发货：")) {
      // 没有发货: another station holds the order.
      line["result"] = m == gbk("跳过：") ? "skipped" : "refused";
      line["reason"] = json_text(rest);
    } else if (m == gbk("发货不明：")) {  // in doubt even after looking at the order's page
      line["result"] = "unknown";
      line["message"] = json_text(rest);
    } else {
      line["result"] = m == gbk("发货成功") ? "shipped" : "failed";
      line["reply"] = json_text(rest);
      line["message"] = json_text(fulfilment::reply_message(rest));
    }
    return line;
  }
  line["result"] = "skipped";
  line["reason"] = "批量发货在这一行之前停止了";
  return line;
}

// Courier and sender in the window's boxes, from the options or the back
// office; false (and said) when one is missing.
bool set_courier_and_sender(app::Context& ctx, CliForm& form, const ShipOptions& ship) {
  if (ship.courier) form.set_text("编辑框12", web::utf8_to_gbk(*ship.courier));
  if (ship.sender_id)
    form.set_text("编辑框13", web::utf8_to_gbk(*ship.sender_id));
  else
    fulfilment::fetch_from_address_id(ctx);
  const app::Text courier = form.text("编辑框12");
  const app::Text sender = form.text("编辑框13");
  if (!courier.empty() && !sender.empty()) return true;
  form.say(courier.empty() ? "没有发货快递：用 --courier 给出"
                           : "取不到发货地址ID：后台的发货地址页没有地址，或用 --sender-id 给出",
           true);
  return false;
}

int ship_one_order(app::Context& ctx, CliForm& form, const ShipOptions& ship) {
  backoffice::fetch_all_orders(ctx);
  if (!form.keep_only_order(*ship.order_id)) return kFailed;
  if (!set_courier_and_sender(ctx, form, ship)) return kFailed;
  form.set_text("编辑框14", web::utf8_to_gbk(ship.tracking_no));
  form.select_row(app::kOrderList, 0);
  form.answer_questions(ship.force ? app::Answer::Yes : app::Answer::No,
                        ship.force ? "--force" : "没有 --force");
  const fulfilment::RowVerdict verdict = fulfilment::ship_selected_order(ctx);

  Output out("");
  const app::OrderRow row = form.rows(app::kOrderList).front();
  Json line = row_head(row);
  line["tracking_no"] = json_text(web::utf8_to_gbk(ship.tracking_no));
  line["courier"] = json_text(form.text("编辑框12"));
  line["sender_id"] = json_text(form.text("编辑框13"));
  const app::Text status = app::cell_of(row, app::kColShipStatus);
  const bool sent = status == gbk("发货成功") || status == gbk("发货失败") || status == gbk("发货不明");
  if (!sent) {
    line["result"] = "refused";
    // What the checks found, or why shipping could not start (the journal).
    line["reason"] = json_text(!verdict.reason.empty() ? verdict.reason : form.last_shown({}));
  } else {
    line["result"] = status == gbk("发货成功") ? "shipped" : status == gbk("发货不明") ? "unknown" : "failed";
    if (!verdict.reason.empty()) line["warning"] = json_text(verdict.reason);
    const app::Text shown = form.last_shown(status);
    line["message"] = json_text(shown.substr(std::min(shown.size(), status.size() + 2)));  // after CR LF
  }
  out.line(json_line(line));
  const int written = finish_output(out, form);
  return written != kDone ? written : line["result"] == "shipped" ? kDone : kSomeRowsFailed;
}

}  // namespace

int run_ship(const SessionOptions& options, const ShipOptions& ship) {
  auto session = logged_in_session(options);
  if (!session) return kFailed;
  app::Context& ctx = session->ctx();
  CliForm& form = session->form();
  if (!session->database().ok()) {
    form.say("发货记录数据库用不了，为了不让发货没有记录，不发货：" + session->database().error(),
             true);
    return kFailed;
  }
  fulfilment::report_unknown_shipments(ctx);
  if (ship.order_id) return ship_one_order(ctx, form, ship);

  exchange::import_orders(ctx, web::utf8_to_gbk(ship.workbook));
  if (!form.was_shown(gbk("你已经成功导入了"))) return kFailed;  // the refusal was said

  if (!set_courier_and_sender(ctx, form, ship)) return kFailed;
  const app::Text courier = form.text("编辑框12");
  const app::Text sender = form.text("编辑框13");

  Output out("");
  const std::vector<app::OrderRow> rows = form.rows(app::kOrderList);
  if (ship.dry_run) {
    const std::vector<fulfilment::RowVerdict> verdicts = fulfilment::check_rows(ctx, rows);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      Json line = row_head(rows[r]);
      line["courier"] = json_text(courier);
      line["sender_id"] = json_text(sender);
      const bool ships = verdicts[r].ships(ship.choice());
      line["result"] = ships ? "would-ship" : "skipped";
      if (!verdicts[r].reason.empty())
        line[ships ? "warning" : "reason"] = json_text(verdicts[r].reason);
      out.line(json_line(line));
    }
    form.say("试运行：没有发出任何发货请求（" + std::to_string(rows.size()) + "行）");
    return finish_output(out, form);
  }

  form.answer_batch(ship.choice());
  form.answer_questions(app::Answer::Yes, "快递单号来自 --from 的工作簿");
  fulfilment::confirm_and_ship_all(ctx);
  form.join_workers();
  bool some_failed = false;
  for (const app::OrderRow& row : form.rows(app::kOrderList)) {
    const Json line = row_result(row);
    // A failed row, or one the batch never reached (it stopped early).
    some_failed = some_failed || line["result"] == "failed" || line["result"] == "unknown" ||
                  line["result"] == "refused" || row[app::kColShipStatus].empty();
    out.line(json_line(line));
  }
  const int written = finish_output(out, form);
  return written != kDone ? written : some_failed ? kSomeRowsFailed : kDone;
}

}  // namespace cli
