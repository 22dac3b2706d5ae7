#pragma once
// Getting each order's e-waybill (电子面单), printing its label and shipping
// the order with it, never ordering one twice. For every order: the journal's
// live waybill is reused; an unknown one is left for the merchant to settle
// (only a provider that refuses a repeated order code is asked again, and a
// refusal as a repeat keeps it unknown); otherwise one attempt is recorded,
// then sent, at most four at once. With `ship`, each order that has its
// waybill is shipped with it through the checked and journaled single
// shipment, with the mall's name for the courier. Runs on a worker: it
// fetches details and addresses and waits for the provider.
//
// Usage: auto provider = make_provider(account, http_post(ctx), &why);
//        auto done = order_waybills(ctx, *provider, account, keys, {.ship = true});
//        for (const WaybillOutcome& o : done) say(o.result, o.waybill);

#include <string>
#include <vector>

#include "core/context.h"
#include "printing/label.h"
#include "store/waybill_journal.h"
#include "waybill/provider.h"

namespace waybill {

struct WaybillOutcome {
  std::string order_id, order_no, provider, courier;  // UTF-8
  std::string waybill;                                // the number; empty when the order has none
  std::string result;  // ordered | reused | refused | failed | unknown
  std::string reason;  // why not ordered (UTF-8)
  bool shipped = false;
  std::string ship_reason;    // why, with `ship`, the order was not shipped
  std::int64_t record = 0;    // the journal record of its waybill (0: none)
  printing::LabelData label;  // when it has a waybill
};

struct WaybillRun {
  bool ship = false;
};

// The orders of `keys` (rows of the order table; empty: every row), in table order.
std::vector<WaybillOutcome> order_waybills(app::Context& ctx, Provider& provider,
                                           const Account& account,
                                           const std::vector<app::RowKey>& keys,
                                           const WaybillRun& run);

// A record's label from the order's row (receiver, goods) and the sender.
printing::LabelData label_of(const store::WaybillRecord& record, const app::OrderRow& row,
                             const std::vector<app::GoodsLine>& lines, const Party& sender,
                             const std::string& courier_name);
// What a label shows besides the waybill, as the journal keeps it (JSON), and
// a record's label drawn again from it without a request (a reprint).
std::string label_json(const printing::LabelData& label);
printing::LabelData reprint_label(const store::WaybillRecord& record);

// A waybill as the journal keeps it, and back.
store::WaybillFields fields_of(const Waybill& waybill);
Waybill waybill_of(const store::WaybillFields& fields);

// The sender from a 发货地址 line as the back office's address page reads it
// ("王建国 0571-88886666 浙江省 杭州市 …"): the name before the telephone,
// the address after it.
Party sender_from(const std::string& address_line_utf8);

// The goods summary for the provider and the label: the first goods name,
// "等N件" when there are more lines; `count` gets the quantities summed.
std::string cargo_of(const std::vector<app::GoodsLine>& lines_utf8, int* count);

}  // namespace waybill
