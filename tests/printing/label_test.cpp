// Courier labels read back from their PDF: the figures and names a courier
// reads (pdftotext), the waybill's and the order's Code 128 a scanner reads
// (zbarimg), and one page per label on every paper, however long its texts.
#include <gtest/gtest.h>

#include "pdf_readback.h"
#include "printing/label.h"
#include "support/temp_dir.h"

namespace {

using printing::LabelData;
using printing::Paper;
using printing_test::unwrapped;
namespace fs = std::filesystem;

LabelData label(const QString& number, const QString& order_no, const QString& receiver) {
  LabelData l;
  l.courier_name = QString::fromUtf8("圆通速递");
  l.waybill_number = number;
  l.big_pen = QString::fromUtf8("上海 浦东新区 301");
  l.package_name = QString::fromUtf8("上海集包");
  l.package_code = QStringLiteral("2201");
  l.sorting_code = QStringLiteral("310-12-05");
  l.receiver_name = receiver;
  l.receiver_phone = QStringLiteral("13812345678");
  l.receiver_address = QString::fromUtf8("上海市 上海市 浦东新区 张江路 665号 3号楼1202室");
  l.sender_name = QString::fromUtf8("蔚禾优选旗舰店");
  l.sender_phone = QStringLiteral("0571-88886666");
  l.sender_address = QString::fromUtf8("浙江省 杭州市 余杭区 仓前街道 良睦路1399号");
  l.goods = QString::fromUtf8("有机五常大米 5kg等3件");
  l.count = 3;
  l.order_no = order_no;
  l.printed_at = QDateTime(QDate(2026, 12, 10), QTime(9, 30));
  return l;
}

fs::path write(const testing_support::TempDir& dir, const std::vector<LabelData>& labels,
               Paper paper, bool mask_phone = true) {
  const fs::path pdf = dir.path() / "labels.pdf";
  QString error;
  EXPECT_TRUE(printing::write_labels_pdf(QString::fromStdString(pdf.string()), labels, paper,
                                         mask_phone, &error))
      << error.toStdString();
  return pdf;
}

TEST(CourierLabel, ReadsBackAsTextAndBothBarcodesOnePerPage) {
  testing_support::TempDir dir;
  const std::vector<LabelData> labels = {
      label(QStringLiteral("YT3000000007919"), QStringLiteral("20240501083104001001"),
            QString::fromUtf8("陈静")),
      label(QStringLiteral("YT3000000015838"), QStringLiteral("20240501083104001002"),
            QString::fromUtf8("李四"))};
  const fs::path pdf = write(dir, labels, Paper::Label100x180);
  EXPECT_EQ(printing_test::pages(pdf), 2);
  const std::string text = unwrapped(printing_test::pdf_text(pdf, true));
  for (const char* expected :
       {"圆通速递", "YT30000000079", "陈静", "李四", "上海浦东新区301", "上海集包", "2201",
        "310-12-05", "138****5678", "张江路665号3号楼1202室", "蔚禾优选旗舰店", "有机五常大米",
        "共3件", "20240501083104001002", "2026-12-1009:30"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  EXPECT_EQ(text.find("13812345678"), std::string::npos);
  EXPECT_NE(text.find("0571-88886666"), std::string::npos);  // the shop's own stays whole

  const auto codes = printing_test::barcodes(pdf, dir.path(), 150);
  EXPECT_EQ(codes.at("CODE-128"),
            (std::set<std::string>{"YT3000000007919", "YT3000000015838", "20240501083104001001",
                                   "20240501083104001002"}));

  const fs::path plain = dir.path() / "plain.pdf";
  ASSERT_TRUE(printing::write_labels_pdf(QString::fromStdString(plain.string()), labels,
                                         Paper::Label100x150, false, nullptr));
  EXPECT_NE(printing_test::pdf_text(plain).find("13812345678"), std::string::npos);
}

TEST(CourierLabel, LongTextsShrinkOntoTheirOwnLabelOnEveryPaper) {
  LabelData longest =
      label(QStringLiteral("SF1234567890123"), QStringLiteral("20240501083104009999"),
            QString::fromUtf8("欧阳娜娜娜娜娜娜娜娜娜娜娜娜"));
  QString address = QString::fromUtf8("新疆维吾尔自治区 伊犁哈萨克自治州 ");
  for (int i = 0; i < 40; ++i) address += QString::fromUtf8("幸福路%1号").arg(100 + i);
  longest.receiver_address = address;           // ~300 characters
  longest.goods = QString(150, QChar(0x7C73));  // 米 × 150
  longest.big_pen = QString::fromUtf8("新疆伊犁哈萨克自治州霍尔果斯口岸 881-09");
  const LabelData plain = label(QStringLiteral("YT3000000023757"),
                                QStringLiteral("20240501083104001003"), QString::fromUtf8("王五"));
  for (Paper paper :
       {Paper::Label100x180, Paper::Label100x150, Paper::Label76x130, Paper::A5, Paper::A4}) {
    SCOPED_TRACE(std::string(printing::paper_name(paper)));
    testing_support::TempDir dir;
    const fs::path pdf = write(dir, {longest, plain}, paper);
    EXPECT_EQ(printing_test::pages(pdf), 2);
    const std::string text = unwrapped(printing_test::pdf_text(pdf, true));
    EXPECT_NE(text.find(unwrapped(address.toStdString())), std::string::npos);
    // Shrunk into their boxes: nothing runs into the next box.
    const auto all = printing_test::words(pdf);
    auto edge = [&all](const char* part, bool lowest) {
      double y = lowest ? 0 : 1e9;
      for (const auto& w : all)
        if (w.page == 1 && w.text.find(part) != std::string::npos)
          y = lowest ? std::max(y, w.bottom) : std::min(y, w.top);
      return y;
    };
    EXPECT_LT(edge("幸福路", true), edge("蔚禾优选旗舰店", false));
    EXPECT_LT(edge("米米", true), edge("订单号", false));
    EXPECT_LT(edge("881-09", true), edge("集包地", false));
    const auto codes = printing_test::barcodes(pdf, dir.path(), 150);
    ASSERT_TRUE(codes.count("CODE-128"));
    EXPECT_TRUE(codes.at("CODE-128").count("SF1234567890123"));
    EXPECT_TRUE(codes.at("CODE-128").count("YT3000000023757"));
  }
}

TEST(CourierLabel, NothingToPrintOrNowhereToWriteSaysWhy) {
  testing_support::TempDir dir;
  QString error;
  EXPECT_FALSE(printing::write_labels_pdf(QString::fromStdString((dir.path() / "a.pdf").string()),
                                          {}, Paper::Label100x180, true, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(fs::exists(dir.path() / "a.pdf"));
  error.clear();
  EXPECT_FALSE(printing::write_labels_pdf(
      QString::fromStdString((dir.path() / "no" / "a.pdf").string()),
      {label(QStringLiteral("YT1"), QStringLiteral("1"), QStringLiteral("x"))}, Paper::A4, true,
      &error));
  EXPECT_TRUE(error.contains(QString::fromUtf8("写不了")));
}

}  // namespace
