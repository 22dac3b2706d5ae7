// weihe-cli journal: the shipping journal kept on this machine, newest first.
// It needs no login: after a crash it is read while the back office may be away.
// With --reconcile it logs in and settles the entries whose outcome is unknown
// by looking at their orders' pages, and prints those entries as they now stand.
#include "cli/commands.h"
#include "core/archive_keeping.h"
#include "cli/output.h"
#include "exchange/workbook_writer.h"
#include "fulfilment/doubtful_shipments.h"
#include "fulfilment/shipping.h"
#include "store/shipping_journal.h"

namespace cli {

namespace {

constexpr const char* kKeys[] = {"time",        "batch",     "id",      "order_no", "courier",
                                 "tracking_no", "sender_id", "outcome", "message",  "station"};

std::vector<std::string> cells_of(const store::Shipment& s) {
  return {s.time,        s.batch,     s.order_id, s.order_no, s.courier,
          s.tracking_no, s.sender_id, s.outcome,  s.message,  s.station};
}

}  // namespace

int run_journal(const SessionOptions& options, const JournalOptions& journal) {
  if (journal.format == "xlsx" && journal.output.empty()) {
    std::fprintf(stderr, "weihe-cli journal: --format xlsx needs -o FILE\n");
    return kUsage;
  }
  auto session = journal.reconcile ? logged_in_session(options) : local_session(options);
  if (!session) return kFailed;
  CliForm& form = session->form();
  if (!session->database().ok()) {
    form.say(session->database().error(), true);
    return kFailed;
  }
  const std::vector<store::Shipment> entries =
      journal.reconcile ? fulfilment::settle_unknown_shipments(session->ctx())
                        : store::ShippingJournal(session->database(), app::shop_of(session->ctx())).entries(journal.since);
  if (journal.reconcile) form.say("核对了" + std::to_string(entries.size()) + "笔结果不明的发货");
  const std::vector<std::string> keys(std::begin(kKeys), std::end(kKeys));

  if (journal.format == "xlsx") {
    std::vector<std::vector<std::string>> rows;
    for (const auto& e : entries) rows.push_back(cells_of(e));
    const std::string why = exchange::write_workbook(journal.output, keys, rows);
    if (!why.empty()) form.say("写不了 " + journal.output + "：" + why, true);
    return why.empty() ? kDone : kFailed;
  }
  Output out(journal.output);
  if (journal.format == "tsv") out.line(tsv_line(keys));
  for (const auto& e : entries) {
    const std::vector<std::string> cells = cells_of(e);
    if (journal.format == "tsv") {
      out.line(tsv_line(cells));
      continue;
    }
    Json line = Json::object();
    for (std::size_t k = 0; k < keys.size(); ++k) line[keys[k]] = cells[k];
    out.line(json_line(line));
  }
  return finish_output(out, form);
}

}  // namespace cli
