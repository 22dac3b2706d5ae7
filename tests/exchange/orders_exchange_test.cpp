// Export and import of the order table through the window, on the in-memory form.

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/context.h"
#include "exchange/export.h"
#include "exchange/import.h"
#include "exchange/workbook_reader.h"
#include "exchange/workbook_writer.h"
#include "package_maker.h"
#include "support/fake_form.h"

namespace exchange {
namespace {

using exchange_test::TempDir;
using testing_support::FakeForm;
using web::gbk;

struct Fixture {
  FakeForm form;
  app::Settings settings{std::filesystem::temp_directory_path() / "exchange-unused.ini"};
  app::Context ctx{.form = form, .settings = settings, .hosts = {}};
};

app::OrderRow order(int n) {
  app::OrderRow row;
  for (int c = 0; c < app::kOrderColumnCount; ++c)
    row.push_back(gbk("单元") + std::to_string(n) + "-" + std::to_string(c));
  row[app::kColTrackingNo] = "0012345";
  row[app::kColMember] = gbk("张　三");  // a full-width space inside
  return row;
}

std::string utf8(const web::Text& t) {
  return web::gbk_to_utf8(t);
}

TEST(OrdersExchange, EveryGoodsLineGoesOutOnASecondSheetAndComesBack) {
  TempDir dir;
  Fixture f;
  f.form.replace_rows(app::kOrderList, {order(1), order(2)});
  const web::Text id = order(1)[app::kColId];
  f.ctx.goods_lines.set(id, {{gbk("大米"), "2", gbk("袋装"), "68.00", "136.00"},
                             {gbk("红枣"), "1", gbk("礼盒"), "9.90", "9.90"},
                             {gbk("<b>茶</b>"), "3", "", "1.00", "3.00"}});
  const std::filesystem::path file = dir.path() / "lines.xlsx";
  f.form.save_paths.push_back(web::utf8_to_gbk(file.string()));
  export_orders(f.ctx);

  const ReadResult lines = read_named_sheet(file, kGoodsLinesSheet);
  ASSERT_TRUE(lines.ok()) << lines.error;
  EXPECT_EQ(lines.sheet.cell(0, 6), "小计");
  EXPECT_EQ(lines.sheet.leading_rows(), 5u);  // titles, three lines, and order 2's one line from its cells
  EXPECT_EQ(lines.sheet.cell(3, 2), "<b>茶</b>");
  EXPECT_EQ(lines.sheet.cell(4, 2), "单元2-9");
  EXPECT_EQ(read_workbook(file).sheet.cell(1, 0), "单元1-0");  // the first sheet is the table still

  Fixture g;
  import_orders(g.ctx, web::utf8_to_gbk(file.string()));
  EXPECT_EQ(g.form.row_count(app::kOrderList), 2);
  ASSERT_EQ(g.ctx.goods_lines.of(id).size(), 3u);
  EXPECT_EQ(g.ctx.goods_lines.of(id)[1].goods, gbk("红枣"));
  EXPECT_TRUE(read_named_sheet(file, "没有这一页").sheet.stored_rows() == 0);
}

TEST(OrdersExchange, ExportThenImportGivesTheSameTable) {
  TempDir dir;
  Fixture f;
  f.form.replace_rows(app::kOrderList, {order(1), order(2)});
  const web::Text path = web::utf8_to_gbk((dir.path() / "导出订单.xlsx").string());
  f.form.save_paths.push_back(path);
  export_orders(f.ctx);
  ASSERT_EQ(f.form.messages.size(), 1u);
  EXPECT_EQ(f.form.messages[0].text, gbk("导出成功！"));
  EXPECT_EQ(f.form.messages[0].title, gbk("信息："));

  // The sheet: titles a1..y1, z1 blank, row 2 = table row 0, row 3 = table row 1.
  ReadResult r = read_workbook(dir.path() / "导出订单.xlsx");
  ASSERT_TRUE(r.ok()) << r.error;
  for (int c = 0; c < 25; ++c)
    EXPECT_EQ(r.sheet.cell(0, c), utf8(f.form.column_title(app::kOrderList, c)));
  EXPECT_EQ(r.sheet.cell(0, 25), "");
  EXPECT_EQ(r.sheet.cell(1, 0), "单元1-0");
  EXPECT_EQ(r.sheet.cell(2, 25), "单元2-25");
  EXPECT_EQ(r.sheet.cell(2, app::kColTrackingNo), "0012345");

  Fixture back;
  back.form.append_row(app::kOrderList, {"stale"});
  import_orders(back.ctx, path);
  ASSERT_EQ(back.form.messages.size(), 1u);
  EXPECT_EQ(back.form.messages[0].text, gbk("你已经成功导入了2行数据！"));
  auto rows = back.form.rows(app::kOrderList);
  ASSERT_EQ(rows.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    app::OrderRow expected = order(i + 1);
    expected[25].clear();  // the 26th column has no title, so it is not read
    EXPECT_EQ(rows[i], expected);
  }
  EXPECT_EQ(back.form.column_count(app::kOrderList), app::kOrderColumnCount);  // columns left alone
}

TEST(OrdersExchange, EmptyTableExportsTheTitleRowAndCancelWritesNothing) {
  TempDir dir;
  Fixture f;
  export_orders(f.ctx);  // the dialog is cancelled
  EXPECT_TRUE(f.form.messages.empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

  const auto p = dir.path() / "empty.xlsx";
  f.form.save_paths.push_back(p.string());
  export_orders(f.ctx);
  ASSERT_EQ(f.form.messages.size(), 1u);
  EXPECT_EQ(f.form.messages[0].text, gbk("导出成功！"));
  ReadResult r = read_workbook(p);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.sheet.cell(0, 1), "订单号");
  EXPECT_EQ(r.sheet.stored_rows(), 1u);
  // The next dialog starts in the folder chosen last, with a name of the
  // date and time: "订单_2026-12-09_1402.xlsx".
  const std::filesystem::path next(web::gbk_to_utf8(suggested_export_path()));
  EXPECT_EQ(next.parent_path(), dir.path());
  const std::string name = next.filename().string();
  EXPECT_EQ(name.rfind("订单_", 0), 0u) << name;
  EXPECT_EQ(name.size(), std::string("订单_2026-12-09_1402.xlsx").size()) << name;
}

// A cell longer than a workbook cell holds is cut, and the merchant is told
// which, after the usual success message.
TEST(OrdersExchange, AnExportSaysWhichCellsWereCut) {
  TempDir dir;
  Fixture f;
  app::OrderRow long_message = order(2);
  long_message[17] = std::string(40000, 'x');
  f.form.replace_rows(app::kOrderList, {order(1), long_message});
  f.form.save_paths.push_back((dir.path() / "long.xlsx").string());
  export_orders(f.ctx);
  ASSERT_EQ(f.form.messages.size(), 2u);
  EXPECT_EQ(f.form.messages[0].text, gbk("导出成功！"));
  const std::string told = utf8(f.form.messages[1].text);
  EXPECT_NE(told.find("32767"), std::string::npos);
  EXPECT_NE(told.find("第2行 留言（第18列）"), std::string::npos) << told;
  ReadResult r = read_workbook(dir.path() / "long.xlsx");
  EXPECT_EQ(r.sheet.cell(2, 17).size(), 32767u);
}

TEST(OrdersExchange, AnExportThatCannotBeWrittenSaysSo) {
  TempDir dir;
  Fixture f;
  f.form.replace_rows(app::kOrderList, {order(1)});
  const web::Text path = web::utf8_to_gbk((dir.path() / "没有的文件夹" / "x.xlsx").string());
  f.form.save_paths.push_back(path);
  export_orders(f.ctx);
  ASSERT_EQ(f.form.messages.size(), 1u);
  const web::Text& text = f.form.messages[0].text;
  EXPECT_NE(text, gbk("导出成功！"));
  EXPECT_NE(text.find(gbk("导出失败")), std::string::npos);
  EXPECT_NE(text.find(path), std::string::npos);
  EXPECT_NE(text.find(gbk("文件夹不存在")), std::string::npos);
}

TEST(OrdersExchange, SaveDialogStartsOnTheDesktopOrHome) {
  TempDir dir;
  const char* old_home = std::getenv("HOME");
  const char* old_config = std::getenv("XDG_CONFIG_HOME");
  std::string saved_home = old_home ? old_home : "", saved_config = old_config ? old_config : "";
  ::setenv("HOME", dir.path().c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (dir.path() / ".config").c_str(), 1);
  EXPECT_EQ(desktop_folder(), dir.path());
  std::filesystem::create_directory(dir.path() / "Desktop");
  EXPECT_EQ(desktop_folder(), dir.path() / "Desktop");
  old_home ? ::setenv("HOME", saved_home.c_str(), 1) : ::unsetenv("HOME");
  old_config ? ::setenv("XDG_CONFIG_HOME", saved_config.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
}

// The import's reading of a sheet: titles decide the width, a blank row ends it.
TEST(OrdersExchange, SheetRowsUpToTheFirstBlankOne) {
  auto sheet_of = [](std::vector<std::vector<std::string>> rows) {
    Sheet s;
    for (size_t r = 0; r < rows.size(); ++r)
      for (size_t c = 0; c < rows[r].size(); ++c) s.set(r, static_cast<int>(c), rows[r][c]);
    s.finish();
    return s;
  };
  // A blank row after 5 data rows: the rows below it are ignored.
  auto rows = orders_from_sheet(
      sheet_of({{"a", "b"}, {"1"}, {"2"}, {"3"}, {"", "4"}, {"5"}, {}, {"7"}, {"8"}}), 26);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3][1], "4");
  EXPECT_EQ(rows[0].size(), 26u);
  // Rows of ASCII or full-width spaces count as blank.
  EXPECT_EQ(orders_from_sheet(sheet_of({{"a", "b"}, {"1"}, {"  ", " "}, {"3"}}), 26).size(), 1u);
  EXPECT_EQ(
      orders_from_sheet(sheet_of({{"a"}, {"1"}, {"\xE3\x80\x80 \xE3\x80\x80"}, {"3"}}), 26).size(),
      1u);
  // A blank title in column 3 limits the import to columns 1 and 2.
  rows = orders_from_sheet(
      sheet_of({{"a", "b", " ", "d"}, {"1", "2", "3", "4"}, {"", "", "x", "y"}}), 26);
  ASSERT_EQ(rows.size(), 1u);  // row 3 is blank in the columns read
  EXPECT_EQ(rows[0][1], "2");
  EXPECT_EQ(rows[0][2], "");
  EXPECT_EQ(rows[0][3], "");
  // A blank a1 imports nothing; cells keep their spaces and become system text.
  EXPECT_TRUE(orders_from_sheet(sheet_of({{"", "b"}, {"1", "2"}}), 26).empty());
  rows = orders_from_sheet(sheet_of({{"标题"}, {" 张三 "}}), 26);
  EXPECT_EQ(rows[0][0], gbk(" 张三 "));
}

TEST(OrdersExchange, ImportsWorkbooksOfOtherProgramsUpToTheBlankRow) {
  Fixture f;
  import_orders(f.ctx, exchange_test::data_file("legacy.xls").string());
  EXPECT_EQ(f.form.messages.back().text, gbk("你已经成功导入了3行数据！"));
  EXPECT_EQ(f.form.cell(app::kOrderList, 2, 3), "13800138000");
  EXPECT_EQ(f.form.cell(app::kOrderList, 0, 5), "0012345");
  import_orders(f.ctx, exchange_test::data_file("openpyxl_types.xlsx").string() + "\r\n");
  EXPECT_EQ(f.form.messages.back().text, gbk("你已经成功导入了2行数据！"));
  EXPECT_EQ(f.form.cell(app::kOrderList, 0, 4), "2024-03-05 14:30:00");
  EXPECT_EQ(f.form.cell(app::kOrderList, 1, 2), gbk("李四 "));
}

TEST(OrdersExchange, AFailedImportLeavesTheTableAndSaysWhy) {
  TempDir dir;
  Fixture f;
  f.form.replace_rows(app::kOrderList, {order(1), order(2), order(3)});
  const auto before = f.form.rows(app::kOrderList);
  auto expect_refused = [&](const web::Text& paths, const char* reason) {
    const size_t shown = f.form.messages.size();
    import_orders(f.ctx, paths);
    ASSERT_EQ(f.form.messages.size(), shown + 1);
    const web::Text& text = f.form.messages.back().text;
    EXPECT_NE(text.find(gbk("导入失败，订单列表没有改动。")), std::string::npos) << utf8(text);
    EXPECT_NE(text.find(gbk(reason)), std::string::npos) << utf8(text);
    EXPECT_EQ(f.form.rows(app::kOrderList), before);
  };
  const std::string good = exchange_test::data_file("legacy.xls").string();
  expect_refused(good + "\r\n" + good + "\r\n", "一次只能导入一个文件");
  expect_refused("", "没有收到文件");
  expect_refused(web::utf8_to_gbk((dir.path() / "不存在.xlsx").string()), "文件不存在");
  exchange_test::write_file(dir.path() / "notes.txt", "hello");
  expect_refused((dir.path() / "notes.txt").string(), "不是Excel工作簿");
  expect_refused(exchange_test::data_file("bomb.xlsx").string(), "过大");
  // The message names the file.
  EXPECT_NE(f.form.messages.back().text.find(exchange_test::data_file("bomb.xlsx").string()),
            std::string::npos);
}

TEST(OrdersExchange, ABusyTableIsNotWaitedForLongAndStaysAsItWas) {
  TempDir dir;
  Fixture f;
  f.form.replace_rows(app::kOrderList, {order(1)});
  const web::Text path = web::utf8_to_gbk((dir.path() / "a.xlsx").string());
  f.form.save_paths.push_back(path);
  export_orders(f.ctx);  // a workbook to drop later

  // A long batch holds the table: the window-thread operations give up and say so.
  app::TableLock::set_ui_patience(std::chrono::milliseconds(20));
  ASSERT_TRUE(f.ctx.table->lock.try_acquire());
  f.form.save_paths.push_back(web::utf8_to_gbk((dir.path() / "b.xlsx").string()));
  export_orders(f.ctx);
  import_orders(f.ctx, path);
  f.ctx.table->lock.release();
  app::TableLock::set_ui_patience(std::chrono::milliseconds(3000));

  ASSERT_EQ(f.form.messages.size(), 3u);
  for (int i : {1, 2})
    EXPECT_NE(f.form.messages[i].text.find(gbk("请稍后再试")), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "b.xlsx"));
  EXPECT_EQ(f.form.rows(app::kOrderList), std::vector<app::OrderRow>{order(1)});
}

TEST(OrdersExchange, DroppedPathsAreSplitAtLineEnds) {
  bool several = false;
  EXPECT_EQ(single_dropped_path("/a/b.xlsx", several), "/a/b.xlsx");
  EXPECT_FALSE(several);
  EXPECT_EQ(single_dropped_path("/a/b.xlsx\r\n", several), "/a/b.xlsx");
  EXPECT_EQ(single_dropped_path("/a/b.xlsx\r\n/c.xlsx\r\n", several), "");
  EXPECT_TRUE(several);
  EXPECT_EQ(single_dropped_path("\r\n", several), "");
  EXPECT_FALSE(several);
}

}  // namespace
}  // namespace exchange
