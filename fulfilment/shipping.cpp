#include "fulfilment/shipping.h"

#include <mutex>
#include <set>
#include <vector>

#include "web/http.h"

namespace fulfilment {

using web::gbk;

namespace {

constexpr std::string_view kCourierBox = "编辑框12";
constexpr std::string_view kAddressBox = "编辑框13";
constexpr std::string_view kTrackingBox = "编辑框14";

// Marks the contexts whose batch is running, so a second batch on the same
// order list is refused instead of shipping every row twice.
class BatchGuard {
 public:
  explicit BatchGuard(const app::Context& ctx) : m_ctx(&ctx) {
    std::lock_guard lock(mutex());
    m_acquired = running().insert(m_ctx).second;
  }
  ~BatchGuard() {
    if (!m_acquired) return;
    std::lock_guard lock(mutex());
    running().erase(m_ctx);
  }
  BatchGuard(const BatchGuard&) = delete;
  BatchGuard& operator=(const BatchGuard&) = delete;

  bool acquired() const { return m_acquired; }

  static bool is_running(const app::Context& ctx) {
    std::lock_guard lock(mutex());
    return running().count(&ctx) > 0;
  }

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static std::set<const app::Context*>& running() {
    static std::set<const app::Context*> s;
    return s;
  }

  const app::Context* m_ctx;
  bool m_acquired = false;
};

void tell_batch_running(app::Context& ctx) {
  ctx.form.message_box(gbk("批量发货正在进行中，请等这一批发完后再开始新的一批"));
}

// The message for a missing courier code or address id; empty when both are there.
Text missing_input_message(const Text& courier, const Text& address_id) {
  if (courier.empty()) return gbk("请填写发货快递");
  if (address_id.empty()) return gbk("请先获取发货地址ID");
  return {};
}

// Shows the message for a missing courier code or address id; true when both are there.
bool shipping_inputs_present(app::Context& ctx) {
  const Text missing =
      missing_input_message(ctx.form.text(kCourierBox), ctx.form.text(kAddressBox));
  if (!missing.empty()) ctx.form.message_box(missing);
  return missing.empty();
}

std::vector<app::RowKey> order_row_keys(app::Form& form) {
  std::vector<app::RowKey> keys;
  for (app::RowKey key; (key = form.row_key(app::kOrderList, static_cast<int>(keys.size())));)
    keys.push_back(key);
  return keys;
}

struct TableSnapshot {
  std::vector<app::OrderRow> rows;
  std::vector<app::RowKey> keys;  // keys[r] is the key of rows[r]
};

// The order rows with their keys. While the batch holds the table lock only
// the merchant's deletes can change the rows, so a read with the same keys
// before and after it is consistent; each retry needs another delete, so the
// loop ends after at most as many retries as there are rows.
TableSnapshot read_order_rows(app::Form& form) {
  for (;;) {
    std::vector<app::RowKey> before = order_row_keys(form);
    std::vector<app::OrderRow> rows = form.rows(app::kOrderList);
    if (rows.size() == before.size() && order_row_keys(form) == before)
      return {std::move(rows), std::move(before)};
  }
}

}  // namespace

Text read_from_address_id(std::string_view body) {
  // Converted to GB18030 first: searching the raw UTF-8 would step over a link
  // that directly follows a Chinese character and take the next address.
  const Text page = web::utf8_to_gbk(web::bytes_to_text(body));
  return web::text_between(page, "<a data-url=\"/user-address/del?id=", "\"");
}

std::string ship_body(const Text& courier, const Text& tracking, const Text& address_id,
                      const Text& order_id) {
  return "deliver_explain=&address=&shipping_express_name=" + web::form_encode(courier) +
         "&shipping_code=" + web::form_encode(tracking) +
         "&from_address_id=" + web::form_encode(address_id) +
         "&order_id=" + web::form_encode(order_id);
}

bool is_shipped_reply(const Text& reply) {
  return web::find_text(reply, gbk("操作成功")) != -1;
}

void fetch_from_address_id(app::Context& ctx) {
  const web::Bytes body = app::wait_for_request(ctx.form, ctx.backoffice_url("/user-address/list"));
  ctx.form.set_text(kAddressBox, read_from_address_id(body));
}

ShipReply send_shipment(app::Context& ctx, const Text& courier, const Text& tracking,
                        const Text& address_id, const Text& order_id) {
  Text headers = "X-CSRF-Token: " + ctx.csrf_token.get();
  const web::Bytes body = web::http_request(ctx.backoffice_url("/order/send"), 1,
                                            ship_body(courier, tracking, address_id, order_id),
                                            nullptr, nullptr, &headers);
  ShipReply result;
  result.reply = web::page_text(body);
  result.shipped = is_shipped_reply(result.reply);
  return result;
}

void ship_selected_order(app::Context& ctx) {
  if (!shipping_inputs_present(ctx)) return;
  app::Form& form = ctx.form;
  const int row = form.selected_row(app::kOrderList);
  // The key, not the index, names the row: the table may change while the
  // request and the message box are open.
  const app::RowKey key = form.row_key(app::kOrderList, row);
  const Text order_id = key ? form.cell(app::kOrderList, row, app::kColId) : Text();
  const Text courier = form.text(kCourierBox);
  const Text address_id = form.text(kAddressBox);
  const Text tracking = form.text(kTrackingBox);

  ShipReply result;
  form.wait([&] { result = send_shipment(ctx, courier, tracking, address_id, order_id); });
  const Text status = gbk(result.shipped ? "发货成功" : "发货失败");
  form.message_box(status + "\r\n" + result.reply);
  if (key) form.set_cells_by_key(app::kOrderList, key, app::kColShipStatus, {status});
}

void ship_all_orders(app::Context& ctx) {
  BatchGuard guard(ctx);
  if (!guard.acquired()) {
    tell_batch_running(ctx);
    return;
  }
  if (!shipping_inputs_present(ctx)) return;
  app::Form& form = ctx.form;
  Text stopped;  // why the batch ended early, if it did
  {
    // Imports and list fetches wait until the batch is through, so the rows
    // read here stay the rows being shipped.
    app::TableLock::Hold hold(ctx.table_lock, form);
    const TableSnapshot table = read_order_rows(form);

    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      const app::OrderRow& row = table.rows[r];
      const Text tracking = row.size() > app::kColTrackingNo ? row[app::kColTrackingNo] : Text();
      const Text order_id = row.size() > app::kColId ? row[app::kColId] : Text();
      // Read per row: an edit made while the batch runs applies to the rows after it.
      // A box emptied meanwhile (or a closed window, whose boxes read empty)
      // ends the batch rather than ship the rest without a courier or sender.
      const Text courier = form.text(kCourierBox);
      const Text address_id = form.text(kAddressBox);
      stopped = missing_input_message(courier, address_id);
      if (!stopped.empty()) break;
      const ShipReply result = send_shipment(ctx, courier, tracking, address_id, order_id);
      const Text status = result.shipped ? gbk("发货成功") : gbk("发货失败") + result.reply;
      form.set_cells_by_key(app::kOrderList, table.keys[r], app::kColShipStatus, {status});
    }
  }
  form.message_box(stopped.empty() ? gbk("发货完成，请检查是否发送成功！！！") : stopped);
}

void confirm_and_ship_all(app::Context& ctx) {
  if (BatchGuard::is_running(ctx)) {
    tell_batch_running(ctx);
    return;
  }
  if (ctx.form.message_box(gbk("请确保已经导入过快递单号"), gbk("询问"), app::Buttons::YesNo) !=
      app::Answer::Yes)
    return;
  ctx.form.start_worker([&ctx] { ship_all_orders(ctx); });
}

}  // namespace fulfilment
