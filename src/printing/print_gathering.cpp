#include "printing/print_gathering.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "backoffice/order_details.h"
#include "core/archive_keeping.h"
#include "core/table_snapshot.h"

namespace printing {

using web::gbk;
using web::Text;

namespace {

std::vector<std::size_t> chosen(const app::TableSnapshot& table, const std::vector<app::RowKey>& keys) {
  const std::unordered_set<app::RowKey> wanted(keys.begin(), keys.end());
  std::vector<std::size_t> rows;
  for (std::size_t r = 0; r < table.rows.size(); ++r)
    if (keys.empty() || wanted.count(table.keys[r])) rows.push_back(r);
  return rows;
}

}  // namespace

bool printable(Document document, const app::OrderRow& row, const std::vector<app::GoodsLine>& lines) {
  if (lines.empty()) return false;
  if (document == Document::PickList) return true;
  return !app::cell_of(row, app::kColConsignee).empty() || !app::cell_of(row, app::kColAddress).empty();
}

PrintJob gather_print_job(app::Context& ctx, std::vector<app::RowKey> keys, Document document,
                          Text source, bool fetch_missing) {
  PrintJob job;
  job.document = document;
  job.source = std::move(source);
  job.store_name = ctx.store_name.get();
  job.logo = ctx.store_logo.get();
  // Each chosen row's lines are looked up once (the archive may be asked);
  // only the rows whose details are fetched below are looked up again.
  std::unordered_map<app::RowKey, std::vector<app::GoodsLine>> known;
  std::vector<app::RowKey> missing;
  auto table = [&] {
    app::TableLock::Hold hold(ctx.table->lock, ctx.form);
    return app::read_order_rows(ctx.form);
  }();
  for (std::size_t r : chosen(table, keys)) {
    std::vector<app::GoodsLine> lines = app::known_goods_lines(ctx, table.rows[r]);
    if (printable(document, table.rows[r], lines))
      known.emplace(table.keys[r], std::move(lines));
    else
      missing.push_back(table.keys[r]);
  }
  if (fetch_missing && !missing.empty()) {
    backoffice::fetch_order_details(ctx, missing);
    app::TableLock::Hold hold(ctx.table->lock, ctx.form);
    table = app::read_order_rows(ctx.form);  // rows deleted meanwhile are not printed
  }
  for (std::size_t r : chosen(table, keys)) {
    const app::OrderRow& row = table.rows[r];
    auto found = known.find(table.keys[r]);
    std::vector<app::GoodsLine> lines =
        found != known.end() ? std::move(found->second) : app::known_goods_lines(ctx, row);
    if (printable(document, row, lines))
      job.orders.push_back({row, std::move(lines), table.keys[r]});
    else
      job.left_out.push_back(order_number_of(row));
  }
  return job;
}

Text left_out_sentence(const PrintJob& job) {
  if (job.left_out.empty()) return {};
  Text names;
  const std::size_t shown = std::min<std::size_t>(job.left_out.size(), 20);
  for (std::size_t i = 0; i < shown; ++i) names += (i ? gbk("、") : Text()) + job.left_out[i];
  if (shown < job.left_out.size()) names += gbk("等");
  return std::to_string(job.left_out.size()) + gbk("笔订单没有详情，没有打印：") + names;
}

}  // namespace printing
