#include "fulfilment/scan_shipping.h"

#include <algorithm>
#include <vector>

#include "fulfilment/batch_check.h"
#include "fulfilment/shipping.h"

namespace fulfilment {

using web::gbk;

namespace {

// The verdict on row `row`, given with `tracking` in its 快递单号 among all
// the table's rows (so a number already on another row shows), or, without
// a number, on the row alone.
RowVerdict verdict_of(app::Context& ctx, int row, const Text* tracking) {
  std::vector<app::OrderRow> rows = ctx.form.rows(app::kOrderList);
  if (row < 0 || row >= static_cast<int>(rows.size()))
    return {Verdict::NoOrderId, gbk("这一行已经不在表格里了")};
  if (!tracking) return check_rows(ctx, {rows[row]}).front();
  app::OrderRow& scanned = rows[row];
  scanned.resize(std::max<std::size_t>(scanned.size(), app::kColTrackingNo + 1));
  scanned[app::kColTrackingNo] = *tracking;
  return check_rows(ctx, rows)[row];
}

}  // namespace

Text scan_refusal(app::Context& ctx, int row) {
  const RowVerdict v = verdict_of(ctx, row, nullptr);
  const bool refused = v.verdict == Verdict::NoOrderId || v.verdict == Verdict::AlreadyShipped ||
                       v.verdict == Verdict::OutcomeUnknown;
  return refused ? v.reason : Text();
}

bool ship_scanned_row(app::Context& ctx, int row, const Text& tracking, Text* said) {
  if (*said = shipping_refusal(ctx); !said->empty()) return false;
  const Text number = web::trim_spaces(tracking);
  const RowVerdict verdict = verdict_of(ctx, row, &number);
  if (!verdict.ships()) {
    *said = verdict.reason;
    return false;
  }
  app::Form& form = ctx.form;
  form.set_cells_by_key(app::kOrderList, form.row_key(app::kOrderList, row), app::kColTrackingNo,
                        {number});
  const RowShipment shipment = ship_row(ctx, row, number);
  if (!shipment.sent) {
    *said = shipment.refused;
    return false;
  }
  const Text status = status_word(shipment);
  form.set_cells_by_key(app::kOrderList, shipment.key, app::kColShipStatus, {status});
  if (!shipment.reply.shipped) {
    const Text& why = shipment.reply.message;
    *said = status + gbk("：") + (why.empty() ? gbk("后台没有回答") : why);
    return false;
  }
  *said = status;
  if (verdict.verdict == Verdict::CourierMismatch) *said += gbk("（提醒：") + verdict.reason + gbk("）");
  return true;
}

}  // namespace fulfilment
