// weihe-cli archive: the order archive kept on this machine, without a login:
// search it, read old exports into it, forget old orders.
#include "archive/archive_workbooks.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "core/archive_keeping.h"
#include "core/columns.h"
#include "store/order_archive.h"

namespace cli {

namespace {

// A session whose archive can be used, or nothing with the reason said.
std::unique_ptr<Session> archive_session(const SessionOptions& options) {
  auto session = local_session(options);
  if (session && !session->database().ok()) {
    session->form().say(session->database().error(), true);
    return nullptr;
  }
  return session;
}

std::string order_json_line(const store::ArchivedOrder& o, std::size_t serial) {
  std::vector<std::string> cells(o.cells.begin(), o.cells.end());
  cells[0] = std::to_string(serial);
  if (cells[app::kColTrackingInfo].empty()) cells[app::kColTrackingInfo] = o.tracking_reply;
  Json line = Json::object();
  const auto columns = app::order_columns();
  for (std::size_t c = 0; c < columns.size(); ++c) line[columns[c].key] = cells[c];
  line["items"] = items_json(o.items);
  line["first_seen"] = archive::seen_time_text(o.first_seen);
  line["last_seen"] = archive::seen_time_text(o.last_seen);
  Json states = Json::array();
  for (const auto& s : o.states)
    states.push_back({{"state", s.state}, {"seen", archive::seen_time_text(s.seen)}});
  line["states"] = states;
  if (!o.shipped_courier.empty())
    line["shipment"] = {{"courier", o.shipped_courier}, {"time", o.shipped_time}};
  return json_line(line);
}

}  // namespace

int run_archive_search(const SessionOptions& options, const ArchiveSearchOptions& search) {
  if (search.format == "xlsx" && search.output.empty()) {
    std::fprintf(stderr, "weihe-cli archive search: --format xlsx needs -o FILE\n");
    return kUsage;
  }
  if (!search.since.empty() && !search.until.empty() && search.until < search.since) {
    std::fprintf(stderr, "weihe-cli archive search: --until is before --since\n");
    return kUsage;
  }
  auto session = archive_session(options);
  if (!session) return kFailed;
  // One shop's orders when a shop is named (or each in turn); else every shop's.
  const std::string shop =
      options.shop.empty() && !options.all_shops ? std::string() : app::shop_of(session->ctx());
  store::ArchiveQuery query{search.text, state_text(search.state), search.since, search.until, shop,
                            search.limit};
  std::string error;
  const std::vector<store::ArchivedOrder> found = session->archive().search(query, &error);
  if (!error.empty()) {
    session->form().say("查不了订单存档：" + error, true);
    return kFailed;
  }
  if (search.format == "xlsx") {
    const std::string why = archive::write_orders(search.output, found);
    if (why.empty()) return kDone;
    session->form().say("写不了文件 " + search.output + "：" + why, true);
    return kFailed;
  }
  Output out(search.output);
  const auto columns = app::order_columns();
  if (search.format == "tsv") out.line(tsv_header(columns) + "\tfirst_seen\tlast_seen");
  for (std::size_t i = 0; i < found.size(); ++i) {
    const store::ArchivedOrder& o = found[i];
    if (search.format == "tsv") {
      std::vector<std::string> cells(o.cells.begin(), o.cells.end());
      cells[0] = std::to_string(i + 1);
      cells.push_back(archive::seen_time_text(o.first_seen));
      cells.push_back(archive::seen_time_text(o.last_seen));
      out.line(tsv_line(cells));
    } else {
      out.line(tagged_with_shop(order_json_line(o, i + 1), options));
    }
  }
  return finish_output(out, session->form());
}

int run_archive_import(const SessionOptions& options, const std::vector<std::string>& files) {
  auto session = archive_session(options);
  if (!session) return kFailed;
  const archive::ImportCounts counts = archive::import_workbooks(session->ctx(), files);
  for (const std::string& failure : counts.failures) session->form().say(failure, true);
  session->form().say("存入订单存档：" + std::to_string(counts.orders) + " 笔（" +
                          std::to_string(counts.files_read) + " 个文件），没有ID而跳过的行：" +
                          std::to_string(counts.without_id),
                      false);
  Output out("");
  out.line(json_line({{"files", counts.files_read},
                      {"orders", counts.orders},
                      {"without_id", counts.without_id},
                      {"failed_files", counts.failures.size()}}));
  const int written = finish_output(out, session->form());
  return counts.failures.empty() ? written : kFailed;
}

int run_archive_forget(const SessionOptions& options, const std::string& before) {
  auto session = archive_session(options);
  if (!session) return kFailed;
  std::string error;
  const auto forgotten = session->archive().forget_before(before, &error);
  if (!forgotten) {
    session->form().say("没有清除：" + error, true);
    return kFailed;
  }
  Output out("");
  out.line(json_line({{"before", before}, {"forgotten", *forgotten}}));
  return finish_output(out, session->form());
}

}  // namespace cli
