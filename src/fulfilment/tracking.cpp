#include "fulfilment/tracking.h"

#include <chrono>
#include <ctime>
#include <map>
#include <optional>
#include <thread>

#include "core/archive_keeping.h"
#include "core/context.h"
#include "core/table_snapshot.h"
#include "store/shipping_journal.h"
#include "store/tracking_replies.h"

namespace fulfilment {

using web::gbk;
using web::Text;

namespace {

struct ServiceSettings {
  Text key, courier;
};

// Saved before any query, so they are kept even when the service is unreachable.
ServiceSettings save_service_settings(app::Context& ctx) {
  ServiceSettings s{ctx.form.text("编辑框7"), ctx.form.text("编辑框8")};
  ctx.settings.write_setting(gbk("快递100sky"), s.key);
  ctx.settings.write_setting(gbk("快递类型"), s.courier);
  return s;
}

bool database_usable(const app::Context& ctx) {
  return ctx.database && ctx.database->ok();
}

// The courier the order was shipped with, when the journal knows it; else `fallback`.
Text courier_for(app::Context& ctx, const Text& order_id, const Text& fallback) {
  if (!database_usable(ctx) || order_id.empty()) return fallback;
  const std::string shipped_with =
      store::ShippingJournal(*ctx.database, app::shop_of(ctx)).courier_of(web::gbk_to_utf8(order_id));
  return shipped_with.empty() ? fallback : web::utf8_to_gbk(shipped_with);
}

// The number the order was shipped with by this program; empty when none.
Text journal_tracking_no(app::Context& ctx, const Text& order_id) {
  if (!database_usable(ctx) || order_id.empty()) return {};
  const auto shipped = store::ShippingJournal(*ctx.database, app::shop_of(ctx)).last_shipped(web::gbk_to_utf8(order_id));
  return shipped ? web::utf8_to_gbk(shipped->tracking_no) : Text();
}

void remember(app::Context& ctx, const Text& number, const Text& courier, const Text& reply,
              const TrackingReply& parsed, std::time_t when) {
  if (!database_usable(ctx) || number.empty()) return;
  std::string ignored;  // a reply not kept is asked for again next time
  store::TrackingReplies(*ctx.database, app::shop_of(ctx))
      .remember(web::gbk_to_utf8(number), web::gbk_to_utf8(courier), web::gbk_to_utf8(reply),
                parsed.kind == TrackingReply::Kind::Readable, when, &ignored);
}

void show_reply(app::Form& form, const Text& number, const Text& courier, const Text& reply,
                const TrackingReply& parsed) {
  if (parsed.kind == TrackingReply::Kind::Error) {
    form.message_box(parsed.message.empty() ? reply : web::utf8_to_gbk(parsed.message));
    return;
  }
  if (parsed.kind != TrackingReply::Kind::Readable) {
    form.message_box(reply);
    return;
  }
  app::TrackingTimeline timeline{number, courier, web::utf8_to_gbk(state_name(parsed.state)), {},
                                 reply};
  for (const TrackingEvent& e : parsed.events)
    timeline.events.push_back({web::utf8_to_gbk(e.time), web::utf8_to_gbk(e.context),
                               web::utf8_to_gbk(e.location)});
  form.show_tracking(timeline);
}

}  // namespace

Text tracking_url(const Text& host, const Text& key, const Text& courier, const Text& tracking_no) {
  return web::site_url(host, "/api?id=") + web::form_encode(key) +
         "&com=" + web::form_encode(courier) + "&nu=" + web::form_encode(tracking_no) +
         "&valicode=&show=3&muti=1&order=desc";
}

TrackingLimits TrackingLimits::from(const app::Settings& settings) {
  TrackingLimits limits;
  const Text section = gbk("tracking");
  limits.reuse_minutes =
      settings.read_number(gbk("reuse_minutes"), section, limits.reuse_minutes, 0, 7 * 24 * 60);
  limits.min_interval_ms =
      settings.read_number(gbk("min_interval_ms"), section, limits.min_interval_ms, 0, 60000);
  return limits;
}

void query_tracking(app::Context& ctx) {
  app::Form& form = ctx.form;
  const ServiceSettings service = save_service_settings(ctx);
  const int row = form.selected_row(app::kOrderList);
  const app::RowKey row_key = form.row_key(app::kOrderList, row);
  const Text order_id = row_key ? form.cell(app::kOrderList, row, app::kColId) : Text();
  Text tracking_no =
      row_key ? web::trim_spaces(form.cell(app::kOrderList, row, app::kColTrackingNo)) : Text();
  if (tracking_no.empty()) tracking_no = journal_tracking_no(ctx, order_id);
  if (tracking_no.empty()) {  // the service would only be asked about nothing
    form.message_box(gbk("该订单没有快递单号"));
    return;
  }
  const Text courier = courier_for(ctx, order_id, service.courier);
  const Text url = tracking_url(ctx.hosts.tracking, service.key, courier, tracking_no);

  const Text reply = web::page_text(app::wait_for_request(ctx, url));
  if (row_key) form.set_cells_by_key(app::kOrderList, row_key, app::kColTrackingInfo, {reply});
  const TrackingReply parsed = parse_tracking_reply(web::gbk_to_utf8(reply));
  remember(ctx, tracking_no, courier, reply, parsed, std::time(nullptr));
  if (form.is_checked("选择框1")) show_reply(form, tracking_no, courier, reply, parsed);
}

std::vector<ParcelResult> query_listed_parcels(app::Context& ctx) {
  app::Form& form = ctx.form;
  const ServiceSettings service = save_service_settings(ctx);
  const TrackingLimits limits = TrackingLimits::from(ctx.settings);
  app::TableLock::Hold hold(ctx.table->lock, form);
  const app::TableSnapshot table = app::read_order_rows(form);

  std::vector<std::size_t> with_numbers;
  for (std::size_t r = 0; r < table.rows.size(); ++r)
    if (!web::trim_spaces(app::cell_of(table.rows[r], app::kColTrackingNo)).empty()) with_numbers.push_back(r);

  std::vector<ParcelResult> results;
  std::optional<std::chrono::steady_clock::time_point> last_request;
  form.set_progress(2);
  for (std::size_t i = 0; i < with_numbers.size(); ++i) {
    const app::OrderRow& row = table.rows[with_numbers[i]];
    ParcelResult p;
    p.order_no = app::cell_of(row, app::kColOrderNo);
    p.order_id = app::cell_of(row, app::kColId);
    p.tracking_no = web::trim_spaces(app::cell_of(row, app::kColTrackingNo));
    const Text courier = courier_for(ctx, p.order_id, service.courier);
    p.courier = web::gbk_to_utf8(courier);

    const std::time_t now = std::time(nullptr);
    std::optional<store::StoredReply> recent;
    if (database_usable(ctx))
      recent = store::TrackingReplies(*ctx.database, app::shop_of(ctx))
                   .recent(web::gbk_to_utf8(p.tracking_no), now - limits.reuse_minutes * 60);
    if (recent) {
      p.reply = web::utf8_to_gbk(recent->reply);
      p.cached = true;
      p.parsed = parse_tracking_reply(recent->reply);
    } else {
      if (last_request)
        std::this_thread::sleep_until(*last_request +
                                      std::chrono::milliseconds(limits.min_interval_ms));
      last_request = std::chrono::steady_clock::now();
      p.reply = web::page_text(
          web::http_request(tracking_url(ctx.hosts.tracking, service.key, courier, p.tracking_no), 0,
                            {}, nullptr, nullptr, nullptr, nullptr, false, nullptr, {}, nullptr,
                            ctx.http));
      p.parsed = parse_tracking_reply(web::gbk_to_utf8(p.reply));
      remember(ctx, p.tracking_no, courier, p.reply, p.parsed, now);
    }
    p.problem = problem_of(p.parsed, now);
    form.set_cells_by_key(app::kOrderList, table.keys[with_numbers[i]], app::kColTrackingInfo,
                          {p.reply});
    form.set_progress(static_cast<int>((i + 1) * 100 / with_numbers.size()));
    // In words as well: at a request a second a long list takes minutes.
    form.show_status(gbk("物流 ") + std::to_string(i + 1) + "/" +
                     std::to_string(with_numbers.size()));
    results.push_back(std::move(p));
  }
  return results;
}

Text parcels_report(const std::vector<ParcelResult>& parcels) {
  if (parcels.empty()) return gbk("列表里没有带快递单号的订单，没有查询");
  std::map<std::string, int> by_state;
  int cached = 0;
  std::vector<const ParcelResult*> problems;
  for (const ParcelResult& p : parcels) {
    std::string group;
    switch (p.parsed.kind) {
      case TrackingReply::Kind::Readable:
        group = state_name(p.parsed.state);
        if (group.empty()) group = "状态未给出";
        break;
      case TrackingReply::Kind::Error: group = "查询出错"; break;
      case TrackingReply::Kind::Unreadable: group = "回复看不懂"; break;
    }
    ++by_state[group];
    cached += p.cached;
    if (!p.problem.empty()) problems.push_back(&p);
  }
  std::string text = "查询了" + std::to_string(parcels.size()) + "个包裹";
  if (cached) text += "（" + std::to_string(cached) + "个刚查过，用的是上次的结果）";
  text += "：";
  bool first = true;
  for (const auto& [state, count] : by_state) {
    text += (first ? "" : "，") + state + " " + std::to_string(count) + "个";
    first = false;
  }
  if (problems.empty()) return web::utf8_to_gbk(text + "\r\n没有需要留意的包裹。");
  text += "\r\n需要留意的包裹（" + std::to_string(problems.size()) + "个）：";
  constexpr std::size_t kNamed = 20;
  for (std::size_t i = 0; i < problems.size() && i < kNamed; ++i)
    text += "\r\n订单号 " + web::gbk_to_utf8(problems[i]->order_no) + "，快递单号 " +
            web::gbk_to_utf8(problems[i]->tracking_no) + "：" + problems[i]->problem;
  if (problems.size() > kNamed) text += "\r\n……";
  return web::utf8_to_gbk(text);
}

void query_all_tracking(app::Context& ctx) {
  ctx.form.message_box(parcels_report(query_listed_parcels(ctx)));
}

Text tracking_cell_summary(const Text& cell) {
  if (cell.empty()) return {};
  return web::utf8_to_gbk(tracking_summary(parse_tracking_reply(web::gbk_to_utf8(cell))));
}

Text tracking_cell_text(const Text& cell) {
  if (cell.empty()) return {};
  const TrackingReply reply = parse_tracking_reply(web::gbk_to_utf8(cell));
  if (reply.kind == TrackingReply::Kind::Error && !reply.message.empty())
    return web::utf8_to_gbk(reply.message);
  if (reply.kind != TrackingReply::Kind::Readable) return cell;
  std::string text = tracking_summary(reply);
  for (const TrackingEvent& e : reply.events) text += "\n" + e.time + "  " + e.context;
  return web::utf8_to_gbk(text);
}

}  // namespace fulfilment
