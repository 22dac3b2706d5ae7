#include "waybill/waybill_orders.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <re2/re2.h>

#include <algorithm>

#include <map>
#include <optional>
#include <set>

#include "core/archive_keeping.h"
#include "fulfilment/batch_check.h"
#include "fulfilment/shipping.h"
#include "printing/print_gathering.h"
#include "store/shipping_journal.h"
#include "waybill/address_split.h"
#include "waybill/couriers.h"
#include "web/request_pool.h"

namespace waybill {

namespace {

using web::gbk;

constexpr std::string_view kCourierBox = "编辑框12";
constexpr std::string_view kAddressBox = "编辑框13";
// Providers take about twenty requests a second; four at once stays well below.
constexpr int kAtOnce = 4;

std::string utf8(const web::Text& system_text) {
  return web::gbk_to_utf8(system_text);
}

QString qs(const std::string& utf8_text) {
  return QString::fromStdString(utf8_text);
}

// The chosen 发货地址 (编辑框13), else the first one the back office lists.
std::optional<Party> chosen_sender(app::Context& ctx) {
  const std::vector<app::SenderAddress> addresses = fulfilment::request_sender_addresses(ctx);
  const app::SenderAddress* sender = fulfilment::chosen_address(addresses, ctx.form.text(kAddressBox));
  if (!sender) return std::nullopt;
  return sender_from(utf8(sender->text));
}

// Why an order cannot be asked for, before anything is recorded; empty when it can.
std::string refusal_of(const Provider& provider, const WaybillRequest& r) {
  if (r.receiver.name.empty()) return "没有收货人";
  if (r.receiver.phone.empty()) return "没有收货人电话";
  if (r.receiver.address.empty()) return "没有收货地址";
  if (r.cargo.empty()) return "没有商品";
  // Kdniao wants province, city and district: an address that does not split is never guessed.
  if (provider.name() == "kdniao") {
    std::string why;
    if (!split_address(r.receiver.address, &why)) return "收货地址" + why;
    if (!split_address(r.sender.address, &why)) return "发货地址" + why;
  }
  return {};
}

}  // namespace

store::WaybillFields fields_of(const Waybill& w) {
  return {w.number,       w.task_id,      w.courier_order, w.big_pen,
          w.package_name, w.package_code, w.sorting_code};
}

Waybill waybill_of(const store::WaybillFields& f) {
  return {f.number,       f.task_id,      f.courier_order, f.big_pen,
          f.package_name, f.package_code, f.sorting_code};
}

Party sender_from(const std::string& line) {
  static const RE2 phone(R"((?:^|\s)(\+?[0-9][0-9\- ]{5,}[0-9])(?:\s|$))");
  Party p;
  re2::StringPiece input(line);
  std::string number;
  re2::StringPiece match;
  if (RE2::PartialMatch(input, phone, &number)) {
    const std::size_t at = line.find(number);
    p.name = web::gbk_to_utf8(web::trim_spaces(web::utf8_to_gbk(line.substr(0, at))));
    p.phone = number;
    p.address =
        web::gbk_to_utf8(web::trim_spaces(web::utf8_to_gbk(line.substr(at + number.size()))));
  } else {
    p.address = line;
  }
  return p;
}

std::string cargo_of(const std::vector<app::GoodsLine>& lines, int* count) {
  long long sum = 0;
  for (const app::GoodsLine& l : lines) sum += app::quantity_of(l.quantity).value_or(1);
  if (count) *count = static_cast<int>(std::clamp<long long>(sum, 1, 9999));
  if (lines.empty()) return {};
  std::string cargo = lines.front().goods;
  if (lines.size() > 1) cargo += "等" + std::to_string(lines.size()) + "件";
  return cargo;
}

printing::LabelData label_of(const store::WaybillRecord& record, const app::OrderRow& row,
                             const std::vector<app::GoodsLine>& lines, const Party& sender,
                             const std::string& courier_name) {
  printing::LabelData l;
  if (record.waybill.number.empty()) return l;
  const std::vector<app::GoodsLine> goods = app::lines_in_utf8(lines);
  l.courier_name = qs(courier_name.empty() ? record.courier : courier_name);
  l.waybill_number = qs(record.waybill.number);
  l.big_pen = qs(record.waybill.big_pen);
  l.package_name = qs(record.waybill.package_name);
  l.package_code = qs(record.waybill.package_code);
  l.sorting_code = qs(record.waybill.sorting_code);
  l.receiver_name = qs(utf8(app::cell_of(row, app::kColConsignee)));
  l.receiver_phone = qs(utf8(app::cell_of(row, app::kColPhone)));
  l.receiver_address = qs(utf8(app::cell_of(row, app::kColAddress)));
  l.sender_name = qs(sender.name);
  l.sender_phone = qs(sender.phone);
  l.sender_address = qs(sender.address);
  l.goods = qs(cargo_of(goods, &l.count));
  l.order_no = qs(record.order_no);
  return l;
}

std::string label_json(const printing::LabelData& l) {
  const QJsonObject o{{QStringLiteral("courier"), l.courier_name},
                      {QStringLiteral("receiver"), l.receiver_name},
                      {QStringLiteral("receiver_phone"), l.receiver_phone},
                      {QStringLiteral("receiver_address"), l.receiver_address},
                      {QStringLiteral("sender"), l.sender_name},
                      {QStringLiteral("sender_phone"), l.sender_phone},
                      {QStringLiteral("sender_address"), l.sender_address},
                      {QStringLiteral("goods"), l.goods},
                      {QStringLiteral("count"), l.count}};
  return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

printing::LabelData reprint_label(const store::WaybillRecord& record) {
  printing::LabelData l;
  if (record.waybill.number.empty()) return l;
  const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(record.label)).object();
  auto text = [&](const char* key) { return o.value(QLatin1String(key)).toString(); };
  l.courier_name = text("courier").isEmpty() ? qs(record.courier) : text("courier");
  l.waybill_number = qs(record.waybill.number);
  l.big_pen = qs(record.waybill.big_pen);
  l.package_name = qs(record.waybill.package_name);
  l.package_code = qs(record.waybill.package_code);
  l.sorting_code = qs(record.waybill.sorting_code);
  l.receiver_name = text("receiver");
  l.receiver_phone = text("receiver_phone");
  l.receiver_address = text("receiver_address");
  l.sender_name = text("sender");
  l.sender_phone = text("sender_phone");
  l.sender_address = text("sender_address");
  l.goods = text("goods");
  l.count = std::max(1, o.value(QLatin1String("count")).toInt(1));
  l.order_no = qs(record.order_no);
  return l;
}

std::vector<WaybillOutcome> order_waybills(app::Context& ctx, Provider& provider,
                                           const Account& account,
                                           const std::vector<app::RowKey>& keys,
                                           const WaybillRun& run) {
  app::Form& form = ctx.form;
  const std::string courier = account.courier;
  const std::string name = courier_name(provider.name(), courier);
  std::vector<WaybillOutcome> done;

  printing::PrintJob job =
      printing::gather_print_job(ctx, keys, printing::Document::PackingSlips, gbk("电子面单"));
  std::string refused_all;
  if (!ctx.database) refused_all = "没有面单记录数据库，为了不重复取号，不取号";
  const std::optional<Party> sender = refused_all.empty() ? chosen_sender(ctx) : std::nullopt;
  if (refused_all.empty() && !sender) refused_all = "后台没有发货地址，不知道寄件人";

  std::optional<store::WaybillJournal> journal;
  if (ctx.database) journal.emplace(*ctx.database, app::shop_of(ctx));
  std::set<std::string> shipped_ids;  // shipped by this program, with or without a waybill
  if (journal) {
    std::string ignored;
    journal->mark_interrupted(&ignored);
    shipped_ids = store::ShippingJournal(*ctx.database, app::shop_of(ctx)).order_ids("shipped");
  }

  // Orders left out for want of details are named, not asked for.
  for (const web::Text& no : job.left_out) {
    WaybillOutcome o;
    o.order_no = utf8(no);
    o.provider = provider.name();
    o.courier = courier;
    o.result = "refused";
    o.reason = "没有订单详情（收货人、地址），取不了面单";
    done.push_back(std::move(o));
  }

  struct Pending {
    std::size_t outcome;  // index into done
    std::int64_t record;
    bool repeat_of_unknown;
    WaybillRequest request;
    OrderAnswer answer;
  };
  std::vector<Pending> pending;
  std::map<std::size_t, std::size_t> row_of;  // outcome index -> order index in job
  for (std::size_t i = 0; i < job.orders.size(); ++i) {
    const printing::PrintOrder& order = job.orders[i];
    WaybillOutcome o;
    o.order_id = utf8(app::cell_of(order.row, app::kColId));
    o.order_no = utf8(printing::order_number_of(order.row));
    o.provider = provider.name();
    o.courier = courier;
    const std::size_t index = done.size();
    row_of[index] = i;
    WaybillRequest request;
    request.order_id = o.order_id;
    request.order_no = o.order_no;
    request.courier = courier;
    request.receiver = {utf8(web::trim_spaces(app::cell_of(order.row, app::kColConsignee))),
                        utf8(web::trim_spaces(app::cell_of(order.row, app::kColPhone))),
                        utf8(web::trim_spaces(app::cell_of(order.row, app::kColAddress)))};
    if (sender) request.sender = *sender;
    request.cargo = cargo_of(app::lines_in_utf8(order.lines), &request.count);

    if (!refused_all.empty()) {
      o.result = "refused";
      o.reason = refused_all;
      done.push_back(std::move(o));
      continue;
    }
    if (const std::optional<store::WaybillRecord> live = journal->live(o.order_id)) {
      o.record = live->id;
      if (live->state == "unknown" || live->state == "sending") {
        // Asked again only where a repeat cannot make a second waybill.
        if (live->state == "unknown" && provider.guarantees().refuses_repeated_order_code) {
          pending.push_back({index, live->id, true, request, {}});
          done.push_back(std::move(o));
          continue;
        }
        o.result = "unknown";
        o.reason = live->state == "sending"
                       ? "正在取号（另一个程序）"
                       : "上次取号没有收到回答，请先到面单账户核对（weihe-cli waybill resolve）";
      } else {
        o.result = "reused";
        o.waybill = live->waybill.number;
        o.shipped = live->state == "shipped";
      }
      done.push_back(std::move(o));
      continue;
    }
    // A waybill costs money: an order that has left has no use for one.
    if (fulfilment::shows_shipped(order.row) || shipped_ids.count(o.order_id)) {
      o.result = "refused";
      o.reason = "已经发过货，不取面单";
      done.push_back(std::move(o));
      continue;
    }
    if (std::string why = refusal_of(provider, request); !why.empty()) {
      o.result = "refused";
      o.reason = std::move(why);
      done.push_back(std::move(o));
      continue;
    }
    pending.push_back({index, 0, false, request, {}});
    done.push_back(std::move(o));
  }

  // Each attempt is recorded before it leaves; at most kAtOnce are out.
  web::RequestPool pool(kAtOnce);
  std::size_t finished = 0;
  const std::size_t total = pending.size();
  auto settle = [&](Pending& p) {
    WaybillOutcome& o = done[p.outcome];
    std::string error;
    const OrderAnswer& a = p.answer;
    if (a.outcome == Outcome::Ordered) {
      o.result = "ordered";
      o.waybill = a.waybill.number;
      if (!journal->finish_ordered(p.record, fields_of(a.waybill), a.raw, &error))
        o.reason = "面单已取到，但记录没有写进去：" + error;
    } else if (p.repeat_of_unknown) {
      // A repeat refused (as a duplicate or otherwise) says nothing of the first attempt.
      o.result = "unknown";
      o.reason = "上次取号没有收到回答，再问时面单账户说：" + a.reason + "；请到面单账户核对";
    } else if (a.outcome == Outcome::Refused) {
      o.result = "failed";
      o.reason = a.reason;
      journal->finish_failed(p.record, a.reason, a.raw, &error);
    } else {
      o.result = "unknown";
      o.reason = "没有收到面单账户的回答（" + a.reason + "），不会自动再取号，请到面单账户核对";
      journal->finish_unknown(p.record, a.reason, a.raw, &error);
    }
    ++finished;
    form.show_status(gbk("面单 ") + std::to_string(finished) + "/" + std::to_string(total));
  };
  for (std::size_t k = 0; k < pending.size(); ++k) {
    Pending& p = pending[k];
    while (pool.outstanding() >= static_cast<std::size_t>(pool.width()))
      settle(pending[*pool.next_finished()]);
    if (!p.repeat_of_unknown) {
      std::string error;
      bool elsewhere = false;
      const std::optional<store::WaybillRecord> record =
          journal->begin(p.request.order_id, p.request.order_no, provider.name(), courier, &error, &elsewhere);
      if (!record) {
        done[p.outcome].result = "refused";
        done[p.outcome].reason = (elsewhere ? "没有取号：" : "面单记录写不进去，没有取号：") + error;
        continue;
      }
      p.record = record->id;
      done[p.outcome].record = record->id;
    }
    // Never sent twice by the pool: a busy answer is an answer like any other.
    pool.submit(k, [&provider, &p](int) {
      p.answer = provider.order(p.request);
      return web::PoolAnswer{};
    });
  }
  while (pool.outstanding() > 0) settle(pending[*pool.next_finished()]);

  // Labels from the journal, as a reprint draws them.
  for (std::size_t index = 0; index < done.size(); ++index) {
    WaybillOutcome& o = done[index];
    if (o.waybill.empty() || !row_of.count(index)) continue;
    const std::optional<store::WaybillRecord> record = journal->live(o.order_id);
    if (!record) continue;
    o.record = record->id;
    const printing::PrintOrder& order = job.orders[row_of[index]];
    o.label = label_of(*record, order.row, order.lines, *sender, name);
    std::string error;
    if (record->label.empty()) journal->set_label(record->id, label_json(o.label), &error);
  }

  if (run.ship) {
    const std::string mall = mall_courier(provider.name(), courier);
    form.set_text(kCourierBox, web::utf8_to_gbk(mall));
    for (std::size_t index = 0; index < done.size(); ++index) {
      WaybillOutcome& o = done[index];
      if (o.waybill.empty() || o.shipped || !row_of.count(index)) continue;
      const app::RowKey key = job.orders[row_of[index]].key;
      const int row = form.row_of_key(app::kOrderList, key);
      if (row < 0) {
        o.ship_reason = "这一单已经不在表格里了";
        continue;
      }
      const web::Text number = web::utf8_to_gbk(o.waybill);
      const fulfilment::RowVerdict verdict = fulfilment::check_shipment(ctx, row, number);
      if (fulfilment::single_check(verdict) != fulfilment::SingleCheck::Ship) {
        o.ship_reason = utf8(verdict.reason);
        continue;
      }
      form.set_cells_by_key(app::kOrderList, key, app::kColTrackingNo, {number});
      const fulfilment::RowShipment shipment = fulfilment::ship_row(ctx, row, number);
      if (!shipment.sent) {
        o.ship_reason = utf8(shipment.refused);
        continue;
      }
      fulfilment::show_outcome(form, shipment.key, fulfilment::status_word(shipment),
                               shipment.reply.shipped);
      o.shipped = shipment.reply.shipped;
      if (!o.shipped)
        o.ship_reason =
            utf8(fulfilment::status_word(shipment)) + "：" + utf8(shipment.reply.message);
      std::string error;
      if (o.shipped) journal->set_state(o.record, "shipped", &error);
    }
  }
  return done;
}

}  // namespace waybill
