#include "exchange/workbook_reader.h"

#include <gtest/gtest.h>

#include <chrono>

#include "exchange/workbook_writer.h"
#include "package_maker.h"

namespace exchange {
namespace {

using exchange_test::data_file;
using exchange_test::make_package;
using exchange_test::sheet_xml;
using exchange_test::TempDir;

std::vector<std::string> row_of(const Sheet& s, int row, int columns) {
  std::vector<std::string> out;
  for (int c = 0; c < columns; ++c) out.push_back(s.cell(row, c));
  return out;
}

TEST(WorkbookReader, ReadsTypedValuesWrittenByAnotherProgram) {
  ReadResult r = read_workbook(data_file("openpyxl_types.xlsx"));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(row_of(r.sheet, 0, 10),
            (std::vector<std::string>{"序号", "订单号", "会员", "金额", "支付时间", "日期", "时间",
                                      "是否", "快递单号", "大数"}));
  EXPECT_EQ(row_of(r.sheet, 1, 10),
            (std::vector<std::string>{"1", "2024030512345", "张三", "12345", "2024-03-05 14:30:00",
                                      "2024-03-05", "08:05:09", "TRUE", "0012345",
                                      "123456789012346000"}));
  EXPECT_EQ(
      row_of(r.sheet, 2, 10),
      (std::vector<std::string>{"2", "2024030512346", "李四 ", "0.1", "1999-12-31 23:59:59",
                                "1900-01-01", "00:00:00", "FALSE", "SF1234567890", "13800138000"}));
  EXPECT_EQ(r.sheet.stored_rows(), 3u);  // the second sheet is not read
}

TEST(WorkbookReader, ReadsTheCellKindsOfADesktopSpreadsheet) {
  ReadResult r = read_workbook(data_file("desktop_cells.xlsx"));
  ASSERT_TRUE(r.ok()) << r.error;
  // Shared strings (one with rich-text runs), inline strings (one with runs).
  EXPECT_EQ(row_of(r.sheet, 0, 8), (std::vector<std::string>{"序号", "订单号", "公式", "字符串公式",
                                                             "布尔", "错误", "空", "日期"}));
  // Phonetic guides left out; cached formula values; booleans; errors; an
  // omitted cell; a date-formatted number; columns beyond z ignored.
  EXPECT_EQ(row_of(r.sheet, 1, 8), (std::vector<std::string>{"天津", "12345", "24690", "天津x",
                                                             "TRUE", "#DIV/0!", "", "2024-03-05"}));
  EXPECT_EQ(r.sheet.cell(1, 26), "");
  EXPECT_EQ(r.sheet.cell(0, 26), "");
  // Cells without a reference follow the previous one; spaces kept; escapes decoded.
  EXPECT_EQ(row_of(r.sheet, 2, 8),
            (std::vector<std::string>{" 前后空格 ", "0.0015", "", "换行\r\n第二行", "", "", "",
                                      "2024-03-05 18:00:00"}));
  EXPECT_EQ(r.sheet.cell(3, 0), "第四行");
  EXPECT_EQ(r.sheet.stored_rows(), 4u);  // the first sheet is data.xml, not sheet1.xml
}

TEST(WorkbookReader, ReadsLegacyXlsWorkbooks) {
  ReadResult r = read_workbook(data_file("legacy.xls"));
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(row_of(r.sheet, 0, 6),
            (std::vector<std::string>{"序号", "订单号", "会员", "金额", "日期", "快递单号"}));
  EXPECT_EQ(row_of(r.sheet, 1, 6), (std::vector<std::string>{"1", "2024030512345", "张三", "12345",
                                                             "2024-03-05", "0012345"}));
  EXPECT_EQ(row_of(r.sheet, 3, 6),
            (std::vector<std::string>{"3", "2024030512347", "王五", "13800138000", "2000-01-01",
                                      "YT0001"}));
  EXPECT_EQ(r.sheet.cell(4, 0), "");
  EXPECT_EQ(r.sheet.cell(5, 1), "below the blank row");
}

TEST(WorkbookReader, RowsOutOfOrderAndRepeatedCellsGiveTheLastValue) {
  TempDir dir;
  auto p = dir.path() / "order.xlsx";
  ASSERT_TRUE(make_package(
      p, {{"xl/worksheets/sheet1.xml",
           sheet_xml("<row r=\"3\"><c r=\"A3\"><v>3</v></c></row>"
                     "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
                     "<row r=\"3\"><c r=\"B3\"><v>4</v></c><c r=\"A3\"><v>5</v></c></row>")}}));
  ReadResult r = read_workbook(p);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.sheet.cell(0, 0), "1");
  EXPECT_EQ(r.sheet.cell(2, 0), "5");
  EXPECT_EQ(r.sheet.cell(2, 1), "4");
  EXPECT_EQ(r.sheet.stored_rows(), 2u);
}

// Every file that is no readable workbook is refused with a reason, quickly.
TEST(WorkbookReader, RefusesWhatIsNoReadableWorkbook) {
  TempDir dir;
  auto expect_refused = [](const std::filesystem::path& p, const std::string& reason_part,
                           const ReadLimits& limits = {}) {
    auto start = std::chrono::steady_clock::now();
    ReadResult r = read_workbook(p, limits);
    EXPECT_FALSE(r.ok()) << p;
    EXPECT_NE(r.error.find(reason_part), std::string::npos) << p << ": " << r.error;
    EXPECT_EQ(r.sheet.stored_rows(), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << p;
  };
  expect_refused(dir.path() / "missing.xlsx", "不存在");
  expect_refused(dir.path(), "不是一个文件");
  exchange_test::write_file(dir.path() / "empty.xlsx", "");
  expect_refused(dir.path() / "empty.xlsx", "空的");
  exchange_test::write_file(dir.path() / "text.xlsx", "序号,订单号\r\n1,2\r\n");
  expect_refused(dir.path() / "text.xlsx", "不是Excel工作簿");
  exchange_test::write_file(
      dir.path() / "ole.xls",
      std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, 'x'));
  expect_refused(dir.path() / "ole.xls", "工作簿");
  // A compound-file header and nothing else, on which FreeXL reads past a
  // buffer: refused, and nothing of it happens in this process.
  expect_refused(data_file("xls-header-only-overreads-freexl.xls"), "损坏");

  // A workbook cut short, and one with damaged compressed data.
  auto good = dir.path() / "good.xlsx";
  std::vector<std::vector<std::string>> rows(300, std::vector<std::string>(26, "0012345 订单"));
  ASSERT_EQ(write_workbook(good, std::vector<std::string>(26, "标题"), rows), "");
  std::string bytes = exchange_test::read_file(good);
  exchange_test::write_file(dir.path() / "cut.xlsx", bytes.substr(0, bytes.size() / 2));
  expect_refused(dir.path() / "cut.xlsx", "损坏");
  std::string damaged = bytes;
  for (size_t i = 200; i < damaged.size() / 2; i += 7)
    damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
  exchange_test::write_file(dir.path() / "damaged.xlsx", damaged);
  expect_refused(dir.path() / "damaged.xlsx", "");

  // A zip that holds no workbook, and a workbook without a sheet.
  ASSERT_TRUE(make_package(dir.path() / "nosheet.xlsx", {}));
  expect_refused(dir.path() / "nosheet.xlsx", "没有工作表");
  {
    int e = 0;
    zip_t* z = zip_open((dir.path() / "plain.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &e);
    zip_source_t* s = zip_source_buffer(z, "hello", 5, 0);
    zip_file_add(z, "readme.txt", s, 0);
    zip_close(z);
  }
  expect_refused(dir.path() / "plain.zip", "不是Excel工作簿");
}

TEST(WorkbookReader, RefusesMalformedXml) {
  TempDir dir;
  auto p = dir.path() / "bad.xlsx";
  // Unclosed element.
  ASSERT_TRUE(make_package(p, {{"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row>"}}));
  ReadResult r = read_workbook(p);
  EXPECT_NE(r.error.find("格式错误"), std::string::npos) << r.error;
  // Entity expansion ("billion laughs") is refused before any expansion.
  std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
      "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>"
      "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&e;&e;&e;</t></is></c>"
      "</row></sheetData></worksheet>";
  ASSERT_TRUE(make_package(p, {{"xl/worksheets/sheet1.xml", laughs}}));
  r = read_workbook(p);
  EXPECT_NE(r.error.find("文档类型"), std::string::npos) << r.error;
  // Bytes that are not UTF-8.
  ASSERT_TRUE(make_package(
      p, {{"xl/worksheets/sheet1.xml",
           sheet_xml("<row><c t=\"inlineStr\"><is><t>\xB6\xA9\xB5\xA5</t></is></c></row>")}}));
  r = read_workbook(p);
  EXPECT_NE(r.error.find("格式错误"), std::string::npos) << r.error;
  // A shared string that does not exist.
  ASSERT_TRUE(make_package(
      p, {{"xl/worksheets/sheet1.xml", sheet_xml("<row><c t=\"s\"><v>5</v></c></row>")},
          {"xl/sharedStrings.xml", "<sst><si><t>a</t></si></sst>"}}));
  r = read_workbook(p);
  EXPECT_NE(r.error.find("共享字符串"), std::string::npos) << r.error;
}

TEST(WorkbookReader, RefusesZipBombs) {
  // 64 MiB of spaces compressed about 1000:1.
  ReadResult r = read_workbook(data_file("bomb.xlsx"));
  EXPECT_NE(r.error.find("过大"), std::string::npos) << r.error;
  // Declared sizes under every limit, so only the bytes actually inflated tell.
  ReadLimits limits;
  limits.max_part_bytes = 8 << 20;
  auto start = std::chrono::steady_clock::now();
  r = read_workbook(data_file("bomb_lying_sizes.xlsx"), limits);
  EXPECT_NE(r.error.find("过大"), std::string::npos) << r.error;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // Within the ratio but over the size limit.
  limits.max_ratio = 100000;
  r = read_workbook(data_file("bomb.xlsx"), limits);
  EXPECT_NE(r.error.find("过大"), std::string::npos) << r.error;
}

TEST(WorkbookReader, RefusesSheetsWithTooManyRows) {
  TempDir dir;
  auto p = dir.path() / "rows.xlsx";
  ReadLimits limits;
  const std::size_t rows = limits.max_rows + 50;
  std::string xml;
  xml.reserve(rows * 48);
  for (std::size_t i = 1; i <= rows; ++i) {
    std::string n = std::to_string(i);
    xml += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c></row>";
  }
  ASSERT_TRUE(make_package(p, {{"xl/worksheets/sheet1.xml", sheet_xml(xml)}}));
  ReadResult r = read_workbook(p, limits);
  EXPECT_NE(r.error.find("行数超过"), std::string::npos) << r.error;
  EXPECT_EQ(r.sheet.stored_rows(), 0u);
  // The same rows below a blank row are never read by an import: not counted.
  std::string gapped = "<row r=\"1\"><c r=\"A1\"><v>0</v></c></row>";
  for (std::size_t i = 3; i <= rows + 2; ++i) {
    std::string n = std::to_string(i);
    gapped += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c></row>";
  }
  ASSERT_TRUE(make_package(p, {{"xl/worksheets/sheet1.xml", sheet_xml(gapped)}}));
  r = read_workbook(p, limits);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.sheet.leading_rows(), 1u);
  // Row numbers beyond any sheet's end are neither trusted nor overflowed.
  ASSERT_TRUE(make_package(
      p, {{"xl/worksheets/sheet1.xml",
           sheet_xml(
               "<row r=\"1\"><c><v>1</v></c></row><row r=\"99999999999999999999\"><c><v>2</v></c>"
               "</row><row><c><v>3</v></c></row>")}}));
  r = read_workbook(p);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.sheet.cell(0, 0), "1");
  EXPECT_EQ(r.sheet.stored_rows(), 2u);
}

TEST(WorkbookReader, RefusesHugeSharedStringTablesAndTexts) {
  TempDir dir;
  auto p = dir.path() / "strings.xlsx";
  std::string table = "<sst>";
  for (int i = 0; i < 2000; ++i) table += "<si><t>" + std::string(100, 'x') + "</t></si>";
  table += "</sst>";
  ASSERT_TRUE(make_package(
      p, {{"xl/worksheets/sheet1.xml", sheet_xml("")}, {"xl/sharedStrings.xml", table}}));
  ReadLimits limits;
  limits.max_shared_strings = 1000;
  EXPECT_NE(read_workbook(p, limits).error.find("字符串过多"), std::string::npos);
  limits = {};
  limits.max_text_bytes = 100000;
  EXPECT_NE(read_workbook(p, limits).error.find("文字过多"), std::string::npos);
  // One shared string referenced again and again counts every time.
  std::string refs;
  for (int i = 1; i <= 2000; ++i) refs += "<row><c t=\"s\"><v>0</v></c></row>";
  ASSERT_TRUE(make_package(
      p, {{"xl/worksheets/sheet1.xml", sheet_xml(refs)},
          {"xl/sharedStrings.xml", "<sst><si><t>" + std::string(1000, 'y') + "</t></si></sst>"}}));
  limits.max_text_bytes = 1 << 20;
  EXPECT_NE(read_workbook(p, limits).error.find("文字过多"), std::string::npos);
  limits = {};
  EXPECT_TRUE(read_workbook(p, limits).ok());
}

}  // namespace
}  // namespace exchange
