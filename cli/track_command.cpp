// weihe-cli track: the order found in the all-orders list, its details
// fetched for the tracking number, then the tracking query on that row; the
// reply is printed as the 物流信息 column stores it.
#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "fulfilment/tracking.h"

namespace cli {

int run_track(const SessionOptions& options, const TrackOptions& track) {
  auto session = logged_in_session(options);
  if (!session) return kFailed;
  app::Context& ctx = session->ctx();
  CliForm& form = session->form();

  backoffice::fetch_all_orders(ctx);
  // Only the order asked about stays in the table, so the detail fetch asks
  // for its page alone.
  const app::Text id = web::utf8_to_gbk(track.order_id);
  for (int r = form.row_count(app::kOrderList) - 1; r >= 0; --r)
    if (form.cell(app::kOrderList, r, app::kColId) != id) form.delete_row(app::kOrderList, r);
  if (form.row_count(app::kOrderList) != 1) {
    form.say("没有ID为 " + track.order_id + " 的订单（总订单里找不到）", true);
    return kFailed;
  }
  backoffice::fetch_order_details(ctx);
  if (form.cell(app::kOrderList, 0, app::kColTrackingNo).empty())
    form.say("这笔订单没有快递单号，物流服务多半答不出");

  if (track.courier) form.set_text("编辑框8", web::utf8_to_gbk(*track.courier));
  form.select_row(app::kOrderList, 0);
  fulfilment::query_tracking(ctx);
  const app::Text reply = form.cell(app::kOrderList, 0, app::kColTrackingInfo);
  if (reply.empty()) {
    form.say("物流查询没有得到回答（物流服务 " + for_people(ctx.hosts.tracking) + "）", true);
    return kFailed;
  }
  // The cell's text as it is (in UTF-8), ending in one line break.
  std::string text = web::gbk_to_utf8(reply);
  if (text.back() == '\n') text.pop_back();
  Output out("");
  out.line(text);
  return finish_output(out, form);
}

}  // namespace cli
