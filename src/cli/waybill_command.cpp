// weihe-cli waybill: e-waybills (电子面单) from the merchant's e-waybill
// account. `order` gets each order's waybill (reusing the one it has, never a
// second), writes or prints the labels and, with --ship, ships each order with
// its number. `list`, `cancel`, `resolve` and `print` work on the waybill
// journal kept on this machine.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <set>

#include "cli/commands.h"
#include "cli/offscreen.h"
#include "cli/output.h"
#include "core/archive_keeping.h"
#include "fulfilment/shipping.h"
#include "printing/label.h"
#include "store/waybill_journal.h"
#include "waybill/account.h"
#include "waybill/couriers.h"
#include "waybill/waybill_batch.h"
#include "waybill/waybill_orders.h"

namespace cli {

namespace {

// The labels to a PDF file and/or a printer (CUPS, through lp); false with the reason said.
bool put_labels(CliForm& form, const std::vector<printing::LabelData>& labels,
                const WaybillOptions& options, printing::Paper paper, bool mask_phone) {
  if (labels.empty() || (options.output.empty() && options.printer.empty())) return true;
  QString error;
  if (!options.output.empty() && !printing::write_labels_pdf(QString::fromStdString(options.output),
                                                             labels, paper, mask_phone, &error)) {
    form.say(error.toStdString(), true);
    return false;
  }
  if (!options.printer.empty()) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("labels.pdf"));
    if (!dir.isValid() || !printing::write_labels_pdf(file, labels, paper, mask_phone, &error)) {
      form.say("面单没有打印：" + error.toStdString(), true);
      return false;
    }
    QProcess lp;
    lp.start(QStringLiteral("lp"),
             {QStringLiteral("-d"), QString::fromStdString(options.printer), file});
    if (!lp.waitForStarted(10000)) {
      form.say("面单没有打印：找不到打印命令 lp（请安装 cups-client）", true);
      return false;
    }
    if (!lp.waitForFinished(60000) || lp.exitStatus() != QProcess::NormalExit ||
        lp.exitCode() != 0) {
      form.say("面单没有打印：打印机 " + options.printer + " 不接受（" +
                   QString::fromLocal8Bit(lp.readAllStandardError()).trimmed().toStdString() + "）",
               true);
      return false;
    }
  }
  form.say("面单：" + std::to_string(labels.size()) + "张" +
           (options.output.empty() ? "" : "，已写入 " + options.output) +
           (options.printer.empty() ? "" : "，已送打印机 " + options.printer));
  return true;
}

printing::Paper paper_of(const WaybillOptions& options) {
  return printing::paper_named(options.paper).value_or(printing::Paper::Label100x150);
}

Json record_json(const store::WaybillRecord& r) {
  return {{"id", r.order_id},
          {"order_no", r.order_no},
          {"provider", r.provider},
          {"courier", r.courier},
          {"attempt", r.attempt},
          {"state", r.state},
          {"waybill", r.waybill.number},
          {"message", r.message},
          {"created", r.created},
          {"updated", r.updated}};
}

int run_order(const SessionOptions& options, const WaybillOptions& w) {
  const auto application = offscreen_application(Painting::Fonts);
  auto session = local_session(options);
  if (!session) return kFailed;
  // The account is checked before the login: without it nothing is asked of anyone.
  const waybill::Account account = waybill::read_account(session->settings());
  std::string why;
  auto provider = waybill::make_provider(account, waybill::http_post(&session->ctx()), &why);
  if (!provider) {
    session->form().say(why + "（没有取任何面单）", true);
    return kFailed;
  }
  if (!session->log_in()) return kFailed;
  app::Context& ctx = session->ctx();
  CliForm& form = session->form();
  if (!session->database().ok()) {
    form.say("面单记录数据库用不了，为了不重复取号，不取号：" + session->database().error(), true);
    return kFailed;
  }
  if (!fetch_order_list(*session, w.orders.empty() ? w.state : "all")) return kFailed;
  if (!w.orders.empty()) {
    const std::set<app::Text> wanted = [&] {
      std::set<app::Text> ids;
      for (const std::string& id : w.orders) ids.insert(web::utf8_to_gbk(id));
      return ids;
    }();
    for (int r = form.row_count(app::kOrderList) - 1; r >= 0; --r)
      if (!wanted.count(form.cell(app::kOrderList, r, app::kColId)))
        form.delete_row(app::kOrderList, r);
    for (const std::string& id : w.orders) {
      bool found = false;
      for (int r = 0; r < form.row_count(app::kOrderList) && !found; ++r)
        found = form.cell(app::kOrderList, r, app::kColId) == web::utf8_to_gbk(id);
      if (!found) form.say("没有ID为 " + id + " 的订单（总订单里找不到）", true);
    }
  }
  if (form.row_count(app::kOrderList) == 0) {
    form.say("没有要取面单的订单", true);
    return w.orders.empty() ? kDone : kFailed;
  }
  fulfilment::fetch_from_address_id(ctx);  // the sender, and the address id shipping sends

  const std::vector<waybill::WaybillOutcome> done =
      waybill::order_waybills(ctx, *provider, account, {}, {.ship = w.ship});
  Output out("");
  std::vector<printing::LabelData> labels;
  bool all = true;
  for (const waybill::WaybillOutcome& o : done) {
    Json line{{"id", o.order_id},     {"order_no", o.order_no}, {"provider", o.provider},
              {"courier", o.courier}, {"waybill", o.waybill},   {"result", o.result},
              {"reason", o.reason}};
    if (w.ship) {
      line["shipped"] = o.shipped;
      if (!o.ship_reason.empty()) line["ship_reason"] = o.ship_reason;
    }
    out.line(json_line(line));
    if (!o.label.waybill_number.isEmpty()) labels.push_back(o.label);
    all = all && !o.waybill.empty() && (!w.ship || o.shipped);
  }
  const bool put =
      put_labels(form, labels, w, paper_of(w), printing::masks_phone(session->settings()));
  if (put && (!w.output.empty() || !w.printer.empty())) {
    store::WaybillJournal journal(session->database(), app::shop_of(ctx));
    std::string ignored;
    for (const waybill::WaybillOutcome& o : done)
      if (o.record && !o.waybill.empty() && !o.shipped)
        journal.set_state(o.record, "printed", &ignored);
  }
  const int written = finish_output(out, form);
  if (written != kDone) return written;
  const bool none = std::none_of(done.begin(), done.end(), [](const waybill::WaybillOutcome& o) {
    return !o.waybill.empty();
  });
  if (none && std::all_of(done.begin(), done.end(),
                          [](const waybill::WaybillOutcome& o) { return o.result == "refused"; }))
    return kFailed;
  return all && put ? kDone : kSomeRowsFailed;
}

int run_list(const SessionOptions& options, const WaybillOptions& w) {
  auto session = local_session(options);
  if (!session) return kFailed;
  if (!session->database().ok()) {
    session->form().say(session->database().error(), true);
    return kFailed;
  }
  store::WaybillJournal journal(session->database(), app::shop_of(session->ctx()));
  Output out("");
  for (const store::WaybillRecord& r : journal.entries(w.result))
    out.line(json_line(record_json(r)));
  return finish_output(out, session->form());
}

int run_resolve(const SessionOptions& options, const WaybillOptions& w) {
  auto session = local_session(options);
  if (!session) return kFailed;
  store::WaybillJournal journal(session->database(), app::shop_of(session->ctx()));
  std::string error;
  const std::string& id = w.orders.front();
  const bool done =
      w.none ? journal.resolve_none(id, &error) : journal.resolve_number(id, w.waybill, &error);
  if (!done) {
    session->form().say(error, true);
    return kFailed;
  }
  session->form().say(w.none ? "已记下：订单 " + id + " 没有取到面单，可以重新取号"
                             : "已记下：订单 " + id + " 的面单是 " + w.waybill);
  return kDone;
}

int run_cancel(const SessionOptions& options, const WaybillOptions& w) {
  auto session = local_session(options);
  if (!session) return kFailed;
  CliForm& form = session->form();
  const waybill::Account account = waybill::read_account(session->settings());
  std::string why;
  auto provider = waybill::make_provider(account, waybill::http_post(&session->ctx()), &why);
  if (!provider) {
    form.say(why + "（没有取消）", true);
    return kFailed;
  }
  store::WaybillJournal journal(session->database(), app::shop_of(session->ctx()));
  const std::string& id = w.orders.front();
  const std::string reason = w.reason.empty() ? std::string("不需要了") : w.reason;
  using Kind = waybill::CancelResult::Kind;
  const waybill::CancelResult r = waybill::cancel_waybill(*provider, journal, id, reason, w.force);
  if (r.kind == Kind::NoWaybill || r.kind == Kind::Unsettled) {
    form.say(r.kind == Kind::Unsettled
                 ? "订单 " + id + " 没有可以取消的面单（面单不明：先用 waybill resolve 核对）"
                 : r.reason,
             true);
    return kFailed;
  }
  if (r.kind == Kind::Shipped) {
    form.say(r.reason + "；确实要取消，加 --force", true);
    return kSomeRowsFailed;
  }
  Output out("");
  Json line{{"id", id}, {"waybill", r.number}};
  if (r.kind == Kind::Cancelled) {
    line["result"] = "cancelled";
  } else {
    line["result"] = r.kind == Kind::NoAnswer ? "unknown" : "failed";
    line["reason"] = r.reason;
  }
  out.line(json_line(line));
  const int written = finish_output(out, form);
  return written != kDone ? written : r.kind == Kind::Cancelled ? kDone : kSomeRowsFailed;
}

int run_reprint(const SessionOptions& options, const WaybillOptions& w) {
  const auto application = offscreen_application(Painting::Fonts);
  auto session = local_session(options);
  if (!session) return kFailed;
  CliForm& form = session->form();
  store::WaybillJournal journal(session->database(), app::shop_of(session->ctx()));
  std::vector<printing::LabelData> labels;
  bool all = true;
  for (const std::string& id : w.orders) {
    const std::optional<store::WaybillRecord> live = journal.live(id);
    if (!live || live->waybill.number.empty()) {
      form.say("订单 " + id + " 没有面单，没有打印", true);
      all = false;
      continue;
    }
    labels.push_back(waybill::reprint_label(*live));
  }
  if (labels.empty()) return kFailed;
  if (!put_labels(form, labels, w, paper_of(w), printing::masks_phone(session->settings())))
    return kFailed;
  return all ? kDone : kSomeRowsFailed;
}

}  // namespace

int run_waybill(const SessionOptions& options, const WaybillOptions& w) {
  if (w.action == "order") return run_order(options, w);
  if (w.action == "list") return run_list(options, w);
  if (w.action == "resolve") return run_resolve(options, w);
  if (w.action == "cancel") return run_cancel(options, w);
  if (w.action == "print") return run_reprint(options, w);
  return kUsage;
}

}  // namespace cli
