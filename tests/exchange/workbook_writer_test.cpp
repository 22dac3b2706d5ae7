#include "exchange/workbook_writer.h"

#include <gtest/gtest.h>

#include "exchange/workbook_reader.h"
#include "package_maker.h"

namespace exchange {
namespace {

using exchange_test::read_part;
using exchange_test::TempDir;

size_t count(const std::string& text, const std::string& sought) {
  size_t n = 0;
  for (size_t at = text.find(sought); at != std::string::npos; at = text.find(sought, at + 1)) ++n;
  return n;
}

TEST(WorkbookWriter, WritesEveryCellAsTextAndReadsBack) {
  TempDir dir;
  auto p = dir.path() / "订单.xlsx";
  std::vector<std::string> titles = {"序号", "快递单号", ""};
  std::vector<std::vector<std::string>> rows = {
      {"1", "0012345", "x"},
      {"2", "=1+1", "tab\there\r\nline <&>\"' _x0041_ _x00"},
      {"3"},  // short rows leave empty cells
  };
  ASSERT_EQ(write_workbook(p, titles, rows), "");

  // Every cell written carries the text format "@" (built-in format 49).
  const std::string sheet = read_part(p, "xl/worksheets/sheet1.xml");
  const std::string styles = read_part(p, "xl/styles.xml");
  EXPECT_EQ(count(sheet, "<c "), 12u);
  EXPECT_EQ(count(sheet, " s=\"1\""), 12u);
  EXPECT_NE(styles.find("numFmtId=\"49\""), std::string::npos) << styles;

  ReadResult r = read_workbook(p);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.sheet.cell(0, 0), "序号");
  EXPECT_EQ(r.sheet.cell(0, 2), "");
  EXPECT_EQ(r.sheet.cell(1, 1), "0012345");
  EXPECT_EQ(r.sheet.cell(2, 1), "=1+1");  // a text, not a formula
  EXPECT_EQ(r.sheet.cell(2, 2), "tab\there\r\nline <&>\"' _x0041_ _x00");
  EXPECT_EQ(r.sheet.cell(3, 0), "3");
  EXPECT_EQ(r.sheet.cell(3, 1), "");
}

TEST(WorkbookWriter, WritesAtMost26ColumnsAndCutsOverlongCells) {
  TempDir dir;
  auto p = dir.path() / "wide.xlsx";
  std::vector<std::string> titles(30, "t");
  std::vector<std::vector<std::string>> rows = {std::vector<std::string>(30, "v")};
  std::string longest;
  for (int i = 0; i < 40000; ++i) longest += "单";
  rows[0][0] = longest;
  ASSERT_EQ(write_workbook(p, titles, rows), "");
  const std::string sheet = read_part(p, "xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find("r=\"Z2\""), std::string::npos);
  EXPECT_EQ(sheet.find("r=\"AA1\""), std::string::npos);
  ReadResult r = read_workbook(p);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.sheet.cell(1, 0).size(), 32767u * 3);  // whole characters
}

// Columns take the width of what they hold (a Chinese character counts
// two), long cells capped.
TEST(WorkbookWriter, ColumnsAreAsWideAsTheirCellsUpToACap) {
  TempDir dir;
  auto p = dir.path() / "widths.xlsx";
  ASSERT_EQ(write_workbook(p, {"订单号", "地址", "ID"},
                           {{"201701191221231001", std::string(40, 'x') + "上海市浦东新区世纪大道", "9"}}),
            "");
  const std::string sheet = read_part(p, "xl/worksheets/sheet1.xml");
  EXPECT_NE(sheet.find(R"(<col min="1" max="1" width="19)"), std::string::npos) << sheet.substr(0, 600);
  EXPECT_NE(sheet.find(R"(<col min="2" max="2" width="50)"), std::string::npos);
  EXPECT_NE(sheet.find(R"(<col min="3" max="3" width="4)"), std::string::npos);
}

// Columns of figures hold numbers (amounts shown with two decimals); what
// is no plain number there, and every other column, stays text.
TEST(WorkbookWriter, FigureColumnsHoldNumbers) {
  TempDir dir;
  auto p = dir.path() / "figures.xlsx";
  ASSERT_EQ(
      write_workbook(p, {"期间", "订单数", "销售额"},
                     {{"2026-12-01", "12", "1234.50"}, {"007", "—", "-3.5"}, {"x", "1e5", " 1"}},
                     nullptr, {}, {ColumnKind::Text, ColumnKind::Number, ColumnKind::Amount}),
      "");
  const std::string sheet = read_part(p, "xl/worksheets/sheet1.xml");
  EXPECT_EQ(count(sheet, "<v>"), 3u) << sheet;  // 12, 1234.5, -3.5: nothing else is a number
  EXPECT_NE(sheet.find("<v>12</v>"), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("<v>1234.5</v>"), std::string::npos);
  EXPECT_NE(sheet.find("<v>-3.5</v>"), std::string::npos);
  EXPECT_NE(read_part(p, "xl/styles.xml").find("numFmtId=\"2\""), std::string::npos);
  ReadResult r = read_workbook(p);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.sheet.cell(0, 1), "订单数");  // titles stay text
  EXPECT_EQ(r.sheet.cell(2, 0), "007");
  EXPECT_EQ(r.sheet.cell(2, 1), "—");
  EXPECT_EQ(r.sheet.cell(3, 2), " 1");
}

TEST(WorkbookWriter, AFailedWriteLeavesNoFileAndSaysWhy) {
  TempDir dir;
  std::vector<std::string> titles = {"a"};
  EXPECT_EQ(write_workbook(dir.path() / "no-such-folder" / "x.xlsx", titles, {}), "文件夹不存在");
  std::filesystem::create_directory(dir.path() / "taken.xlsx");
  EXPECT_EQ(write_workbook(dir.path() / "taken.xlsx", titles, {}), "已有同名的文件夹");
  EXPECT_EQ(write_workbook("", titles, {}), "没有文件名");
  // Only the folder made above is left: no temporary or partial file.
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

TEST(WorkbookWriter, ReplacesAnExistingFileWhole) {
  TempDir dir;
  auto p = dir.path() / "again.xlsx";
  exchange_test::write_file(p, "old contents");
  ASSERT_EQ(write_workbook(p, {"标题"}, {{"新"}}), "");
  ReadResult r = read_workbook(p);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.sheet.cell(1, 0), "新");
  size_t entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

}  // namespace
}  // namespace exchange
