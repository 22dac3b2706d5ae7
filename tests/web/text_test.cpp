// Text primitives, markers, percent-decoding, charset conversion and URL parts.
#include <gtest/gtest.h>

#include "web/markup.h"
#include "web/text.h"

using namespace web;

namespace {
// A GB18030 four-byte character (U+1F600, grinning face).
const Text kEmoji = gbk("\xF0\x9F\x98\x80");
}  // namespace

TEST(FindText, PositionsStartAndEmptySought) {
  EXPECT_EQ(find_text("abcabc", "bc"), 2);
  EXPECT_EQ(find_text("abcabc", "bc", 3), 5);
  EXPECT_EQ(find_text("abcabc", "bc", -4), 2);
  EXPECT_EQ(find_text("abcabc", "bc", 7), -1);
  EXPECT_EQ(find_text("abc", "x"), -1);
  EXPECT_EQ(find_text("abc", ""), 1);
  EXPECT_EQ(find_text("", ""), -1);
  EXPECT_EQ(find_text("abc", "abcd"), -1);
}

TEST(FindText, NeverMatchesOnATrailByte) {
  // 0x81 0x40 is one double-byte character whose trail byte is "@".
  Text t = "\x81\x40@";
  EXPECT_EQ(find_text(t, "@"), 3);
  EXPECT_EQ(find_text_last(t, "@"), 3);
  EXPECT_EQ(find_text("\x81\x40", "@"), -1);
  // Trail byte that looks like an ASCII letter, with ignore_case.
  EXPECT_EQ(find_text("\x95"
                      "a"
                      "A",
                      "a", 1, true),
            3);
}

TEST(FindText, IgnoreCaseFoldsAsciiOnly) {
  EXPECT_EQ(find_text("x\r\nset-cookie: a=1", "Set-Cookie", 1, true), 4);
  EXPECT_EQ(find_text("x\r\nset-cookie: a=1", "Set-Cookie"), -1);
  // 0x81 0x41 and 0x81 0x61 are two different characters whose trail bytes
  // look like "A" and "a": ignoring case must not make them equal.
  EXPECT_EQ(find_text("\x81\x41", "\x81\x61", 1, true), -1);
  EXPECT_EQ(find_text("x\x81\x61Q", "\x81\x61q", 1, true), 2);
  EXPECT_EQ(replace_text("\x81\x41\x81\x61", "\x81\x61", "#", 1, -1, false), "\x81\x41#");
  EXPECT_EQ(find_text_last("a:b:c", ":"), 4);
}

TEST(TextPrimitives, CuttingOutOfRangeGivesEmpty) {
  EXPECT_EQ(left_text("abc", 2), "ab");
  EXPECT_EQ(left_text("abc", 9), "abc");
  EXPECT_EQ(left_text("abc", 0), "");
  EXPECT_EQ(right_text("abc", 2), "bc");
  EXPECT_EQ(right_text("abc", -1), "");
  EXPECT_EQ(mid_text("abcdef", 2, 3), "bcd");
  EXPECT_EQ(mid_text("abcdef", 5, 9), "ef");
  EXPECT_EQ(mid_text("abcdef", 0, 2), "");
  EXPECT_EQ(mid_text("abcdef", 7, 1), "");
  EXPECT_EQ(text_length(gbk("订单")), 4);
}

TEST(TextPrimitives, CaseAndSpacesLeaveDoubleByteCharactersAlone) {
  Text t =
      "\x95"
      "a" +
      kEmoji + "Q";  // trail byte "a" must not be upper-cased
  EXPECT_EQ(to_upper(t),
            "\x95"
            "a" +
                kEmoji + "Q");
  EXPECT_EQ(to_lower("AbC" + kEmoji), "abc" + kEmoji);
  Text full = "\xA1\xA1";
  EXPECT_EQ(trim_spaces(full + "  x y " + full + " "), "x y");
  EXPECT_EQ(trim_spaces("\r\n x \r\n"), "\r\n x \r\n");
  EXPECT_EQ(trim_spaces(" " + kEmoji + " "), kEmoji);
  // 0xB0 0xA1 then 0xA1: the last 0xA1 0xA1 pair straddles two units and is no space.
  EXPECT_EQ(trim_spaces("\xB0\xA1\xA1"), "\xB0\xA1\xA1");
  EXPECT_EQ(remove_spaces("a b" + full + "c"), "abc");
  EXPECT_EQ(trim_spaces("   "), "");
}

TEST(TextPrimitives, ReplaceText) {
  EXPECT_EQ(replace_text("a-b-c", "-", "+"), "a+b+c");
  EXPECT_EQ(replace_text("a-b-c", "-", "+", 3), "a-b+c");
  EXPECT_EQ(replace_text("a-b-c", "-", "", 1, 1), "ab-c");
  EXPECT_EQ(replace_text("x set-cookie y", "Set-Cookie", "Set-Cookie", 1, -1, false),
            "x Set-Cookie y");
  EXPECT_EQ(replace_text("x set-cookie", "Set-Cookie", "Z"), "x set-cookie");
  EXPECT_EQ(replace_text("", "a", "b"), "");
  EXPECT_EQ(replace_text("abc", "", "b"), "abc");
  EXPECT_EQ(replace_text("\x81@@", "@", "#"), "\x81@#");
}

TEST(TextPrimitives, SplitText) {
  EXPECT_EQ(split_text("a\r\n\r\nb\r\n", "\r\n"), (TextArray{"a", "", "b"}));
  EXPECT_EQ(split_text("a;b;c", ";", 2), (TextArray{"a", "b"}));
  EXPECT_EQ(split_text("", ";"), TextArray{});
  EXPECT_EQ(split_text("a;b", ""), TextArray{"a;b"});
  EXPECT_EQ(split_text(";a", ";"), (TextArray{"", "a"}));
}

TEST(TextPrimitives, BytesCodesAndIntegers) {
  EXPECT_EQ(bytes_to_text(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(text_to_bytes("ab"), "ab");
  EXPECT_EQ(char_of_code(65), "A");
  EXPECT_EQ(char_of_code(256), "");
  EXPECT_EQ(char_of_code(256 + 66), "B");
  EXPECT_EQ(to_integer("  -42abc"), -42);
  EXPECT_EQ(to_integer("+7"), 7);
  EXPECT_EQ(to_integer(gbk("１２３")), 123);
  EXPECT_EQ(to_integer("abc"), 0);
  EXPECT_EQ(to_integer(""), 0);
  EXPECT_EQ(to_integer("99999999999999999999999"), 9223372036854775807LL);
  EXPECT_EQ(concat_text({"a", "", "bc"}), "abc");
}

TEST(TextBetween, FirstLeftThenFirstRightAfterIt) {
  EXPECT_EQ(text_between("<b>one</b><b>two</b>", "<b>", "</b>"), "one");
  EXPECT_EQ(text_between("</b> x", "<b>", "</b>"), "");
  EXPECT_EQ(text_between("</b> <b>x", "<b>", "</b>"), "");
  EXPECT_EQ(text_between("<b></b>", "<b>", "</b>"), "");
  EXPECT_EQ(text_between("abc", "", "c"), "ab");
  EXPECT_EQ(text_between("abc", "a", ""), "");
  EXPECT_EQ(text_between("a1b a2b", "a", "b", 2), "2");
  EXPECT_EQ(text_between("<META>x</meta>", "<meta>", "</META>", 1, true), "x");
}

TEST(TextBetween, QuoteMarkerStandsForADoubleQuote) {
  Text page = "<meta name=\"csrf-token\" content=\"tok123\">";
  EXPECT_EQ(text_between(page, gbk("content=#引号"), gbk("#引号")), "tok123");
}

TEST(UrlDecode, HexEscapesDecodeOthersStay) {
  EXPECT_EQ(url_decode("%41%62c"), "Abc");
  EXPECT_EQ(url_decode("%4a%4A"), "JJ");
  EXPECT_EQ(url_decode("a%00b"), "ab");
  EXPECT_EQ(url_decode("a+b"), "a+b");
  // Lone or malformed percent signs are literal text.
  EXPECT_EQ(url_decode("ends %2"), "ends %2");
  EXPECT_EQ(url_decode("%"), "%");
  EXPECT_EQ(url_decode("%zz"), "%zz");
  EXPECT_EQ(url_decode("%%41"), "%A");
  EXPECT_EQ(url_decode("<td>100%</td><td>x</td>"), "<td>100%</td><td>x</td>");
}

TEST(UrlDecode, Utf8StepConvertsToGb18030) {
  EXPECT_EQ(url_decode("%E4%BD%A0", true), gbk("你"));
  EXPECT_EQ(url_decode("\xE4\xBD\xA0", true), "\xC4\xE3");
  EXPECT_EQ(url_decode("100%\xE5\xA5\xBD\xE8\xAF\x84", true), gbk("100%好评"));
  // An emoji survives the trip and the primitives treat it as opaque units.
  Text t = url_decode("%F0%9F%98%80 X ", true);
  EXPECT_EQ(t, kEmoji + " X ");
  EXPECT_EQ(gbk_to_utf8(t), "\xF0\x9F\x98\x80 X ");
  EXPECT_EQ(to_lower(t), kEmoji + " x ");
  EXPECT_EQ(trim_spaces(t), kEmoji + " X");
  EXPECT_EQ(find_text(t, "X"), 6);
}

TEST(Charset, RoundTripAndInvalidInput) {
  std::string utf8 = "a\xE4\xBD\xA0\xC3\xA9\xF0\x9F\x98\x80z";
  EXPECT_EQ(gbk_to_utf8(utf8_to_gbk(utf8)), utf8);
  EXPECT_EQ(gbk("订单"), "\xB6\xA9\xB5\xA5");
  // Invalid UTF-8 becomes U+FFFD and the rest still converts.
  EXPECT_EQ(gbk_to_utf8(utf8_to_gbk("a\xFF"
                                    "b\xE4\xBD")),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(utf8_to_gbk(std::string("ab\0cd", 5)), "ab");
  // Invalid GB18030 (a lone lead byte at the end) does not stop the conversion.
  EXPECT_EQ(gbk_to_utf8("x\x81"), "x\xEF\xBF\xBD");
  EXPECT_EQ(utf8_to_gbk(""), "");
}

TEST(FormEncode, Utf8PercentEncodingKeepsUnreservedBytes) {
  EXPECT_EQ(form_encode("Abc-1.2_3~"), "Abc-1.2_3~");
  EXPECT_EQ(form_encode("p&w=d +"), "p%26w%3Dd%20%2B");
  EXPECT_EQ(form_encode(gbk("你")), "%E4%BD%A0");
  EXPECT_EQ(form_encode("1&order_id=9"), "1%26order_id%3D9");
}

TEST(UrlParts, HostPortAndPath) {
  Text url = "HTTP://Shop.Example.COM:81/Order/List?State=20";
  EXPECT_EQ(host_of_url(url), "shop.example.com");
  EXPECT_EQ(host_of_url(url, true), "shop.example.com:81");
  EXPECT_EQ(port_of_url(url), 81);
  EXPECT_EQ(path_of_url(url), "/Order/List?State=20");
  EXPECT_EQ(port_of_url("https://a.b/x"), 443);
  EXPECT_EQ(port_of_url("HTTPS://a.b"), 443);
  EXPECT_EQ(port_of_url("a.b/x"), 80);
  EXPECT_EQ(host_of_url("a.b/x"), "a.b");
  EXPECT_EQ(path_of_url("http://a.b"), "/");
  EXPECT_EQ(path_of_url("http://a.b?x=1"), "/");
  EXPECT_EQ(host_of_url(""), "");
}

TEST(PageText, CutsAtZeroDecodesAndConverts) {
  std::string body("<p>%E4%BD%A0\xE5\xA5\xBD</p>\0junk", 24);
  EXPECT_EQ(page_text(body), "<p>" + gbk("你好") + "</p>");
  EXPECT_EQ(page_text(""), "");
}

// What a member cell shows: its tags left out, its references decoded, and
// anything that only looks like markup kept.
TEST(WithoutMarkup, TagsGoReferencesAreDecodedTheRestStays) {
  EXPECT_EQ(without_markup(gbk("<b>韩梅梅</b>")), gbk("韩梅梅"));
  EXPECT_EQ(without_markup(gbk("<span class=\"vip\">VIP</span>郑洁")), gbk("VIP郑洁"));
  EXPECT_EQ(without_markup(gbk("李&amp;王&nbsp;&lt;b&gt;&quot;&apos;")), gbk("李&王 <b>\"'"));
  EXPECT_EQ(without_markup(gbk("&#37073;&#x6D01;&#X6d01;")), gbk("郑洁洁"));
  EXPECT_EQ(without_markup(gbk("<!-- x -->a<br/>b")), "ab");
  // A text without markup comes back byte for byte, four-byte characters too.
  EXPECT_EQ(without_markup(kEmoji + gbk("张伟")), kEmoji + gbk("张伟"));
  for (const char* kept : {"a < b", "a<", "<b unclosed", "R&D", "&unknown;", "&#0;", "&#xD800;",
                           "&#1114112;", "&#12a;", "&;"})
    EXPECT_EQ(without_markup(kept), kept) << kept;
}
