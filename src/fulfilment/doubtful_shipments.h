#pragma once
// Doubtful shipments are settled by looking, never by guessing. A shipment
// is in doubt when it got no answer, a 5xx answer, or was refused when sent
// a second time (the first may have been taken). The order's page then
// settles it: our number there, shipped; no number (the order still waits),
// failed, it may be sent again; anything else (another number, no page),
// still unknown, with what was seen in the message.
//
// Usage: if (in_doubt(reply, repeated)) look_at_order_page(ctx, id, number, &reply);
//        for (const store::Shipment& s : settle_unknown_shipments(ctx)) ...

#include <vector>

#include "core/context.h"
#include "fulfilment/shipping.h"
#include "store/shipping_journal.h"

namespace fulfilment {

bool in_doubt(const ShipReply& reply, bool repeated);
void look_at_order_page(app::Context& ctx, const Text& order_id, const Text& tracking,
                        ShipReply* reply);
// Every journal entry still "unknown", looked at the same way and settled
// in the journal; each with its outcome as it now stands, oldest first.
std::vector<store::Shipment> settle_unknown_shipments(app::Context& ctx);
// Settles the unknown entries and says what became of them; with
// `say_none`, also that there were none.
void settle_unknown_shipments_and_tell(app::Context& ctx, bool say_none);
// Tells the merchant once about journal entries left without an answer
// (at start, before any login could settle them).
void report_unknown_shipments(app::Context& ctx);

}  // namespace fulfilment
