#pragma once
// Shipping orders: fetching the merchant's sender-address id, posting one
// order's shipment to the back office, and shipping the selected row or the
// whole order list. Statuses land in column 发货状态 of the row that was
// shipped, wherever that row is by the time the reply arrives.
//
// Usage: fulfilment::fetch_from_address_id(ctx);        // 按钮11, UI thread
//        fulfilment::ship_selected_order(ctx);          // 选中行发货, UI thread
//        ctx.form.start_worker([&] { fulfilment::ship_all_orders(ctx); });

#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

#include "core/context.h"
#include "fulfilment/batch_check.h"
#include "web/text.h"

namespace fulfilment {

using web::Text;

// Page reading and request building, free of any I/O.

// The id in the first address-delete link of the user-address page (raw
// response body, UTF-8); the empty text when there is none.
Text read_from_address_id(std::string_view body);
// Every sender address of the user-address page, in its order: the id of
// each delete link and the text of its table row (or list item) as the
// page shows it, tags left out. The first is read_from_address_id's.
std::vector<app::SenderAddress> read_sender_addresses(std::string_view body);
// The six-field form body of a ship request, values percent-encoded as UTF-8.
std::string ship_body(const Text& courier, const Text& tracking, const Text& address_id,
                      const Text& order_id);
// True when the back office's reply says the order was accepted.
bool is_shipped_reply(const Text& reply);

struct ShipReply {
  Text reply;  // the back office's reply as page text (empty when the request failed)
  bool shipped = false;
  bool unknown = false;  // in doubt even after looking at the order's page
  Text message;         // what the reply says (and what was seen), for the journal and people
  int http_status = 0;  // 0 when there was no answer
  std::optional<std::chrono::milliseconds> retry_after;  // what a 429 or 503 asked for
};

// The message of a reply: "msg" or "message" of a JSON answer such as
// {"code":1,"msg":"订单不存在"}; otherwise the reply's text without its
// HTML tags, runs of white space made one space.
Text reply_message(const Text& reply);

// Operations.

// Fills 编辑框13 with the sender-address id (empty when the page lacks it),
// and offers every address of the page to choose from.
void fetch_from_address_id(app::Context& ctx);
// At login: offers the sender addresses; 编辑框13 keeps an id among them
// (a choice kept from last time), else takes the first. The page unreadable
// or without addresses changes nothing.
void fetch_sender_addresses(app::Context& ctx);
// The addresses of the back office's address page (none: unreadable or empty).
std::vector<app::SenderAddress> request_sender_addresses(app::Context& ctx);
// The address whose id is `chosen` (编辑框13), else the first; null when there is none.
const app::SenderAddress* chosen_address(const std::vector<app::SenderAddress>& addresses,
                                         const Text& chosen);
// Posts one shipment with the CSRF token. Blocks for the request; callers on
// the UI thread wrap it in ctx.form.wait.
ShipReply send_shipment(app::Context& ctx, const Text& courier, const Text& tracking,
                        const Text& address_id, const Text& order_id);
// Ships the selected row with the tracking number of 编辑框14 (in the journal
// too), checked first as one order shipped on its own: refused with the
// reason, or asked about with No as the default answer (single_check).
// The verdict it went by (Ready when shipping could not start at all).
RowVerdict ship_selected_order(app::Context& ctx);
// The verdict on row `row` shipped with `tracking`, checked among every row
// of the table (a number on another row shows) and with the journal.
RowVerdict check_shipment(app::Context& ctx, int row, const Text& tracking);
// Ships row `row` of the order table with `tracking`, the courier of 编辑框12
// and the sender of 编辑框13, journaled like every shipment; blocks for the
// request (through form.wait). Shows nothing and writes no cell: the caller
// decides what the merchant sees. The inputs are not checked here.
struct RowShipment {
  app::RowKey key = 0;  // the row shipped (0: there was no such row, nothing was sent)
  bool sent = false;    // false: the journal refused the record, nothing went out
  Text refused;         // why, when not sent
  ShipReply reply;
};
RowShipment ship_row(app::Context& ctx, int row, const Text& tracking);
// "发货成功", "发货失败" or "发货不明", the word a shipped row's 发货状态 gets.
Text status_word(const RowShipment& shipment);
// Writes a shipment's outcome to its row: `status` into 发货状态 and, once
// the back office took the parcel, 状态 as it will now list the order
// ("待收货"), so the row reads as shipped at a glance.
void show_outcome(app::Form& form, app::RowKey key, const Text& status, bool shipped);
// The checks a shipment needs before it goes: the message for an empty
// 编辑框12 or 编辑框13, or for a journal that cannot be written; empty when
// shipping may go on.
Text shipping_refusal(app::Context& ctx);
// Ships every row with its own tracking number (worker thread). The rows
// are checked first; when not all are ready the merchant chooses (ready rows
// only, all as listed, cancel) and rows not shipped read "跳过：" + why.
// Every shipment is in the journal before its request goes out; a journal
// that cannot be written refuses the batch. Refused, with a message, while
// another batch on the same context is running.
void ship_all_orders(app::Context& ctx);
// The same batch over the rows whose 发货状态 starts with 发货失败.
void retry_failed_shipments(app::Context& ctx);
// The verdicts the batch gives `rows` (courier from 编辑框12, the journal,
// the courier pattern table).
std::vector<RowVerdict> check_rows(app::Context& ctx, const std::vector<app::OrderRow>& rows);
// Asks "请确保已经导入过快递单号" and on Yes starts ship_all_orders on a worker.
void confirm_and_ship_all(app::Context& ctx);

}  // namespace fulfilment
