#include "fulfilment/shipping.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>
#include <re2/re2.h>

#include "core/archive_keeping.h"
#include "fulfilment/batch_check.h"
#include "fulfilment/doubtful_shipments.h"
#include "core/table_snapshot.h"
#include "store/shipping_journal.h"
#include "web/http.h"
#include "web/request_pool.h"

namespace fulfilment {

using web::gbk;

namespace {

constexpr std::string_view kCourierBox = "编辑框12";
constexpr std::string_view kAddressBox = "编辑框13";
constexpr std::string_view kTrackingBox = "编辑框14";

// Marks the contexts whose batch is running, so a second batch on the same
// order list is refused instead of shipping every row twice.
class BatchGuard {
 public:
  explicit BatchGuard(const app::Context& ctx) : m_ctx(&ctx) {
    std::lock_guard lock(mutex());
    m_acquired = running().insert(m_ctx).second;
  }
  ~BatchGuard() {
    if (!m_acquired) return;
    std::lock_guard lock(mutex());
    running().erase(m_ctx);
  }
  BatchGuard(const BatchGuard&) = delete;
  BatchGuard& operator=(const BatchGuard&) = delete;

  bool acquired() const { return m_acquired; }

  static bool is_running(const app::Context& ctx) {
    std::lock_guard lock(mutex());
    return running().count(&ctx) > 0;
  }

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static std::set<const app::Context*>& running() {
    static std::set<const app::Context*> s;
    return s;
  }

  const app::Context* m_ctx;
  bool m_acquired = false;
};

void tell_batch_running(app::Context& ctx) {
  ctx.form.message_box(gbk("批量发货正在进行中，请等这一批发完后再开始新的一批"));
}

// The message for a missing courier code or address id; empty when both are there.
Text missing_input_message(const Text& courier, const Text& address_id) {
  if (courier.empty()) return gbk("请填写发货快递");
  if (address_id.empty()) return gbk("请先获取发货地址ID");
  return {};
}

bool starts_with(const Text& text, const char* utf8) {
  const Text prefix = gbk(utf8);
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Why shipping must not start: the journal exists but cannot be written, so
// a shipment would go out unrecorded. Empty when shipping may go on.
Text journal_refusal(app::Context& ctx) {
  if (!ctx.database || ctx.database->ok()) return {};
  return gbk("发货记录写不进去，为了不让发货没有记录，这次没有发货：\r\n") +
         web::utf8_to_gbk(ctx.database->error());
}

// Shows why shipping must not start, if it must not; true when it may.
bool shipping_may_start(app::Context& ctx) {
  const Text refusal = shipping_refusal(ctx);
  if (!refusal.empty()) ctx.form.message_box(refusal);
  return refusal.empty();
}

// One shipment as it is recorded in the journal and sent.
struct Shipment {
  Text order_id, order_no, courier, tracking, address_id;
  std::string batch;  // empty for one order shipped on its own
};

// Records `s` in `journal` (null: no journal) as about to go out, once this
// station holds the order's claim: its entry, or false with `why` when the
// order is another station's (`held` set) or the journal cannot take it
// (then nothing is sent).
bool record_shipment(store::ShippingJournal* journal, const Shipment& s,
                     std::optional<std::int64_t>* entry, Text* why, bool* held = nullptr) {
  if (!journal) return true;
  store::Shipment record;
  record.batch = s.batch;
  record.order_id = web::gbk_to_utf8(s.order_id);
  record.order_no = web::gbk_to_utf8(s.order_no);
  record.courier = web::gbk_to_utf8(s.courier);
  record.tracking_no = web::gbk_to_utf8(s.tracking);
  record.sender_id = web::gbk_to_utf8(s.address_id);
  const store::Claim claim = journal->claim(record.order_id);
  if (claim.outcome != store::Claim::Ours) {
    const bool elsewhere = claim.outcome == store::Claim::Held;
    if (held) *held = elsewhere;
    *why = gbk(elsewhere ? "没有发货：" : "发货记录写不进去，没有再发货：") + web::utf8_to_gbk(claim.said);
    return false;
  }
  std::string error;
  *entry = journal->begin(record, &error);
  if (!*entry) *why = gbk("发货记录写不进去，没有再发货：") + web::utf8_to_gbk(error);
  return entry->has_value();
}

// Completes the entry with the reply; in a batch off the request's path
// (see finish_soon). A failed completion leaves the entry "unknown": the
// truth is told at the next start.
void record_outcome(store::ShippingJournal* journal, std::optional<std::int64_t> entry,
                    const ShipReply& reply, bool in_batch) {
  if (!journal || !entry) return;
  const std::optional<int> status =
      reply.http_status > 0 ? std::optional<int>(reply.http_status) : std::nullopt;
  const std::string message = web::gbk_to_utf8(reply.message);
  std::string ignored;
  if (reply.unknown)  // still in doubt after looking: the entry stays "unknown", with what was seen
    journal->settle(*entry, "unknown", message, &ignored);
  else if (in_batch)
    journal->finish_soon(*entry, reply.shipped, message, status);
  else
    journal->finish(*entry, reply.shipped, message, status, &ignored);
}

EarlierShipments earlier_shipments(app::Context& ctx) {
  if (!ctx.database) return {};
  store::ShippingJournal journal(*ctx.database, app::shop_of(ctx));
  return {journal.order_ids("shipped"), journal.order_ids("unknown"), journal.shipped_numbers(),
          journal.other_stations()};
}

}  // namespace

Text reply_message(const Text& reply) {
  const std::string utf8 = web::gbk_to_utf8(web::trim_spaces(reply));
  const auto json = nlohmann::json::parse(utf8, nullptr, false);
  if (json.is_object()) {
    for (const char* key : {"msg", "message"}) {
      const auto it = json.find(key);
      if (it != json.end() && it->is_string()) return web::utf8_to_gbk(it->get<std::string>());
    }
  }
  static const RE2 tag("<[^>]*>");
  static const RE2 blanks(R"(\s+)");
  std::string plain = utf8;
  RE2::GlobalReplace(&plain, tag, " ");
  RE2::GlobalReplace(&plain, blanks, " ");
  return web::trim_spaces(web::utf8_to_gbk(plain));
}

std::vector<RowVerdict> check_rows(app::Context& ctx, const std::vector<app::OrderRow>& rows) {
  return check_batch(rows, ctx.form.text(kCourierBox), earlier_shipments(ctx),
                     CourierPatterns::installed(ctx.settings.path()));
}

RowVerdict check_shipment(app::Context& ctx, int row, const Text& tracking) {
  std::vector<app::OrderRow> rows = ctx.form.rows(app::kOrderList);
  if (row < 0 || row >= static_cast<int>(rows.size()))
    return {Verdict::NoOrderId, gbk("没有选中订单，或这一行已经不在表格里了")};
  app::OrderRow& shipped = rows[row];
  shipped.resize(std::max<std::size_t>(shipped.size(), app::kColTrackingNo + 1));
  shipped[app::kColTrackingNo] = web::trim_spaces(tracking);
  return check_single(rows, static_cast<std::size_t>(row), ctx.form.text(kCourierBox),
                      earlier_shipments(ctx), CourierPatterns::installed(ctx.settings.path()));
}

Text read_from_address_id(std::string_view body) {
  // Converted to GB18030 first: searching the raw UTF-8 would step over a link
  // that directly follows a Chinese character and take the next address.
  const Text page = web::utf8_to_gbk(web::bytes_to_text(body));
  return web::text_between(page, "<a data-url=\"/user-address/del?id=", "\"");
}

std::vector<app::SenderAddress> read_sender_addresses(std::string_view body) {
  const Text page = web::utf8_to_gbk(web::bytes_to_text(body));
  const Text link = "<a data-url=\"/user-address/del?id=";
  static const RE2 tag("<[^>]*>");
  static const RE2 blanks(R"(\s+)");
  std::vector<app::SenderAddress> found;
  std::size_t after_previous = 0;  // where the previous link's id ended
  for (std::size_t at; (at = page.find(link, after_previous)) != Text::npos;) {
    const std::size_t id_start = at + link.size();
    const std::size_t id_end = page.find('"', id_start);
    if (id_end == Text::npos) break;
    // The address is what its table row (or list item) shows before the
    // link; a page without rows gives no text.
    std::optional<std::size_t> row;
    for (const char* opening : {"<tr", "<li", "<TR", "<LI"}) {
      const std::size_t open = page.rfind(opening, at);
      if (open != Text::npos && open >= after_previous) row = std::max(row.value_or(0), open);
    }
    std::string text = row ? web::gbk_to_utf8(page.substr(*row, at - *row)) : std::string();
    RE2::GlobalReplace(&text, tag, " ");
    RE2::GlobalReplace(&text, blanks, " ");
    found.push_back({page.substr(id_start, id_end - id_start),
                     web::trim_spaces(web::utf8_to_gbk(text))});
    after_previous = id_end;
  }
  return found;
}

std::string ship_body(const Text& courier, const Text& tracking, const Text& address_id,
                      const Text& order_id) {
  return "deliver_explain=&address=&shipping_express_name=" + web::form_encode(courier) +
         "&shipping_code=" + web::form_encode(tracking) +
         "&from_address_id=" + web::form_encode(address_id) +
         "&order_id=" + web::form_encode(order_id);
}

bool is_shipped_reply(const Text& reply) {
  return web::find_text(reply, gbk("操作成功")) != -1;
}

void fetch_from_address_id(app::Context& ctx) {
  const web::Bytes body = app::wait_for_request(ctx, ctx.backoffice_url("/user-address/list"));
  ctx.form.set_text(kAddressBox, read_from_address_id(body));
  ctx.form.set_sender_addresses(read_sender_addresses(body));
}

std::vector<app::SenderAddress> request_sender_addresses(app::Context& ctx) {
  return read_sender_addresses(
      app::wait_for_request(ctx, ctx.backoffice_url("/user-address/list")));
}

const app::SenderAddress* chosen_address(const std::vector<app::SenderAddress>& addresses,
                                         const Text& chosen) {
  const auto it = std::find_if(addresses.begin(), addresses.end(),
                               [&](const app::SenderAddress& a) { return a.id == chosen; });
  return it != addresses.end() ? &*it : addresses.empty() ? nullptr : &addresses.front();
}

void fetch_sender_addresses(app::Context& ctx) {
  const std::vector<app::SenderAddress> addresses = request_sender_addresses(ctx);
  const Text chosen = ctx.form.text(kAddressBox);
  const app::SenderAddress* sender = chosen_address(addresses, chosen);
  if (!sender) return;
  if (sender->id != chosen) ctx.form.set_text(kAddressBox, sender->id);
  ctx.form.set_sender_addresses(addresses);
}

ShipReply send_shipment(app::Context& ctx, const Text& courier, const Text& tracking,
                        const Text& address_id, const Text& order_id) {
  web::HttpOutcome outcome;
  std::uint64_t sent_with = 0;
  auto send = [&] {
    auto out = ctx.session_gate.request();
    sent_with = ctx.csrf_token.version();
    Text headers = "X-CSRF-Token: " + ctx.csrf_token.get();
    return web::http_request(ctx.backoffice_url("/order/send"), 1,
                             ship_body(courier, tracking, address_id, order_id), nullptr, nullptr,
                             &headers, nullptr, false, nullptr, {}, &outcome, ctx.http);
  };
  web::Bytes body = send();
  // Answered with the login form, the shipment was not taken: after a quiet
  // login (new token) it is sent once more. Any other answer is final.
  if (ctx.renew_if_expired && ctx.renew_if_expired(web::page_text(body), sent_with)) body = send();
  ShipReply result;
  result.reply = web::page_text(body);
  result.shipped = is_shipped_reply(result.reply);
  result.message = reply_message(result.reply);
  result.http_status = static_cast<int>(outcome.status);
  result.retry_after = outcome.retry_after;
  return result;
}

Text shipping_refusal(app::Context& ctx) {
  const Text missing =
      missing_input_message(ctx.form.text(kCourierBox), ctx.form.text(kAddressBox));
  return missing.empty() ? journal_refusal(ctx) : missing;
}

RowShipment ship_row(app::Context& ctx, int row, const Text& tracking) {
  app::Form& form = ctx.form;
  // The key, not the index, names the row: the table may change while the
  // request is out.
  const app::RowKey key = form.row_key(app::kOrderList, row);
  Shipment shipment;
  shipment.order_id = form.cell(app::kOrderList, row, app::kColId);
  shipment.order_no = form.cell(app::kOrderList, row, app::kColOrderNo);
  shipment.courier = form.text(kCourierBox);
  shipment.address_id = form.text(kAddressBox);
  shipment.tracking = tracking;

  RowShipment result;
  result.key = key;
  if (!key) {  // never a shipment without its order's id
    result.refused = gbk("没有发货：这一行已经不在表格里了");
    return result;
  }
  form.wait([&] {
    std::optional<store::ShippingJournal> journal;
    if (ctx.database) journal.emplace(*ctx.database, app::shop_of(ctx));
    store::ShippingJournal* j = journal ? &*journal : nullptr;
    std::optional<std::int64_t> entry;
    result.sent = record_shipment(j, shipment, &entry, &result.refused);
    if (!result.sent) return;
    result.reply = send_shipment(ctx, shipment.courier, shipment.tracking, shipment.address_id,
                                 shipment.order_id);
    if (in_doubt(result.reply, false))
      look_at_order_page(ctx, shipment.order_id, shipment.tracking, &result.reply);
    record_outcome(j, entry, result.reply, false);
  });
  return result;
}

Text status_word(const RowShipment& shipment) {
  return gbk(shipment.reply.shipped ? "发货成功" : shipment.reply.unknown ? "发货不明" : "发货失败");
}

void show_outcome(app::Form& form, app::RowKey key, const Text& status, bool shipped) {
  form.set_cells_by_key(app::kOrderList, key, app::kColShipStatus, {status});
  if (shipped) form.set_cells_by_key(app::kOrderList, key, app::kColState, {gbk("待收货")});
}

RowVerdict ship_selected_order(app::Context& ctx) {
  if (!shipping_may_start(ctx)) return {};
  app::Form& form = ctx.form;
  int row = form.selected_row(app::kOrderList);
  const app::RowKey key = form.row_key(app::kOrderList, row);
  const Text number = web::trim_spaces(form.text(kTrackingBox));
  const RowVerdict verdict = check_shipment(ctx, row, number);
  switch (single_check(verdict)) {
    case SingleCheck::Refuse:
      form.message_box(gbk("没有发货：") + verdict.reason);
      return verdict;
    case SingleCheck::Ask:
      if (form.message_box(gbk("这一单") + verdict.reason + gbk("。\r\n确定还要发货吗？"), gbk("询问"),
                           app::Buttons::YesNo) != app::Answer::Yes)
        return verdict;
      // The table may have changed while the question was open.
      row = form.row_of_key(app::kOrderList, key);
      if (row < 0) {
        form.message_box(gbk("没有发货：这一单已经不在表格里了（表格刚刷新过）"));
        return verdict;
      }
      break;
    case SingleCheck::Ship:
      break;
  }
  const RowShipment result = ship_row(ctx, row, number);
  if (!result.sent) {
    form.message_box(result.refused);
    return verdict;
  }
  const Text status = status_word(result);
  const Text& why = result.reply.message;
  const int shipped_row = form.row_of_key(app::kOrderList, result.key);
  const Text said =
      status + gbk("：订单 ") + form.cell(app::kOrderList, shipped_row, app::kColOrderNo);
  if (result.reply.shipped)
    form.show_status(said);
  else
    form.show_failure(said);
  form.message_box(status + "\r\n" + (why.empty() && !result.reply.shipped ? gbk("后台没有回答") : why));
  // Written once the message is closed, to the row that was shipped: the
  // number sent and the outcome.
  if (result.key) {
    form.set_cells_by_key(app::kOrderList, result.key, app::kColTrackingNo, {number});
    show_outcome(form, result.key, status, result.reply.shipped);
  }
  if (result.reply.shipped && ctx.after_batch) ctx.after_batch();  // 待发货 and 待收货 as they now are
  return verdict;
}

namespace {

enum class Rows { All, Failed };

// The batch over every row, or over the rows whose last shipment failed:
// checked first, asked about when not all rows are ready, then shipped row
// by row with each shipment in the journal.
void ship_rows(app::Context& ctx, Rows which) {
  BatchGuard guard(ctx);
  if (!guard.acquired()) {
    tell_batch_running(ctx);
    return;
  }
  if (!shipping_may_start(ctx)) return;
  app::Form& form = ctx.form;
  Text stopped;  // why the batch ended early, if it did
  bool cancelled = false;  // by the merchant, before anything was sent
  int shipped = 0, failed = 0, skipped = 0;
  {
    // Imports and list fetches wait until the batch is through, so the rows
    // read here stay the rows being shipped.
    app::TableLock::Hold hold(ctx.table->lock, form);
    app::TableSnapshot table = app::read_order_rows(form);
    if (which == Rows::Failed) {
      app::TableSnapshot failed_rows;
      for (std::size_t r = 0; r < table.rows.size(); ++r) {
        if (!starts_with(app::cell_of(table.rows[r], app::kColShipStatus), "发货失败")) continue;
        failed_rows.rows.push_back(std::move(table.rows[r]));
        failed_rows.keys.push_back(table.keys[r]);
      }
      table = std::move(failed_rows);
    }

    const std::vector<RowVerdict> verdicts = check_rows(ctx, table.rows);
    app::BatchChoice choice = app::BatchChoice::ReadyOnly;
    if (!all_ready(verdicts)) {
      std::vector<app::BatchProblem> problems;
      int ready = 0;
      for (std::size_t r = 0; r < verdicts.size(); ++r) {
        if (verdicts[r].verdict == Verdict::Ready) {
          ++ready;
          continue;
        }
        problems.push_back({app::cell_of(table.rows[r], app::kColOrderNo),
                            app::cell_of(table.rows[r], app::kColTrackingNo), verdicts[r].reason,
                            verdicts[r].warned()});
      }
      choice = form.ask_batch(ready, static_cast<int>(verdicts.size()), problems);
      cancelled = choice == app::BatchChoice::Cancel;
      if (cancelled) stopped = gbk("批量发货已取消，没有发出任何发货请求");
    }

    const std::string batch = store::new_batch_id();
    // Each entry is its own short transaction: the window's other
    // connections and another weihe-cli on the same file read and write
    // between them while the batch runs.
    std::optional<store::ShippingJournal> journal;
    if (ctx.database) journal.emplace(*ctx.database, app::shop_of(ctx));
    store::ShippingJournal* j = journal ? &*journal : nullptr;
    // The shipments go out a few at once. This thread records each one
    // before it leaves and writes each outcome when it is back, so the
    // journal never holds more than the pool's width of "unknown" entries.
    const std::size_t n = table.rows.size();
    std::vector<std::optional<std::int64_t>> entries(n);
    std::vector<ShipReply> replies(n);
    web::RequestPool pool(app::parallel_requests(ctx.settings));
    std::size_t finished = 0;
    auto count_finished = [&] {
      ++finished;
      form.set_progress(static_cast<int>(finished * 100 / n));
      form.show_status(gbk("发货 ") + std::to_string(finished) + "/" + std::to_string(n));
    };
    std::vector<char> repeated(n, 0);
    auto take_next_finished = [&] {
      const std::size_t r = *pool.next_finished();
      ShipReply& result = replies[r];
      const bool doubtful = in_doubt(result, repeated[r]);
      if (doubtful) {
        look_at_order_page(ctx, app::cell_of(table.rows[r], app::kColId),
                           app::cell_of(table.rows[r], app::kColTrackingNo), &result);
      }
      record_outcome(j, entries[r], result, true);
      ++(result.shipped ? shipped : failed);
      const Text status = result.shipped  ? gbk("发货成功")
                          : result.unknown ? gbk("发货不明：") + result.message
                          : doubtful       ? gbk("发货失败") + result.message
                                           : gbk("发货失败") + result.reply;
      show_outcome(form, table.keys[r], status, result.shipped);
      count_finished();
    };
    if (stopped.empty()) form.set_progress(2);
    for (std::size_t r = 0; r < n && stopped.empty(); ++r) {
      const app::OrderRow& row = table.rows[r];
      if (!verdicts[r].ships(choice)) {
        // A row that says 发货成功 keeps saying it: the next batch must still see it shipped.
        if (!starts_with(app::cell_of(row, app::kColShipStatus), "发货成功"))
          form.set_cells_by_key(app::kOrderList, table.keys[r], app::kColShipStatus,
                                {gbk(verdicts[r].other_station ? "没有发货：" : "跳过：") + verdicts[r].reason});
        ++skipped;
        count_finished();
        continue;
      }
      while (pool.outstanding() >= static_cast<std::size_t>(pool.width())) take_next_finished();
      if (form.row_of_key(app::kOrderList, table.keys[r]) < 0) {
        ++skipped;  // the merchant deleted the row before its turn: not shipped
        count_finished();
        continue;
      }
      // Read per row: an edit made while the batch runs applies to the rows after it.
      // A box emptied meanwhile (or a closed window, whose boxes read empty)
      // ends the batch rather than ship the rest without a courier or sender.
      Shipment shipment{app::cell_of(row, app::kColId),      app::cell_of(row, app::kColOrderNo),
                        form.text(kCourierBox),              app::cell_of(row, app::kColTrackingNo),
                        form.text(kAddressBox),              batch};
      stopped = missing_input_message(shipment.courier, shipment.address_id);
      if (!stopped.empty()) break;
      bool held = false;
      if (!record_shipment(j, shipment, &entries[r], &stopped, &held)) {
        if (!held) break;
        // Another station has it: this one leaves the order alone and goes on.
        form.set_cells_by_key(app::kOrderList, table.keys[r], app::kColShipStatus, {stopped});
        stopped.clear();
        ++skipped;
        count_finished();
        continue;
      }
      pool.submit(r, [&ctx, &replies, &repeated, r, shipment](int attempt) {
        replies[r] = send_shipment(ctx, shipment.courier, shipment.tracking, shipment.address_id,
                                   shipment.order_id);
        repeated[r] = attempt > 0;
        return web::pool_answer(replies[r].http_status, replies[r].retry_after);
      });
    }
    while (pool.outstanding() > 0) take_next_finished();
    if (journal) journal->flush();  // every outcome recorded before the end is told
  }
  if (shipped > 0 && ctx.after_batch) ctx.after_batch();  // 待发货 and 待收货 as they now are
  const Text counts = gbk("成功") + std::to_string(shipped) + gbk("笔，失败") +
                      std::to_string(failed) + gbk("笔，跳过") + std::to_string(skipped) + gbk("笔");
  // Failed orders, or a batch that broke off, are failures; the reason a
  // batch broke off goes with them.
  if (failed > 0 || (!stopped.empty() && !cancelled))
    form.show_failure(gbk("批量发货：") +
                      (stopped.empty() || cancelled ? Text() : stopped + gbk("，")) + counts);
  else
    form.show_status(gbk("批量发货：") + counts);
  form.message_box((stopped.empty() ? gbk("发货完成，请检查是否发送成功！！！") : stopped) + "\r\n" +
                   counts);
}

}  // namespace

void ship_all_orders(app::Context& ctx) {
  ship_rows(ctx, Rows::All);
}

void retry_failed_shipments(app::Context& ctx) {
  ship_rows(ctx, Rows::Failed);
}

void confirm_and_ship_all(app::Context& ctx) {
  if (BatchGuard::is_running(ctx)) {
    tell_batch_running(ctx);
    return;
  }
  if (ctx.form.message_box(gbk("请确保已经导入过快递单号"), gbk("询问"), app::Buttons::YesNo) !=
      app::Answer::Yes)
    return;
  ctx.form.start_worker([&ctx] { ship_all_orders(ctx); });
}

}  // namespace fulfilment
