#include "exchange/import.h"

#include "exchange/export.h"
#include "exchange/workbook_reader.h"

namespace exchange {

namespace {

bool blank(const web::Text& text) {
  return web::remove_spaces(text).empty();
}

}  // namespace

std::vector<app::OrderRow> orders_from_sheet(const Sheet& sheet, int width) {
  int titles = 0;
  while (titles < kMaxColumns && !blank(web::utf8_to_gbk(sheet.cell(0, titles)))) ++titles;

  std::vector<app::OrderRow> rows;
  if (titles == 0) return rows;
  width = std::max(width, 0);
  for (std::int64_t r = 1;; ++r) {
    app::OrderRow row(static_cast<size_t>(width));
    web::Text joined;
    for (int c = 0; c < titles; ++c) {
      web::Text text = web::utf8_to_gbk(sheet.cell(r, c));
      joined += text;
      if (c < width) row[c] = std::move(text);
    }
    if (blank(joined)) break;
    rows.push_back(std::move(row));
  }
  return rows;
}

std::map<std::string, std::vector<store::GoodsLine>> goods_lines_from_sheet(const Sheet& sheet) {
  std::map<std::string, std::vector<store::GoodsLine>> lines;
  std::map<std::string, int> column;
  for (int c = 0; c < kMaxColumns; ++c) column.emplace(sheet.cell(0, c), c);
  if (!column.contains("ID")) return lines;
  auto cell = [&](std::int64_t r, const char* title) -> std::string {
    const auto it = column.find(title);
    return it == column.end() ? std::string() : sheet.cell(r, it->second);
  };
  const auto rows = static_cast<std::int64_t>(sheet.leading_rows());
  for (std::int64_t r = 1; r < rows; ++r) {
    const std::string id = cell(r, "ID");
    if (id.find_first_not_of(" \t") == std::string::npos) continue;
    lines[id].push_back(
        {cell(r, "商品"), cell(r, "数量"), cell(r, "规格"), cell(r, "单价"), cell(r, "小计")});
  }
  return lines;
}

web::Text single_dropped_path(const web::Text& paths, bool& several) {
  several = false;
  web::Text found;
  std::size_t start = 0;
  while (start < paths.size()) {
    std::size_t end = paths.find_first_of("\r\n", start);
    if (end == std::string::npos) end = paths.size();
    if (end > start) {
      if (!found.empty()) {
        several = true;
        return {};
      }
      found = paths.substr(start, end - start);
    }
    start = end + 1;
  }
  return found;
}

void import_orders(app::Context& ctx, const web::Text& paths) {
  app::Form& form = ctx.form;
  bool several = false;
  const web::Text path = single_dropped_path(paths, several);
  auto refuse = [&](const web::Text& shown_path, const std::string& why) {
    web::Text message = web::gbk("导入失败，订单列表没有改动。");
    if (!shown_path.empty()) message += "\r\n" + shown_path;
    form.message_box(message + "\r\n" + web::gbk("原因：") + web::utf8_to_gbk(why));
  };
  if (several) return refuse({}, "一次只能导入一个文件，请只拖入一个Excel表格");
  if (path.empty()) return refuse({}, "没有收到文件");

  ReadLimits limits;
  limits.tick = [&form] { form.process_events(); };
  ReadResult workbook = read_workbook(web::gbk_to_utf8(path), limits);
  if (!workbook.ok()) return refuse(path, workbook.error);

  std::size_t imported = 0;
  {
    app::TableLock::Hold hold(ctx.table->lock, form, app::TableLock::ui_patience());
    if (!hold.owns()) return app::tell_table_busy(form);
    const int width = form.column_count(app::kOrderList);
    const std::vector<app::OrderRow> rows = orders_from_sheet(workbook.sheet, width);
    form.replace_rows(app::kOrderList, rows);
    imported = rows.size();
  }
  // An export of this program carries every goods line on its second sheet.
  const ReadResult lines = read_named_sheet(web::gbk_to_utf8(path), kGoodsLinesSheet, limits);
  for (const auto& [id, order_lines] : goods_lines_from_sheet(lines.sheet))
    ctx.goods_lines.set(web::utf8_to_gbk(id), app::lines_in_system_text(order_lines));
  form.message_box(web::gbk("你已经成功导入了") + std::to_string(imported) + web::gbk("行数据！"));
}

}  // namespace exchange
