#include "fulfilment/scan_shipping.h"

#include <algorithm>

#include "fulfilment/batch_check.h"
#include "fulfilment/courier_patterns.h"
#include "fulfilment/shipping.h"

namespace fulfilment {

using web::gbk;

namespace {

constexpr std::string_view kCourierBox = "编辑框12";

// A scan is not asked about: a number must look like one. With a courier
// whose pattern is known the checks already hold it to that; for another
// courier it takes eight letters or digits, so a mistyped order number
// ("99999") is not taken for a parcel's.
Text implausible_number(app::Context& ctx, const Text& number) {
  const std::string courier = web::gbk_to_utf8(ctx.form.text(kCourierBox));
  if (CourierPatterns::installed(ctx.settings.path()).knows(courier)) return {};
  const auto alphanumerics = std::count_if(number.begin(), number.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  });
  if (alphanumerics >= 8) return {};
  return gbk("不像快递单号（至少要8位字母或数字）");
}

}  // namespace

Text scan_refusal(app::Context& ctx, int row) {
  const std::vector<app::OrderRow> rows = ctx.form.rows(app::kOrderList);
  if (row < 0 || row >= static_cast<int>(rows.size())) return gbk("这一行已经不在表格里了");
  const RowVerdict v = check_rows(ctx, {rows[row]}).front();
  const bool refused = v.verdict == Verdict::NoOrderId || v.verdict == Verdict::AlreadyShipped ||
                       v.verdict == Verdict::OutcomeUnknown;
  return refused ? v.reason : Text();
}

bool ship_scanned_row(app::Context& ctx, int row, const Text& tracking, Text* said) {
  if (*said = shipping_refusal(ctx); !said->empty()) return false;
  const Text number = web::trim_spaces(tracking);
  // Nothing is asked in the scan mode: whatever a question would be asked
  // about is refused, and the order keeps waiting for its number.
  const RowVerdict verdict = check_shipment(ctx, row, number);
  if (verdict.verdict != Verdict::Ready) {
    *said = verdict.reason;
    return false;
  }
  if (*said = implausible_number(ctx, number); !said->empty()) return false;
  app::Form& form = ctx.form;
  form.set_cells_by_key(app::kOrderList, form.row_key(app::kOrderList, row), app::kColTrackingNo,
                        {number});
  const RowShipment shipment = ship_row(ctx, row, number);
  if (!shipment.sent) {
    *said = shipment.refused;
    return false;
  }
  const Text status = status_word(shipment);
  show_outcome(form, shipment.key, status, shipment.reply.shipped);
  if (!shipment.reply.shipped) {
    const Text& why = shipment.reply.message;
    *said = status + gbk("：") + (why.empty() ? gbk("后台没有回答") : why);
    return false;
  }
  *said = status;
  return true;
}

}  // namespace fulfilment
