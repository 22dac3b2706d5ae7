// The printed documents read back as a packer and a scanner would read them:
// the PDF's text (pdftotext), its barcodes (pdftoppm, then zbarimg), its
// pages (pdfinfo); and the pick list's sums over every goods line.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "pdf_readback.h"
#include "printing/barcode.h"
#include "printing/documents.h"
#include "printing/pick_list.h"
#include "support/temp_dir.h"

namespace {

using printing::Document;
using printing::Paper;
using printing::PrintJob;
using printing::PrintOrder;
using printing_test::pages;
using printing_test::run;
using printing_test::pdf_text;
using printing_test::unwrapped;
namespace fs = std::filesystem;

app::GoodsLine line(const std::string& goods, const std::string& quantity, const std::string& variant = "",
                    const std::string& price = "10.00") {
  return {web::utf8_to_gbk(goods), web::utf8_to_gbk(quantity), web::utf8_to_gbk(variant), price, price};
}

PrintOrder order(const std::string& no, const std::string& consignee, std::vector<app::GoodsLine> lines,
                 const std::string& address = "浙江省杭州市西湖区文三路1号", const std::string& message = "") {
  app::OrderRow row(app::kOrderColumnCount);
  row[app::kColOrderNo] = no;
  row[app::kColId] = no.substr(no.size() - 4);
  row[app::kColTotal] = "100.00";
  row[app::kColConsignee] = web::utf8_to_gbk(consignee);
  row[app::kColPhone] = "13812345678";
  row[app::kColAddress] = web::utf8_to_gbk(address);
  row[app::kColMessage] = web::utf8_to_gbk(message);
  return {row, std::move(lines)};
}

// What zbarimg reads on the PDF's pages, and how many pages it has.
struct Codes {
  std::set<std::string> code128, qr;
  int pages = 0;
};
Codes read_codes(const testing_support::TempDir& dir, const fs::path& pdf) {
  Codes found;
  auto codes = printing_test::barcodes(pdf, dir.path(), 200, &found.pages);
  found.code128 = codes["CODE-128"];
  found.qr = codes["QR-Code"];
  for (const auto& f : fs::directory_iterator(dir.path()))
    if (f.path().extension() == ".png") fs::remove(f.path());
  return found;
}

fs::path write(const testing_support::TempDir& dir, const PrintJob& job, Paper paper) {
  printing::PrintOptions options;
  options.paper = paper;
  const fs::path pdf = dir.path() / "out.pdf";
  QString error;
  EXPECT_TRUE(printing::write_pdf(QString::fromStdString(pdf.string()), job, options, &error))
      << error.toStdString();
  return pdf;
}

TEST(PickList, SumsEveryGoodsLineOfEveryOrderInPinyinOrder) {
  const std::vector<PrintOrder> orders = {
      order("2026120900000001", "甲", {line("包子", "2", "肉"), line("阿胶", "1"), line("包子", "3", "肉")}),
      order("2026120900000002", "乙", {line("包子", "１", "肉"), line("阿胶", "2件")}),
      order("2026120900000003", "丙", {line("阿胶", "几个"), line("包子", "4", "菜")})};
  const printing::PickList list = printing::make_pick_list(orders, printing::PickSort::ByName);
  // 阿 (a) before 包 (b), though 包 comes first in Unicode.
  ASSERT_EQ(list.entries.size(), 3u);
  EXPECT_EQ(list.entries[0].goods, QString::fromUtf8("阿胶"));
  EXPECT_EQ(list.entries[0].quantity, 3);
  EXPECT_EQ(list.entries[0].unread_quantities, 1);  // "几个" is not guessed
  EXPECT_EQ(list.entries[0].orders, 3);
  EXPECT_EQ(list.entries[1].variant, QString::fromUtf8("菜"));  // cai before rou
  EXPECT_EQ(list.entries[1].quantity, 4);
  EXPECT_EQ(list.entries[2].variant, QString::fromUtf8("肉"));
  EXPECT_EQ(list.entries[2].quantity, 6);
  EXPECT_EQ(list.entries[2].orders, 2);  // two lines of one order count it once
  EXPECT_EQ(list.entries[2].order_nos,
            QStringList({QStringLiteral("2026120900000001"), QStringLiteral("2026120900000002")}));
  EXPECT_EQ(list.orders, 3);
  EXPECT_EQ(list.lines, 7);
  EXPECT_EQ(list.items, 13);

  const auto by_quantity = printing::make_pick_list(orders, printing::PickSort::ByQuantity);
  EXPECT_EQ(by_quantity.entries[0].quantity, 6);
  EXPECT_EQ(by_quantity.entries[1].quantity, 4);
}

TEST(Barcode, Code128IsMeasuredInModules) {
  // Start C, "12", "34", check character: 11 modules each; stop: 13.
  const printing::Barcode code =
      printing::encode_barcode(printing::Symbology::Code128, QStringLiteral("1234"));
  EXPECT_EQ(printing::modules_wide(code), 57);
  EXPECT_FALSE(printing::encode_barcode(printing::Symbology::Code128, QString::fromUtf8("订单")).ok());
}

TEST(PackingSlip, PhoneHidesItsMiddleFourDigits) {
  EXPECT_EQ(printing::masked_phone(QStringLiteral("13812345678")), QStringLiteral("138****5678"));
  EXPECT_EQ(printing::masked_phone(QStringLiteral("0571-8765 4321")), QStringLiteral("0571-**** 4321"));
  EXPECT_EQ(printing::masked_phone(QStringLiteral("110")), QStringLiteral("110"));
}

TEST(PackingSlip, EachOrderOnAnA5PageReadsBackAsTextAndBarcodes) {
  testing_support::TempDir dir;
  PrintJob job;
  job.document = Document::PackingSlips;
  job.store_name = web::utf8_to_gbk("蔚禾测试店");
  job.logo = "not a picture";  // its place stays empty
  job.orders = {order("2026120912345601", "张三", {line("龙井茶", "1", "罐装"), line("紫砂壶", "2")}),
                order("2026120912345602", "李四", {line("普洱茶饼", "3", "357克")}),
                order("2026120912345603", "王五", {line("白茶", "1")})};
  job.orders[0].row[app::kColMember] =
      web::utf8_to_gbk("<b>韩梅梅</b>&amp;");  // as the list page had it
  const fs::path pdf = write(dir, job, Paper::A5);
  EXPECT_EQ(pages(pdf), 3);
  const std::string text = pdf_text(pdf);
  for (const char* expected :
       {"蔚禾测试店", "2026120912345601", "2026120912345602", "2026120912345603", "张三", "李四",
        "王五", "龙井茶", "紫砂壶", "普洱茶饼", "357克", "白茶", "138****5678", "韩梅梅&"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  EXPECT_EQ(text.find("13812345678"), std::string::npos);
  EXPECT_EQ(text.find("<b>"), std::string::npos);

  const Codes codes = read_codes(dir, pdf);
  ASSERT_EQ(codes.pages, 3);
  const std::set<std::string> numbers = {"2026120912345601", "2026120912345602", "2026120912345603"};
  EXPECT_EQ(codes.code128, numbers);
  EXPECT_EQ(codes.qr, numbers);
}

// On A4 two slips share a sheet, one above and one below a cut line, each
// whole and scannable; a slip too long for its half goes on below the line
// (or on the next sheet), never cut.
TEST(PackingSlip, TwoToASheetOfA4) {
  testing_support::TempDir dir;
  PrintJob job;
  std::vector<app::GoodsLine> many;
  for (int i = 1; i <= 30; ++i) many.push_back(line("长单商品" + std::to_string(i) + "号", "1"));
  job.orders = {order("2026120912345611", "张三", {line("龙井茶", "1", "罐装")}),
                order("2026120912345612", "李四", {line("普洱茶饼", "3", "357克")}),
                order("2026120912345613", "王五", {line("白茶", "1")}),
                order("2026120912345614", "赵六", many)};
  const fs::path pdf = write(dir, job, Paper::A4);
  const std::string text = unwrapped(pdf_text(pdf));
  EXPECT_NE(text.find("接下方"), std::string::npos);
  EXPECT_NE(text.find("长单商品30号"), std::string::npos);
  const Codes codes = read_codes(dir, pdf);
  EXPECT_EQ(codes.pages, 3);  // 11 and 12; 13 and the first half of 14; its end
  const std::set<std::string> numbers = {"2026120912345611", "2026120912345612", "2026120912345613",
                                         "2026120912345614"};
  EXPECT_EQ(codes.code128, numbers);
  EXPECT_EQ(codes.qr, numbers);
}

// On the narrowest label the pick list's 序号 and figures keep to one line.
TEST(PickListPdf, NumbersKeepToOneLineOnANarrowLabel) {
  testing_support::TempDir dir;
  PrintJob job;
  job.document = Document::PickList;
  for (int i = 1; i <= 12; ++i)
    job.orders.push_back(order("20261209000002" + std::to_string(10 + i), "甲",
                               {line("茶" + std::to_string(i), "100")}));
  const fs::path pdf = write(dir, job, Paper::Label76x130);
  const std::string layout =
      run(QStringLiteral("pdftotext"),
          {QStringLiteral("-layout"), QString::fromStdString(pdf.string()), QStringLiteral("-")});
  // The headings whole; rows 10 to 12 begin with their whole number, then the goods.
  const std::regex two_digits(R"((^|\n) *1[0-2] +茶)");
  const auto rows =
      std::distance(std::sregex_iterator(layout.begin(), layout.end(), two_digits), {});
  EXPECT_TRUE(layout.find("序号") != std::string::npos &&
              layout.find("订单数") != std::string::npos && rows == 3)
      << layout;
}

TEST(PackingSlip, WhatDoesNotFitALabelContinuesOnTheNextNeverCut) {
  testing_support::TempDir dir;
  std::vector<app::GoodsLine> lines;
  for (int i = 1; i <= 40; ++i) lines.push_back(line("商品第" + std::to_string(i) + "号", "1"));
  std::string address, message;
  for (int i = 0; i < 20; ++i) address += "幸福路" + std::to_string(100 + i) + "号";  // ~200 characters
  for (int i = 0; i < 30; ++i) message += "请放门口" + std::to_string(10 + i) + "次";  // ~300 characters
  PrintJob job;
  job.orders = {order("2026120900000077", "赵六", lines, address, message)};
  const fs::path pdf = write(dir, job, Paper::Label76x130);
  EXPECT_GT(pages(pdf), 1);
  const std::string text = unwrapped(pdf_text(pdf));
  for (int i = 1; i <= 40; ++i) EXPECT_NE(text.find("商品第" + std::to_string(i) + "号"), std::string::npos) << i;
  EXPECT_NE(text.find(address), std::string::npos);
  EXPECT_NE(text.find(message), std::string::npos);
  EXPECT_NE(text.find("接下页"), std::string::npos);
  EXPECT_NE(text.find("订单号2026120900000077（续）"), std::string::npos);
}

TEST(PickListPdf, HoldsEveryGoodsAndTheTotalsAndAFailedWriteSaysWhy) {
  testing_support::TempDir dir;
  PrintJob job;
  job.document = Document::PickList;
  job.source = web::utf8_to_gbk("待发货订单");
  job.orders = {order("2026120900000101", "甲", {line("红茶", "2"), line("绿茶", "5")}),
                order("2026120900000102", "乙", {line("红茶", "3")})};
  const fs::path pdf = write(dir, job, Paper::A4);
  const std::string text = unwrapped(pdf_text(pdf));
  EXPECT_NE(text.find("拣货单"), std::string::npos);
  EXPECT_NE(text.find("待发货订单"), std::string::npos);
  EXPECT_NE(text.find("合计：2笔订单，3行商品，共10件"), std::string::npos) << text;

  QString error;
  EXPECT_FALSE(printing::write_pdf(QString::fromStdString((dir.path() / "no" / "x.pdf").string()), job, {},
                                   &error));
  EXPECT_TRUE(error.contains(QString::fromUtf8("写不了")));
}

}  // namespace
