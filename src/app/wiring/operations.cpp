#include "app/wiring/operations.h"

#include <memory>

#include "archive/archive_workbooks.h"
#include "backoffice/login.h"
#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "backoffice/reminder.h"
#include "backoffice/session.h"
#include "backoffice/shown_list.h"
#include "core/archive_keeping.h"
#include "core/context.h"
#include "core/startup.h"
#include "core/table_snapshot.h"
#include "exchange/export.h"
#include "exchange/import.h"
#include "finance/withdrawals.h"
#include "fulfilment/doubtful_shipments.h"
#include "fulfilment/scan_shipping.h"
#include "fulfilment/shipping.h"
#include "fulfilment/tracking.h"
#include "printing/print_gathering.h"
#include "waybill/waybill_batch.h"

namespace app {

OrderExtras extras_of_archived(const store::ArchivedOrder& order) {
  OrderExtras extras;
  extras.lines = lines_in_system_text(order.items);
  for (const auto& s : order.states)
    extras.states.emplace_back(web::utf8_to_gbk(s.state),
                               web::utf8_to_gbk(archive::seen_time_text(s.seen)));
  if (!order.shipped_courier.empty())
    extras.shipped = web::utf8_to_gbk(order.shipped_courier + "，" + order.shipped_time);
  return extras;
}

Operations bind_operations(Context& ctx) {
  Context* c = &ctx;
  // The reminder keeps state between ticks; the lambdas share it for the life of the window.
  auto reminder = std::make_shared<backoffice::NewOrderReminder>(ctx);
  backoffice::install_session_hooks(ctx);

  Operations ops;
  // Shipments left unknown (a crash, a dropped answer) are looked up as soon
  // as the back office can be asked.
  ops.login = [c] {
    if (!backoffice::login(*c)) return;
    claim_records_without_shop(*c);
    fulfilment::fetch_sender_addresses(*c);  // 取发货ID is no daily chore
    fulfilment::settle_unknown_shipments_and_tell(*c, false);
  };
  ops.fetch_all_orders = [c] { backoffice::fetch_all_orders(*c); };
  ops.toggle_new_order_reminder = [reminder] { reminder->toggle(); };
  ops.poll_new_orders = [reminder] { reminder->poll(); };
  ops.fetch_from_address_id = [c] { fulfilment::fetch_from_address_id(*c); };
  // The courier and sender that shipped are the ones to offer next time.
  ops.ship_selected_order = [c] {
    fulfilment::ship_selected_order(*c);
    save_shipping_choice(c->form, c->settings);
  };
  ops.confirm_and_ship_all = [c] { fulfilment::confirm_and_ship_all(*c); };
  ops.query_tracking = [c] { fulfilment::query_tracking(*c); };
  ops.fetch_withdrawable_amount = [c] { finance::fetch_withdrawable_amount(*c); };
  ops.request_withdrawal = [c] { finance::request_withdrawal(*c); };
  ops.export_orders = [c] { exchange::export_orders(*c); };
  ops.import_orders = [c](const web::Text& path) { exchange::import_orders(*c, path); };
  ops.shipping_refusal = [c] { return fulfilment::shipping_refusal(*c); };
  ops.scan_refusal = [c](int row) { return fulfilment::scan_refusal(*c, row); };
  ops.ship_scanned_row = [c](int row, const web::Text& tracking, web::Text* said) {
    return fulfilment::ship_scanned_row(*c, row, tracking, said);
  };
  ops.refresh_dashboard = [c] { backoffice::refresh_dashboard(*c); };
  ops.settle_unknown_shipments = [c] { fulfilment::settle_unknown_shipments_and_tell(*c, true); };
  // The lines read in this run first; the archive knows the order's history.
  ops.order_extras = [c](const std::vector<web::Text>& row) {
    const web::Text id = cell_of(row, kColId);
    OrderExtras extras;
    if (c->archive)
      if (auto known = c->archive->find(shop_of(*c), web::gbk_to_utf8(id)))
        extras = extras_of_archived(*known);
    extras.lines = known_goods_lines(*c, row);
    return extras;
  };

  ops.gather_for_print = [c](printing::Document document, std::vector<RowKey> keys) {
    // The header says which orders: the selection, else the list the table shows.
    web::Text source = std::to_string(keys.size()) + web::gbk("笔选中的订单");
    if (keys.empty()) {
      source = web::gbk("表格里的订单");
      const std::pair<std::string_view, const char*> lists[] = {
          {backoffice::kUnpaidList, "待付款订单"}, {backoffice::kToShipList, "待发货订单"},
          {backoffice::kToReceiveList, "待收货订单"}, {backoffice::kAllList, "全部订单"}};
      for (const auto& [list, caption] : lists)
        if (backoffice::table_shows_list(*c, list)) source = web::gbk(caption);
    }
    return printing::gather_print_job(*c, std::move(keys), document, source);
  };

  ops.plan_waybills = [c](std::vector<RowKey> keys) { return waybill::plan_waybills(*c, keys); };
  // The sender and its address id are fetched first, as shipping needs them.
  ops.order_waybills = [c](std::vector<RowKey> keys, bool ship) {
    if (c->form.text("编辑框13").empty()) fulfilment::fetch_from_address_id(*c);
    auto done = waybill::order_and_show(*c, keys, ship);
    if (ship) save_shipping_choice(c->form, c->settings);
    return done;
  };
  ops.mark_labels_printed = [c](const std::vector<waybill::WaybillOutcome>& done) {
    waybill::mark_printed(*c, done);
  };

  ops.waybill_label = [c](const std::string& id) { return waybill::order_label(*c, id); };
  ops.waybill_courier = [c] { return waybill::account_courier(*c); };
  ops.cancel_waybill = [c](const std::string& id, std::string* said) {
    return waybill::cancel_order_waybill(*c, id, said);
  };
  ops.settle_waybill = [c](const std::string& id, const std::string& number, std::string* said) {
    return waybill::settle_order_waybill(*c, id, number, said);
  };

  ops.fetch_unpaid_orders = [c] { backoffice::fetch_unpaid_orders(*c); };
  ops.fetch_orders_to_ship = [c] { backoffice::fetch_orders_to_ship(*c); };
  ops.fetch_orders_to_receive = [c] { backoffice::fetch_orders_to_receive(*c); };
  ops.fetch_order_details = [c] { backoffice::fetch_order_details(*c); };
  ops.ship_all_orders = [c] {
    fulfilment::ship_all_orders(*c);
    save_shipping_choice(c->form, c->settings);
  };
  ops.retry_failed_shipments = [c] { fulfilment::retry_failed_shipments(*c); };
  ops.query_all_tracking = [c] { fulfilment::query_all_tracking(*c); };
  ops.list_paid_withdrawals = [c] { finance::list_paid_withdrawals(*c); };
  return ops;
}

}  // namespace app
