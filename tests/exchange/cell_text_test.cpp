#include "exchange/cell_text.h"

#include <gtest/gtest.h>

namespace exchange {
namespace {

TEST(CellText, NumbersReadAsASpreadsheetShowsThem) {
  EXPECT_EQ(number_text("12345"), "12345");
  EXPECT_EQ(number_text("12345.0"), "12345");
  EXPECT_EQ(number_text("1.2345E4"), "12345");
  EXPECT_EQ(number_text("-0"), "0");
  EXPECT_EQ(number_text("0.1"), "0.1");
  EXPECT_EQ(number_text("1.5E-3"), "0.0015");
  EXPECT_EQ(number_text("2.5e-7"), "2.5E-07");
  EXPECT_EQ(number_text("-3.25"), "-3.25");
  // A stored integer keeps every digit, however long.
  EXPECT_EQ(number_text("123456789012345678"), "123456789012345678");
  EXPECT_EQ(number_text("13800138000"), "13800138000");
  // A large whole number stored in floating form is shown whole, 15 digits kept.
  EXPECT_EQ(number_text("1.234567890123457e+17"), "123456789012346000");
  // What is no number stays as it is.
  EXPECT_EQ(number_text("abc"), "abc");
  EXPECT_EQ(number_text(""), "");
}

TEST(CellText, DateFormatsAreRecognised) {
  EXPECT_EQ(date_kind(0, ""), DateKind::None);
  EXPECT_EQ(date_kind(49, ""), DateKind::None);  // "@"
  EXPECT_EQ(date_kind(14, ""), DateKind::Date);
  EXPECT_EQ(date_kind(21, ""), DateKind::Time);
  EXPECT_EQ(date_kind(22, ""), DateKind::DateTime);
  EXPECT_EQ(date_kind(176, "yyyy/m/d\\ h:mm;@"), DateKind::DateTime);
  EXPECT_EQ(date_kind(177, "[$-409]mmm-yy"), DateKind::Date);
  EXPECT_EQ(date_kind(178, "[h]:mm:ss"), DateKind::Time);
  EXPECT_EQ(date_kind(179, "0.00\"days\""), DateKind::None);
  EXPECT_EQ(date_kind(180, "[Red]0.00;[Blue]-0.00"), DateKind::None);
  EXPECT_EQ(date_kind(181, "0.00E+00"), DateKind::None);
}

TEST(CellText, DateSerialsBecomeDates) {
  EXPECT_EQ(date_text(45356, DateKind::Date), "2024-03-05");
  EXPECT_EQ(date_text(45356.75, DateKind::DateTime), "2024-03-05 18:00:00");
  EXPECT_EQ(date_text(0.3369097222222222, DateKind::Time), "08:05:09");
  EXPECT_EQ(date_text(1, DateKind::Date), "1900-01-01");
  EXPECT_EQ(date_text(60, DateKind::Date), "1900-02-29");
  EXPECT_EQ(date_text(61, DateKind::Date), "1900-03-01");
  EXPECT_EQ(date_text(0, DateKind::Date, true), "1904-01-01");
  // Rounding to the second may carry into the next day.
  EXPECT_EQ(date_text(36525.999999999, DateKind::DateTime), "2000-01-01 00:00:00");
  // Out of the calendar's range: shown as the number.
  EXPECT_EQ(date_text(-5, DateKind::Date), "-5");
  EXPECT_EQ(date_text(1e12, DateKind::Date), "1000000000000");
}

TEST(CellText, ControlCharacterEscapesAreDecoded) {
  EXPECT_EQ(decode_escapes("a_x000D_b"), "a\rb");
  EXPECT_EQ(decode_escapes("_x005F_x"), "_x");
  EXPECT_EQ(decode_escapes("_x4E2D_"), "中");
  EXPECT_EQ(decode_escapes("_x0000_z"), "z");  // never a zero byte
  EXPECT_EQ(decode_escapes("_xZZZZ_ _x12"), "_xZZZZ_ _x12");
}

}  // namespace
}  // namespace exchange
