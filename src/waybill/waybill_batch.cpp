#include "waybill/waybill_batch.h"

#include <algorithm>
#include <optional>

#include "core/archive_keeping.h"
#include "core/table_snapshot.h"
#include "fulfilment/batch_check.h"
#include "store/waybill_journal.h"
#include "waybill/account.h"
#include "waybill/couriers.h"

namespace waybill {

namespace {

using web::gbk;

bool starts_with(const app::Text& text, const char* utf8) {
  const app::Text prefix = gbk(utf8);
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Why the row cannot get a waybill now (system text); empty when it can.
app::Text refusal_of(const app::OrderRow& row, store::WaybillJournal* journal) {
  using app::cell_of;
  if (web::trim_spaces(cell_of(row, app::kColId)).empty()) return gbk("没有订单ID");
  if (fulfilment::shows_shipped(row)) return gbk("已经发过货");
  if (journal) {
    const std::optional<store::WaybillRecord> live =
        journal->live(web::gbk_to_utf8(cell_of(row, app::kColId)));
    if (live && (live->state == "unknown" || live->state == "sending"))
      return gbk("面单不明：上次取号没有收到回答，请先核对面单");
  }
  // Rows without details get them fetched first; known details must be whole.
  const bool has_details = !web::trim_spaces(cell_of(row, app::kColGoods)).empty() ||
                           !web::trim_spaces(cell_of(row, app::kColConsignee)).empty();
  if (has_details) {
    if (web::trim_spaces(cell_of(row, app::kColConsignee)).empty()) return gbk("没有收货人");
    if (web::trim_spaces(cell_of(row, app::kColPhone)).empty()) return gbk("没有收货人电话");
    if (web::trim_spaces(cell_of(row, app::kColAddress)).empty()) return gbk("没有收货地址");
  }
  return {};
}

const std::string kNoNumber;

std::unique_ptr<Provider> provider_for(app::Context& ctx, const Account& account,
                                       std::string* why) {
  return make_provider(account, http_post(&ctx), why);
}

}  // namespace

WaybillPlan plan_waybills(app::Context& ctx, const std::vector<app::RowKey>& keys) {
  WaybillPlan plan;
  const Account account = read_account(ctx.settings);
  plan.provider = account.provider;
  plan.courier = account.courier;
  plan.courier_name = courier_name(account.provider, account.courier);
  if (std::string problem = account_problem(account); !problem.empty()) {
    plan.refusal = std::move(problem);
    return plan;
  }
  if (!ctx.database) {
    plan.refusal = "没有面单记录数据库，为了不重复取号，不取号";
    return plan;
  }
  store::WaybillJournal journal(*ctx.database, app::shop_of(ctx));
  app::Form& form = ctx.form;
  const std::vector<app::OrderRow> rows = form.rows(app::kOrderList);
  const std::vector<app::RowKey> all = form.row_keys(app::kOrderList);
  for (std::size_t r = 0; r < rows.size() && r < all.size(); ++r) {
    const bool chosen = keys.empty() ? !fulfilment::shows_shipped(rows[r])
                                     : std::find(keys.begin(), keys.end(), all[r]) != keys.end();
    if (!chosen) continue;
    ++plan.total;
    const app::Text why_not = refusal_of(rows[r], &journal);
    if (why_not.empty()) {
      plan.ready.push_back(all[r]);
    } else {
      plan.problems.push_back({app::cell_of(rows[r], app::kColOrderNo),
                               app::cell_of(rows[r], app::kColTrackingNo), why_not, false});
    }
  }
  return plan;
}

app::Text waybill_status(const WaybillOutcome& o) {
  if (o.shipped) return {};
  if (o.result == "unknown") return gbk("面单不明");
  if (!o.waybill.empty()) return gbk("已取号");
  if (o.result == "refused" || o.result == "failed")
    return gbk("取号失败：") + web::utf8_to_gbk(o.reason);
  return {};
}

std::vector<WaybillOutcome> order_and_show(app::Context& ctx, const std::vector<app::RowKey>& keys,
                                           bool ship) {
  const Account account = read_account(ctx.settings);
  std::string why;
  std::unique_ptr<Provider> provider = provider_for(ctx, account, &why);
  if (!provider || keys.empty()) {
    if (!why.empty()) ctx.form.show_failure(web::utf8_to_gbk(why));
    return {};
  }
  std::vector<WaybillOutcome> done = order_waybills(ctx, *provider, account, keys, {.ship = ship});
  app::Form& form = ctx.form;
  for (const WaybillOutcome& o : done) {
    if (o.order_id.empty()) continue;
    for (const int row :
         form.rows_where(app::kOrderList, app::kColId, web::utf8_to_gbk(o.order_id))) {
      const app::RowKey key = form.row_key(app::kOrderList, row);
      if (!o.waybill.empty())
        form.set_cells_by_key(app::kOrderList, key, app::kColTrackingNo,
                              {web::utf8_to_gbk(o.waybill)});
      if (const app::Text status = waybill_status(o); !status.empty())
        form.set_cells_by_key(app::kOrderList, key, app::kColShipStatus, {status});
    }
  }
  return done;
}

void mark_printed(app::Context& ctx, const std::vector<WaybillOutcome>& outcomes) {
  if (!ctx.database) return;
  store::WaybillJournal journal(*ctx.database, app::shop_of(ctx));
  std::string ignored;
  // A reprint knows the order, not its record: the live one is the one printed.
  for (const WaybillOutcome& o : outcomes) {
    if (o.waybill.empty() || o.shipped) continue;
    std::int64_t record = o.record;
    if (!record)
      if (const auto live = journal.live(o.order_id); live && live->waybill.number == o.waybill)
        record = live->id;
    if (record) journal.set_state(record, "printed", &ignored);
  }
}

}  // namespace waybill

namespace waybill {

namespace {

// Writes `number` (when given) and `status` on the order's rows.
void show_on_rows(app::Form& form, const std::string& order_id, const std::string* number,
                  const char* status) {
  for (const int row : form.rows_where(app::kOrderList, app::kColId, web::utf8_to_gbk(order_id))) {
    const app::RowKey key = form.row_key(app::kOrderList, row);
    if (starts_with(form.cell(app::kOrderList, row, app::kColShipStatus), "发货成功")) continue;
    if (number)
      form.set_cells_by_key(app::kOrderList, key, app::kColTrackingNo, {web::utf8_to_gbk(*number)});
    form.set_cells_by_key(app::kOrderList, key, app::kColShipStatus, {gbk(status)});
  }
}

}  // namespace

CancelResult cancel_waybill(Provider& provider, store::WaybillJournal& journal,
                            const std::string& order_id, const std::string& reason, bool force) {
  using Kind = CancelResult::Kind;
  CancelResult result;
  const std::optional<store::WaybillRecord> live = journal.live(order_id);
  if (!live || live->waybill.number.empty()) {
    result.kind = live && live->state == "unknown" ? Kind::Unsettled : Kind::NoWaybill;
    result.reason = "订单 " + order_id + " 没有可以取消的面单" +
                    (result.kind == Kind::Unsettled ? "（面单不明：请先核对）" : "");
    return result;
  }
  result.number = live->waybill.number;
  if (live->state == "shipped" && !force) {
    result.kind = Kind::Shipped;
    result.reason = "订单 " + order_id + " 已经用这张面单发货了";
    return result;
  }
  WaybillRequest request;
  request.order_id = live->order_id;
  request.order_no = live->order_no;
  request.courier = live->courier;
  const CancelAnswer answer = provider.cancel(request, waybill_of(live->waybill), reason);
  if (answer.cancelled) {
    std::string error;
    journal.set_state(live->id, "cancelled", &error, "取消：" + reason);
    result.kind = Kind::Cancelled;
    return result;
  }
  result.kind = answer.unknown ? Kind::NoAnswer : Kind::Refused;
  result.reason = answer.reason;
  return result;
}

bool cancel_order_waybill(app::Context& ctx, const std::string& order_id, std::string* said) {
  const Account account = read_account(ctx.settings);
  std::string why;
  std::unique_ptr<Provider> provider = provider_for(ctx, account, &why);
  if (!provider || !ctx.database) {
    *said = (provider ? std::string("没有面单记录数据库") : why) + "（没有取消）";
    return false;
  }
  store::WaybillJournal journal(*ctx.database, app::shop_of(ctx));
  const CancelResult r = cancel_waybill(*provider, journal, order_id, "不需要了", false);
  switch (r.kind) {
    case CancelResult::Kind::Cancelled:
      *said = "面单 " + r.number + " 已取消";
      show_on_rows(ctx.form, order_id, &kNoNumber, "面单已取消");
      return true;
    case CancelResult::Kind::Shipped:
      *said = r.reason + "，没有取消";
      return false;
    case CancelResult::Kind::NoAnswer:
      *said = "面单账户没有回答，不知道面单 " + r.number + " 取消了没有：" + r.reason;
      return false;
    case CancelResult::Kind::Refused:
      *said = "面单账户没有取消面单 " + r.number + "：" + r.reason;
      return false;
    default:
      *said = r.reason;
      return false;
  }
}

bool settle_order_waybill(app::Context& ctx, const std::string& order_id, const std::string& number,
                          std::string* said) {
  if (!ctx.database) {
    *said = "没有面单记录数据库";
    return false;
  }
  store::WaybillJournal journal(*ctx.database, app::shop_of(ctx));
  std::string error;
  const bool done = number.empty() ? journal.resolve_none(order_id, &error)
                                   : journal.resolve_number(order_id, number, &error);
  if (!done) {
    *said = error;
    return false;
  }
  if (number.empty()) {
    *said = "已记下：订单 " + order_id + " 没有取到面单，可以重新取号";
    show_on_rows(ctx.form, order_id, &kNoNumber, "");
  } else {
    *said = "已记下：订单 " + order_id + " 的面单是 " + number;
    show_on_rows(ctx.form, order_id, &number, "已取号");
  }
  return true;
}

std::pair<bool, std::string> probe_account(const Account& account, Post post) {
  std::string why;
  std::unique_ptr<Provider> provider = make_provider(account, std::move(post), &why);
  if (!provider) return {false, why};
  WaybillRequest request;
  request.order_id = "0";
  request.order_no = "WEIHE-TEST-0000";
  request.courier = account.courier;
  Waybill made_up;
  made_up.number = "TEST0000000000";
  made_up.courier_order = "WEIHE-TEST-0000";
  const CancelAnswer a = provider->cancel(request, made_up, "测试");
  if (a.unknown) return {false, "面单账户没有回答：" + a.reason};
  // The codes of a signature or key the provider does not accept.
  const bool credentials = a.code == "30002" || a.code == "30003" || a.code == "102";
  if (credentials) return {false, a.reason};
  const bool not_found = a.code == "30009" || (provider->name() == "kdniao" && a.code == "105");
  if (a.cancelled || not_found)
    return {true, "面单账户有回答，key 和签名都对（测试单号查无此单，没有取任何面单）"};
  return {false, "面单账户答：" + a.reason};
}

app::Text account_courier(app::Context& ctx) {
  const Account account = read_account(ctx.settings);
  if (account.provider.empty()) return {};
  const std::string mall = mall_courier(account.provider, account.courier);
  return web::utf8_to_gbk(mall.empty() ? account.courier : mall);
}

printing::LabelData order_label(app::Context& ctx, const std::string& order_id) {
  if (!ctx.database) return {};
  store::WaybillJournal journal(*ctx.database, app::shop_of(ctx));
  const std::optional<store::WaybillRecord> live = journal.live(order_id);
  if (!live || live->waybill.number.empty()) return {};
  return reprint_label(*live);
}

}  // namespace waybill
