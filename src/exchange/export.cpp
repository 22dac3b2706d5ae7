#include "exchange/export.h"

#include <QDateTime>
#include <QStandardPaths>
#include <QString>
#include <mutex>

#include "core/table_snapshot.h"
#include "exchange/sheet.h"
#include "exchange/workbook_writer.h"

namespace exchange {

namespace {

// The path chosen at the last export of this run (system text).
std::mutex g_last_path_mutex;
web::Text g_last_path;

// Which cells lost their end (a workbook cell holds 32,767 characters): row
// numbers as the table shows them (序号), column titles; the first 20 named.
web::Text cut_cells_message(const std::vector<CutCell>& cut, const std::vector<std::string>& titles) {
  constexpr std::size_t kNamed = 20;
  std::string text = "以下单元格超过32767个字符，导出时只保留了前32767个字符：";
  for (std::size_t i = 0; i < cut.size() && i < kNamed; ++i) {
    const CutCell& c = cut[i];
    text += "\r\n第" + std::to_string(c.row + 1) + "行 " +
            (c.column < static_cast<int>(titles.size()) ? titles[c.column] : std::string()) +
            "（第" + std::to_string(c.column + 1) + "列）";
  }
  if (cut.size() > kNamed) text += "\r\n……共" + std::to_string(cut.size()) + "个单元格";
  return web::utf8_to_gbk(text);
}

}  // namespace

NamedSheet empty_goods_lines_sheet() {
  return {kGoodsLinesSheet, {"订单号", "ID", "商品", "数量", "规格", "单价", "小计"}, {}};
}

void add_goods_lines(NamedSheet& sheet, const std::string& order_no, const std::string& id,
                     const std::vector<store::GoodsLine>& lines) {
  for (const store::GoodsLine& l : lines)
    sheet.rows.push_back({order_no, id, l.goods, l.quantity, l.variant, l.unit_price, l.line_total});
}

NamedSheet goods_lines_sheet(app::Context& ctx, const std::vector<app::OrderRow>& rows) {
  NamedSheet sheet = empty_goods_lines_sheet();
  for (const app::OrderRow& row : rows)
    add_goods_lines(sheet, web::gbk_to_utf8(app::cell_of(row, app::kColOrderNo)),
                    web::gbk_to_utf8(app::cell_of(row, app::kColId)),
                    app::lines_in_utf8(ctx.goods_lines_of_table_row
                                           ? ctx.goods_lines_of_table_row(row)
                                           : app::goods_lines_of_row(ctx.goods_lines, row)));
  return sheet;
}

std::filesystem::path desktop_folder() {
  std::error_code ec;
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  if (!desktop.isEmpty()) {
    std::filesystem::path p(desktop.toStdString());
    if (std::filesystem::is_directory(p, ec)) return p;
  }
  const QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
  return std::filesystem::path(home.toStdString());
}

std::filesystem::path export_folder() {
  {
    std::lock_guard lock(g_last_path_mutex);
    if (!g_last_path.empty()) {
      std::filesystem::path folder =
          std::filesystem::path(web::gbk_to_utf8(g_last_path)).parent_path();
      if (!folder.empty()) return folder;
    }
  }
  return desktop_folder();
}

void remember_export_path(const web::Text& path) {
  std::lock_guard lock(g_last_path_mutex);
  g_last_path = path;
}

web::Text suggested_export_path() {
  // A name with the date and time a merchant recognises, "订单_2026-12-09_1402.xlsx".
  const std::filesystem::path folder = export_folder();
  const std::string name =
      "订单_" + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HHmm")).toStdString() +
      ".xlsx";
  return web::utf8_to_gbk((folder / name).string());
}

void export_orders(app::Context& ctx) {
  app::Form& form = ctx.form;
  std::vector<std::string> titles;
  std::vector<std::vector<std::string>> rows;
  NamedSheet lines;
  {
    app::TableLock::Hold hold(ctx.table->lock, form, app::TableLock::ui_patience());
    if (!hold.owns()) return app::tell_table_busy(form);
    const int columns = std::min(form.column_count(app::kOrderList), kMaxColumns);
    for (int c = 0; c < columns; ++c)
      titles.push_back(web::gbk_to_utf8(form.column_title(app::kOrderList, c)));
    for (const app::OrderRow& row : form.rows(app::kOrderList)) {
      std::vector<std::string> cells;
      for (int c = 0; c < columns && c < static_cast<int>(row.size()); ++c)
        cells.push_back(web::gbk_to_utf8(row[c]));
      rows.push_back(std::move(cells));
    }
    lines = goods_lines_sheet(ctx, form.rows(app::kOrderList));
  }
  form.process_events();

  const web::Text chosen = form.ask_save_path(suggested_export_path());
  if (chosen.empty()) return;  // cancelled: nothing written, nothing said
  remember_export_path(chosen);

  std::vector<CutCell> cut;
  const std::string why = write_workbook(web::gbk_to_utf8(chosen), titles, rows, &cut, {lines});
  if (why.empty()) {
    form.message_box(web::gbk("导出成功！"));
    if (!cut.empty()) form.message_box(cut_cells_message(cut, titles));
  } else {
    form.message_box(web::gbk("导出失败，文件没有保存：") + chosen + "\r\n" + web::gbk("原因：") +
                     web::utf8_to_gbk(why));
  }
}

}  // namespace exchange
