#pragma once
// Parcel tracking: asks the courier-tracking service about an order's parcel
// and stores the answer in that order's 物流信息 column, as the service gave
// it. One order (the selected row) or every listed order with a tracking
// number; the latter keeps to the service's limits (a number answered a
// short while ago is not asked again, at most one request a second).
//
// Usage: fulfilment::query_tracking(ctx);       // 查询当前订单物流, UI thread
//        fulfilment::query_all_tracking(ctx);   // 查询全部订单物流, worker

#include <string>
#include <vector>

#include "core/context.h"
#include "fulfilment/tracking_reply.h"
#include "web/text.h"

namespace fulfilment {

// "http://" + host + "/api?id=..&com=..&nu=..&valicode=&show=3&muti=1&order=desc",
// the three values percent-encoded as UTF-8.
web::Text tracking_url(const web::Text& host, const web::Text& key, const web::Text& courier,
                       const web::Text& tracking_no);

// Saves the service key (编辑框7) and courier code (编辑框8), queries the
// service for the selected row's tracking number, writes the reply to that
// row's column 22. With 选择框1 checked a readable reply opens the timeline,
// an error shows its message, anything else shows as it came.
void query_tracking(app::Context& ctx);

// The service's limits for a batch of queries, from the settings file's
// section "tracking": reuse_minutes (30) and min_interval_ms (1000).
struct TrackingLimits {
  int reuse_minutes = 30;
  int min_interval_ms = 1000;
  static TrackingLimits from(const app::Settings& settings);
};

// One listed parcel after a batch of queries.
struct ParcelResult {
  app::Text order_no, order_id, tracking_no;
  std::string courier;   // UTF-8, as sent
  app::Text reply;       // as stored in 物流信息
  TrackingReply parsed;
  bool cached = false;   // the last answer, reused (asked less than reuse_minutes ago)
  std::string problem;   // UTF-8; empty when fine
};

// Saves the two service settings, then queries every listed row with a
// tracking number (the courier it was shipped with when the journal knows
// it, else 编辑框8), filling each row's 物流信息, with the progress bar and
// the status line ("物流 12/25").
std::vector<ParcelResult> query_listed_parcels(app::Context& ctx);

// 查询全部订单物流: query_listed_parcels, then one message with the count of
// parcels in each state and the problem ones.
void query_all_tracking(app::Context& ctx);
app::Text parcels_report(const std::vector<ParcelResult>& parcels);

// What the order list shows for a 物流信息 cell: the summary of a readable
// reply, else nothing (the cell shows as it is). System text.
app::Text tracking_cell_summary(const app::Text& cell);
// A 物流信息 cell to read whole: the summary, then one line per event,
// newest first, its time and text ("2024-05-23 06:36:16  快件已签收"); an
// error's message; the cell as it is when it cannot be read. System text.
app::Text tracking_cell_text(const app::Text& cell);

}  // namespace fulfilment
