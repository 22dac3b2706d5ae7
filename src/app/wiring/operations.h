#pragma once
// The operations the window's events run, as the window sees them. The window
// decides the thread (UI or worker) from its event table; main() binds each
// entry to the subsystem that implements it (bind_operations). An unbound
// entry does nothing.

#include <functional>

#include <utility>
#include <vector>

#include "core/form.h"
#include "core/goods_lines.h"
#include "printing/print_job.h"
#include "waybill/waybill_batch.h"
#include "web/text.h"

namespace store {
struct ArchivedOrder;
}

namespace app {

struct Context;

// What the row window shows of an order besides its cells: every goods line,
// the states it was seen in (state, when), and how this program shipped it.
struct OrderExtras {
  std::vector<GoodsLine> lines;
  std::vector<std::pair<web::Text, web::Text>> states;
  web::Text shipped;
};

struct Operations {
  // UI-thread operations
  std::function<void()> login;                      // 按钮1
  std::function<void()> fetch_all_orders;           // 按钮2
  std::function<void()> toggle_new_order_reminder;  // 按钮7
  std::function<void()> poll_new_orders;            // 时钟1
  std::function<void()> fetch_from_address_id;      // 按钮11
  std::function<void()> ship_selected_order;        // 选中行发货
  std::function<void()> confirm_and_ship_all;  // 导入单号发货 (asks, then starts a worker)
  std::function<void()> query_tracking;        // 查询当前订单物流
  std::function<void()> fetch_withdrawable_amount;      // 按钮15, page change of 选择夹1
  std::function<void()> request_withdrawal;             // 按钮10: checks the amount
  std::function<void()> export_orders;                  // 导出订单
  std::function<void(const web::Text&)> import_orders;  // files dropped
  // 扫描发货, the scan mode: why shipping cannot start now (no courier, no
  // sender, a journal that cannot be written); why a scanned row must not be
  // shipped (empty: it may); shipping a scanned row with the scanned number,
  // true when shipped, with what to tell the merchant.
  std::function<web::Text()> shipping_refusal;
  std::function<web::Text(int row)> scan_refusal;
  std::function<bool(int row, const web::Text& tracking, web::Text* said)> ship_scanned_row;
  // Reads the dashboard figures again (after the scan mode shipped orders).
  std::function<void()> refresh_dashboard;
  // 核对未确认的发货 (发货记录 page): settles the journal's unknown entries.
  std::function<void()> settle_unknown_shipments;
  // The row window's goods lines and history of the order in a table row.
  std::function<OrderExtras(const std::vector<web::Text>& row)> order_extras;
  // 打印拣货单… / 打印发货单… (on a worker): the document's orders, the rows
  // of `keys` (none: every row), their details fetched first where missing.
  std::function<printing::PrintJob(printing::Document, std::vector<RowKey> keys)> gather_for_print;
  // 取号打印… / 取号打印并发货… (each on a worker): which rows of `keys` (none:
  // every row not shipped) can get an e-waybill; their waybills ordered (and
  // each order shipped with its number when `ship`), shown on the rows; and,
  // once the labels are printed, their waybills marked printed.
  std::function<waybill::WaybillPlan(std::vector<RowKey> keys)> plan_waybills;
  std::function<std::vector<waybill::WaybillOutcome>(std::vector<RowKey> keys, bool ship)>
      order_waybills;
  std::function<void(const std::vector<waybill::WaybillOutcome>&)> mark_labels_printed;
  // The order menu's e-waybill entries, for an order id (UTF-8): its label
  // drawn again (no number: it has none); cancelling it at the provider;
  // settling an unknown one with the number found (empty: none was made).
  // What to tell the merchant comes in `said` (UTF-8).
  std::function<printing::LabelData(const std::string& order_id)> waybill_label;
  // The mall's courier code of the e-waybill account (section `waybill`);
  // empty when no account is set: the scan mode then works without waybills.
  std::function<web::Text()> waybill_courier;
  std::function<bool(const std::string& order_id, std::string* said)> cancel_waybill;
  std::function<bool(const std::string& order_id, const std::string& number, std::string* said)>
      settle_waybill;
  // worker operations
  std::function<void()> fetch_unpaid_orders;      // 按钮3
  std::function<void()> fetch_orders_to_ship;     // 按钮4
  std::function<void()> fetch_orders_to_receive;  // 按钮5
  std::function<void()> fetch_order_details;      // 按钮6
  std::function<void()> ship_all_orders;          // 按钮12
  std::function<void()> retry_failed_shipments;   // 重试发货失败的订单
  std::function<void()> query_all_tracking;       // 查询全部订单物流
  std::function<void()> list_paid_withdrawals;    // 按钮9
};

// What the archive knows of an order, as the row window shows it.
OrderExtras extras_of_archived(const store::ArchivedOrder& order);

// Binds every entry to its implementation, all acting on `ctx`.
Operations bind_operations(Context& ctx);

}  // namespace app
