// weihe-cli track: one order (found in the all-orders list, its details
// fetched for the tracking number) or every to-receive order, queried the
// way the window's 查询全部订单物流 does (numbers answered a short while ago
// are not asked again, at most one request a second). Text prints each
// reply as the 物流信息 column stores it; JSON prints the parsed reply.
#include "backoffice/order_details.h"
#include "backoffice/order_lists.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "fulfilment/tracking.h"

namespace cli {

namespace {

Json parcel_json(const fulfilment::ParcelResult& p) {
  using Kind = fulfilment::TrackingReply::Kind;
  Json events = Json::array();
  for (const auto& e : p.parsed.events)
    events.push_back({{"time", e.time}, {"context", e.context}, {"location", e.location}});
  Json line = {{"id", json_text(p.order_id)},
               {"tracking_no", json_text(p.tracking_no)},
               {"courier", p.courier},
               {"state", p.parsed.state},
               {"state_name", fulfilment::state_name(p.parsed.state)},
               {"events", events},
               {"problem", !p.problem.empty()},
               {"cached", p.cached}};
  if (p.parsed.kind == Kind::Error) line["error"] = p.parsed.message;
  if (p.parsed.kind == Kind::Unreadable) line["error"] = "回复看不懂";
  return line;
}

// The stored reply as it is (in UTF-8), without a final line break.
std::string stored_text(const app::Text& reply) {
  std::string text = web::gbk_to_utf8(reply);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

int run_track(const SessionOptions& options, const TrackOptions& track) {
  auto session = logged_in_session(options);
  if (!session) return kFailed;
  app::Context& ctx = session->ctx();
  CliForm& form = session->form();

  if (track.all) {
    backoffice::fetch_orders_to_receive(ctx);
  } else {
    backoffice::fetch_all_orders(ctx);
    if (!form.keep_only_order(track.order_id)) return kFailed;
  }
  backoffice::fetch_order_details(ctx);
  if (track.courier) form.set_text("编辑框8", web::utf8_to_gbk(*track.courier));

  const std::vector<fulfilment::ParcelResult> parcels = fulfilment::query_listed_parcels(ctx);
  if (parcels.empty()) {
    form.say(track.all ? "待收货订单里没有带快递单号的" : "这笔订单没有快递单号，没有查询",
             !track.all);
    return track.all ? kDone : kFailed;
  }
  Output out("");
  bool unanswered = false;
  for (const fulfilment::ParcelResult& p : parcels) {
    unanswered = unanswered || p.reply.empty();
    if (track.format == "json")
      out.line(json_line(parcel_json(p)));
    else
      out.line(stored_text(p.reply));
  }
  if (unanswered)
    form.say("物流查询没有得到回答（物流服务 " + for_people(ctx.hosts.tracking) + "）", true);
  const int written = finish_output(out, form);
  return written != kDone ? written : unanswered ? kFailed : kDone;
}

}  // namespace cli
