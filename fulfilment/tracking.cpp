#include "fulfilment/tracking.h"

#include "app/core/context.h"

namespace fulfilment {

using web::gbk;
using web::Text;

Text tracking_url(const Text& host, const Text& key, const Text& courier, const Text& tracking_no) {
  return "http://" + host + "/api?id=" + web::form_encode(key) +
         "&com=" + web::form_encode(courier) + "&nu=" + web::form_encode(tracking_no) +
         "&valicode=&show=3&muti=1&order=desc";
}

void query_tracking(app::Context& ctx) {
  app::Form& form = ctx.form;
  const Text key = form.text("编辑框7");
  const Text courier = form.text("编辑框8");
  // Saved before the query, so they are kept even when the service is unreachable.
  ctx.settings.write_setting(gbk("快递100sky"), key);
  ctx.settings.write_setting(gbk("快递类型"), courier);

  const int row = form.selected_row(app::kOrderList);
  const app::RowKey row_key = form.row_key(app::kOrderList, row);
  const Text tracking_no = row_key ? form.cell(app::kOrderList, row, app::kColTrackingNo) : Text();
  const Text url = tracking_url(ctx.hosts.tracking, key, courier, tracking_no);

  const Text reply = web::page_text(app::wait_for_request(form, url));
  if (row_key) form.set_cells_by_key(app::kOrderList, row_key, app::kColTrackingInfo, {reply});
  if (form.is_checked("选择框1")) form.message_box(reply);
}

}  // namespace fulfilment
