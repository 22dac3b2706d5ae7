#include "fulfilment/doubtful_shipments.h"

#include <algorithm>
#include <functional>

#include "core/archive_keeping.h"
#include "store/shipping_journal.h"

namespace fulfilment {

using web::gbk;

namespace {

// One line a shipment, "订单号 …（ID …，快递单号 …<more>）<after>", each
// after a line break; at most 20, then "……".
Text listed(const std::vector<store::Shipment>& shipments,
            const std::function<std::string(const store::Shipment&)>& more,
            const std::function<std::string(const store::Shipment&)>& after) {
  constexpr std::size_t kNamed = 20;
  Text text;
  for (std::size_t i = 0; i < shipments.size() && i < kNamed; ++i) {
    const store::Shipment& s = shipments[i];
    text += "\r\n" + web::utf8_to_gbk("订单号 " + s.order_no + "（ID " + s.order_id + "，快递单号 " +
                                       s.tracking_no + more(s) + "）" + after(s));
  }
  if (shipments.size() > kNamed) text += "\r\n" + gbk("……");
  return text;
}

}  // namespace

bool in_doubt(const ShipReply& reply, bool repeated) {
  if (reply.shipped) return false;
  return reply.http_status == 0 || reply.http_status >= 500 || repeated;
}

void look_at_order_page(app::Context& ctx, const Text& order_id, const Text& tracking,
                        ShipReply* reply) {
  if (!ctx.tracking_no_on_page) return;
  const Text answer = !reply->message.empty() ? reply->message
                      : reply->http_status   ? gbk("后台返回 ") + std::to_string(reply->http_status)
                                             : gbk("后台没有回答");
  const std::optional<Text> shown = ctx.tracking_no_on_page(order_id);
  reply->shipped = shown && !shown->empty() && *shown == web::trim_spaces(tracking);
  reply->unknown = !shown || (!shown->empty() && !reply->shipped);
  Text seen;
  if (!shown)
    seen = gbk("订单页面读不到，不知道发出去没有");
  else if (reply->shipped)
    seen = gbk("订单页面上已有这个快递单号：已发货");
  else if (shown->empty())
    seen = gbk("订单仍在等待发货：没有发出去，可以再发");
  else
    seen = gbk("订单页面上的快递单号是") + *shown;
  reply->message = answer + gbk("；") + seen;
}

std::vector<store::Shipment> settle_unknown_shipments(app::Context& ctx) {
  if (!ctx.database || !ctx.database->ok() || !ctx.tracking_no_on_page) return {};
  store::ShippingJournal journal(*ctx.database, app::shop_of(ctx));
  std::vector<store::Shipment> unknown = journal.entries({}, "unknown");
  std::reverse(unknown.begin(), unknown.end());  // oldest first
  for (store::Shipment& s : unknown) {
    ShipReply reply;
    reply.message = web::utf8_to_gbk(s.message);
    ctx.form.wait([&] {
      look_at_order_page(ctx, web::utf8_to_gbk(s.order_id), web::utf8_to_gbk(s.tracking_no),
                         &reply);
    });
    s.outcome = reply.unknown ? "unknown" : reply.shipped ? "shipped" : "failed";
    s.message = web::gbk_to_utf8(reply.message);
    std::string ignored;
    journal.settle(s.id, s.outcome, s.message, &ignored);
  }
  return unknown;
}

void settle_unknown_shipments_and_tell(app::Context& ctx, bool say_none) {
  const std::vector<store::Shipment> settled = settle_unknown_shipments(ctx);
  if (settled.empty()) {
    if (say_none) ctx.form.message_box(gbk("没有结果不明的发货"));
    return;
  }
  const auto nothing = [](const store::Shipment&) { return std::string(); };
  const auto outcome = [](const store::Shipment& s) {
    return std::string(s.outcome == "shipped"  ? "：已发货"
                       : s.outcome == "failed" ? "：没有发出"
                                               : "：仍然不明");
  };
  ctx.form.message_box(gbk("核对了") + std::to_string(settled.size()) + gbk("笔结果不明的发货：") +
                       listed(settled, nothing, outcome));
}

void report_unknown_shipments(app::Context& ctx) {
  if (!ctx.database || !ctx.database->ok()) return;
  const std::vector<store::Shipment> unknown =
      store::ShippingJournal(*ctx.database, app::shop_of(ctx)).take_unreported_unknown();
  if (unknown.empty()) return;
  const auto time = [](const store::Shipment& s) { return "，" + s.time; };
  const auto nothing = [](const store::Shipment&) { return std::string(); };
  ctx.form.message_box(
      gbk("有") + std::to_string(unknown.size()) +
      gbk("笔发货没有收到后台的回答（发货途中程序被关闭或断了网），不知道发出去没有：") +
      listed(unknown, time, nothing) + "\r\n" +
      gbk("登录后程序会到后台的订单页面核对它们（发货记录页的“核对未确认的发货”也可以）；"
          "在那之前它们的结果是“不明”，不会再发。"));
}

}  // namespace fulfilment
