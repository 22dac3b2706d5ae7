// PatternMatcher: the system's three scraping patterns on real-shaped pages
// and near misses, the dialect, result accessors and failure states.
#include <gtest/gtest.h>

#include <chrono>

#include "web/pattern_matcher.h"

using namespace web;

namespace {

// Patterns are written as quoted in the back-office notes: \" is a double
// quote, \n a line feed, every other backslash is itself.
Text unquote(std::string_view quoted) {
  std::string out;
  for (size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] == '\\' && i + 1 < quoted.size() && quoted[i + 1] == '"') {
      out.push_back('"');
      ++i;
    } else if (quoted[i] == '\\' && i + 1 < quoted.size() && quoted[i + 1] == 'n') {
      out.push_back('\n');
      ++i;
    } else {
      out.push_back(quoted[i]);
    }
  }
  return gbk(out);
}

const Text kRowPattern = unquote(
    R"(<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>\n[\s\S]+?<a href=\"/order/edit\?id=(.*?)\")");

const Text kDetailPattern = unquote(
    R"(<tbody>[\s\S]+?<tr>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>包装方式:(.*?)</td>\n[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?</tr>[\s\S]+?</tbody>[\s\S]+?</table>[\s\S]+? </div>[\s\S]+?</div>\n[\s\S]+?<div class=\"box\">[\s\S]+? <div class=\"box-body\">订单总价：(.*?)</div>[\s\S]+?</div>[\s\S]+?<div class=\"box\">\n[\s\S]+?<div class=\"box-body\">支付方式：(.*?)</div>[\s\S]+? </div>[\s\S]+?<div class=\"box\">\n[\s\S]+?<div class=\"box-body\">取件方式：(.*?)</div>[\s\S]+?</div>[\s\S]+? <div class=\"box\">[\s\S]+?<div class=\"box-body\">物流信息</div>[\s\S]+?<div class=\"box-body\">[\s\S]+?<table>[\s\S]+?<tr>[\s\S]+?<td>买家留言：</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?</tr>[\s\S]+?<tr>[\s\S]+?<td>收 货 人：</td>[\s\S]+?<td>(.*?)</td>\n[\s\S]+?</tr>[\s\S]+?<tr>[\s\S]+?<td>联系电话：</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?</tr>[\s\S]+?<tr>[\s\S]+?<td>地址：</td>[\s\S]+? <td>(.*?)</td>\n[\s\S]+?</tr>\n[\s\S]+?<tr>[\s\S]+?<td>物流单号：</td>[\s\S]+?<td>(.*?)</td>)");

const Text kWithdrawalPattern = unquote(
    R"(<td>(.*?)</td>[\S\s]+?<td>(.*?)</td>[\S\s]+?<td>(.*?)</td>[\S\s]+?<td>(.*?)</td>[\S\s]+?<td>)");

std::string list_row(const std::string& id, const std::string& buyer) {
  return "  <tr>\n    <td>" + id + "</td>\n    <td>" + buyer +
         "</td>\n    <td>2024-01-02 10:00</td>\n    <td>59.90</td>\n    <td>微信</td>\n"
         "    <td>待发货</td>\n    <td>100%好评</td>\n    <td>\n"
         "      <a href=\"/order/edit?id=" +
         id + "\">查看</a>\n    </td>\n  </tr>\n";
}

std::string detail_page(const std::string& packing_label) {
  return R"(<table>
    <tbody>
    <tr>
      <td>蔚禾大米</td>
      <td>2</td>
      <td>)" +
         packing_label + R"(礼盒</td>
      <td>29.95</td>
      <td>59.90</td>
    </tr>
    </tbody>
    </table>
    </div>
    </div>
    <div class="box">
    <div class="box-body">订单总价：59.90</div>
    </div>
    <div class="box">
    <div class="box-body">支付方式：微信支付</div>
    </div>
    <div class="box">
    <div class="box-body">取件方式：快递</div>
    </div>
    <div class="box">
    <div class="box-body">物流信息</div>
    <div class="box-body">
    <table>
    <tr>
      <td>买家留言：</td>
      <td>尽快发货😀</td>
    </tr>
    <tr>
      <td>收 货 人：</td>
      <td>张三</td>
    </tr>
    <tr>
      <td>联系电话：</td>
      <td>13800000000</td>
    </tr>
    <tr>
      <td>地址：</td>
      <td>北京市朝阳区</td>
    </tr>
    <tr>
      <td>物流单号：</td>
      <td>SF1234</td>
    </tr>
    </table>)";
}

}  // namespace

TEST(PatternMatcherPages, OrderListRowsGiveEightCellsEach) {
  Text page = gbk("<table>\n" + list_row("101", "张三") + list_row("102", "李四") +
                  list_row("103", "王五") + "</table>\n");
  PatternMatcher m;
  ASSERT_TRUE(m.run(kRowPattern, page, true));
  ASSERT_EQ(m.match_count(), 3);
  EXPECT_EQ(m.submatch_count(), 8);
  EXPECT_EQ(m.submatch(1, 1), "101");
  EXPECT_EQ(m.submatch(2, 2), gbk("李四"));
  EXPECT_EQ(m.submatch(3, 7), gbk("100%好评"));
  EXPECT_EQ(m.submatch(3, 8), "103");
  EXPECT_EQ(m.submatch(1, 9), "");

  // Near miss: the action cell has text on the "<td>" line, so no row matches.
  std::string broken = list_row("104", "x");
  broken.replace(broken.find("<td>\n"), 5, "<td> \n");
  ASSERT_TRUE(m.run(kRowPattern, gbk(broken), true));
  EXPECT_EQ(m.match_count(), 0);
  EXPECT_EQ(m.submatch(1, 1), "");
  EXPECT_EQ(m.submatch_count(), 0);
}

// Real list pages end in a pager of link cells: every combination of those
// cells is a way for "one more row" to fail. The rows before stay found, at
// any page size, and quickly; a pattern only the backtracking engine can run
// (a look-ahead here) keeps its matches when it hits the engine's limit.
TEST(PatternMatcherPages, RowsBeforeAPagerOfLinkCellsAreAllFound) {
  auto page_of = [](int rows, int pager_cells) {
    std::string page = "<table>\n";
    for (int i = 0; i < rows; ++i) page += list_row(std::to_string(1000 + i), "买家");
    page += "</table>\n<table><tr>\n";
    for (int i = 1; i <= pager_cells; ++i)
      page += "<td><a href=\"/order/list?page=" + std::to_string(i) + "\">" +
              std::to_string(i) + "</a></td>\n";
    return gbk(page + "</tr></table>\n");
  };
  PatternMatcher m;
  for (auto [rows, cells] : {std::pair{3, 24}, std::pair{2000, 100}}) {
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(m.run(kRowPattern, page_of(rows, cells), true));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    ASSERT_EQ(m.match_count(), rows);
    EXPECT_EQ(m.submatch(rows, 8), std::to_string(1000 + rows - 1));
    EXPECT_FALSE(m.cut_short());
  }
  ASSERT_TRUE(m.run(kRowPattern + "(?=>)", page_of(3, 24), true));
  EXPECT_EQ(m.match_count(), 3);
  EXPECT_TRUE(m.cut_short());
  EXPECT_EQ(m.submatch(3, 8), "1002");

  // The dialect's own readings where the two engines differ: "\s" takes a
  // vertical tab, "[^]" is any character, multiline "^" follows a CR.
  ASSERT_TRUE(m.run("a\\sb", "a\vb", false, false));
  EXPECT_EQ(m.match_count(), 1);
  ASSERT_TRUE(m.run("[^]x", "\nx", false, false));
  EXPECT_EQ(m.match_count(), 1);
  ASSERT_TRUE(m.run("^x", "a\rx"));
  EXPECT_EQ(m.match_count(), 1);
}

TEST(PatternMatcherPages, OrderDetailGivesThirteenGroups) {
  PatternMatcher m;
  ASSERT_TRUE(m.run(kDetailPattern, gbk(detail_page("包装方式:")), false));
  ASSERT_EQ(m.match_count(), 1);
  EXPECT_EQ(m.submatch_count(), 13);
  EXPECT_EQ(m.submatch(1, 1), gbk("蔚禾大米"));
  EXPECT_EQ(m.submatch(1, 3), gbk("礼盒"));
  EXPECT_EQ(m.submatch(1, 6), "59.90");
  EXPECT_EQ(m.submatch(1, 9), gbk("尽快发货😀"));
  EXPECT_EQ(m.submatch(1, 12), gbk("北京市朝阳区"));
  EXPECT_EQ(m.submatch(1, 13), "SF1234");

  // Near miss: a full-width colon after 包装方式 does not match the ASCII one.
  ASSERT_TRUE(m.run(kDetailPattern, gbk(detail_page("包装方式：")), false));
  EXPECT_EQ(m.match_count(), 0);
}

TEST(PatternMatcherPages, WithdrawalRowsNeedAFollowingCell) {
  Text page = gbk(
      "<tr>\n<td>W1</td>\n<td>100.00</td>\n<td>已打款</td>\n<td>2024-01-01</td>\n<td>-</td>\n</"
      "tr>\n"
      "<tr>\n<td>W2</td>\n<td>50.00</td>\n<td>已打款</td>\n<td>2024-02-01</td>\n<td>-</td>\n</tr>\n"
      "<tr>\n<td>W3</td>\n<td>9.00</td>\n<td>已打款</td>\n<td>2024-03-01</td>\n</tr>\n");
  PatternMatcher m;
  ASSERT_TRUE(m.run(kWithdrawalPattern, page, false));
  ASSERT_EQ(m.match_count(), 2);
  EXPECT_EQ(m.submatch(1, 1), "W1");
  EXPECT_EQ(m.submatch(2, 3), gbk("已打款"));
  EXPECT_EQ(m.submatch(2, 4), "2024-02-01");
}

TEST(PatternMatcherDialect, DotLinesCaseAndCharacters) {
  PatternMatcher m;
  // "(.*?)" stops at a line feed; "[\s\S]+?" crosses it; "." takes a CR.
  ASSERT_TRUE(m.run("<td>(.*?)</td>", "<td>a\n</td><td>b\r</td>"));
  ASSERT_EQ(m.match_count(), 1);
  EXPECT_EQ(m.submatch(1, 1), "b\r");
  ASSERT_TRUE(m.run("<b>([\\s\\S]+?)</b>", "<b>1\n2</b>"));
  EXPECT_EQ(m.submatch(1, 1), "1\n2");
  // Case-insensitive by default; case-sensitive on request.
  EXPECT_TRUE(m.run("<td>(.*?)</td>", "<TD>x</TD>"));
  EXPECT_EQ(m.match_count(), 1);
  EXPECT_TRUE(m.run("<td>(.*?)</td>", "<TD>x</TD>", true));
  EXPECT_EQ(m.match_count(), 0);
  // One "." is one whole Chinese character or emoji.
  Text chinese = gbk("订单😀");
  ASSERT_TRUE(m.run("^(.)(.)(.)$", chinese));
  ASSERT_EQ(m.match_count(), 1);
  EXPECT_EQ(m.submatch(1, 1), gbk("订"));
  EXPECT_EQ(m.submatch(1, 3), gbk("😀"));
  // A negated class takes a character, never half of one.
  ASSERT_TRUE(m.run("[^a]", gbk("订")));
  EXPECT_EQ(m.match_text(1), gbk("订"));
  // Escapes and classes as the scripting engine reads them: "\v" is only the
  // vertical tab, an unknown letter escape is the letter, "[^]" is any
  // character, "[]" none, and "[" inside a class is a plain character.
  ASSERT_TRUE(m.run("a\\vb", "a\nb a\vb"));
  EXPECT_EQ(m.match_count(), 1);
  ASSERT_TRUE(m.run("\\Qx\\E", "QxE"));
  EXPECT_EQ(m.match_text(1), "QxE");
  ASSERT_TRUE(m.run("<b>([^]*?)</b>", "<b>1\n2</b>"));
  EXPECT_EQ(m.submatch(1, 1), "1\n2");
  ASSERT_TRUE(m.run("a[]", "a"));
  EXPECT_EQ(m.match_count(), 0);
  ASSERT_TRUE(m.run("[[:a]+", "[:a"));
  EXPECT_EQ(m.match_text(1), "[:a");
}

TEST(PatternMatcherDialect, AnchorsGlobalAndEmptyMatches) {
  PatternMatcher m;
  ASSERT_TRUE(m.run("^x$", "x\nx\ny"));
  EXPECT_EQ(m.match_count(), 2);
  ASSERT_TRUE(m.run("^x$", "x\nx\ny", false, /*multiline=*/false));
  EXPECT_EQ(m.match_count(), 0);
  ASSERT_TRUE(m.run("x$", "x\n", false, false));
  EXPECT_EQ(m.match_count(), 0);  // "$" is the very end outside multiline mode
  // Lines of a CR LF page: in multiline mode a CR is a line break for "^" and "$" too.
  ASSERT_TRUE(m.run("^x$", "x\r\nx\r\ny"));
  EXPECT_EQ(m.match_count(), 2);
  ASSERT_TRUE(m.run("^(.+?)$", "a\rb"));
  ASSERT_EQ(m.match_count(), 2);
  EXPECT_EQ(m.submatch(2, 1), "b");
  ASSERT_TRUE(m.run("^", "a\n"));
  EXPECT_EQ(m.match_count(), 2);  // also after the final line feed
  ASSERT_TRUE(m.run("\\d", "a1b2c3", false, true, /*global=*/false));
  EXPECT_EQ(m.match_count(), 1);
  ASSERT_TRUE(m.run("x*", gbk("a订")));
  EXPECT_EQ(m.match_count(), 3);  // empty matches before each character and at the end
  ASSERT_TRUE(m.run("\\?id=(\\d+)", "/e?id=7"));
  EXPECT_EQ(m.submatch(1, 1), "7");
  ASSERT_TRUE(m.run("(a)|(b)", "b"));
  EXPECT_EQ(m.submatch(1, 1), "");  // group that took no part
  EXPECT_EQ(m.submatch(1, 2), "b");
}

TEST(PatternMatcherResults, IndexesPositionsAndReplace) {
  PatternMatcher m;
  EXPECT_EQ(m.pattern(), "");
  EXPECT_EQ(m.replace_all("x"), "");
  EXPECT_EQ(m.match_count(), 0);
  Text subject = gbk("订单<i>a</i><i>b</i>");
  ASSERT_TRUE(m.run("<i>(.)</i>", subject));
  EXPECT_EQ(m.pattern(), "<i>(.)</i>");
  EXPECT_EQ(m.match_text(0), "");
  EXPECT_EQ(m.match_text(3), "");
  EXPECT_EQ(m.submatch(-1, 1), "");
  EXPECT_EQ(m.submatch(1, 0), "");
  int pos = 99;
  EXPECT_EQ(m.match_text(2, &pos), "<i>b</i>");
  EXPECT_EQ(pos, 12);  // 0-based byte offset in the GB18030 subject
  EXPECT_EQ(m.submatch(1, 1, &pos), "a");
  EXPECT_EQ(pos, 7);
  EXPECT_EQ(m.replace_all("[$1$$$&]"), gbk("订单[a$<i>a</i>][b$<i>b</i>]"));
  EXPECT_EQ(m.replace_all("$2$"), gbk("订单$2$$2$"));
  ASSERT_TRUE(m.run("<i>(.)</i>", subject, false, true, false));
  EXPECT_EQ(m.replace_all(), gbk("订单<i>b</i>"));
  // The quote marker stands for a double quote in the pattern.
  ASSERT_TRUE(m.run(gbk("id=#引号(.*?)#引号"), "<a id=\"k9\">", false, true, true, true));
  EXPECT_EQ(m.submatch(1, 1), "k9");
  EXPECT_EQ(m.pattern(), "id=\"(.*?)\"");
}

TEST(PatternMatcherFailures, BadPatternsAndRunawayMatchingFailCleanly) {
  PatternMatcher m;
  ASSERT_TRUE(m.run("(a)", "a"));
  EXPECT_FALSE(m.run("<td>(.*?</td>", "<td>x</td>"));
  EXPECT_EQ(m.match_count(), 0);
  EXPECT_EQ(m.submatch(1, 1), "");
  EXPECT_EQ(m.match_text(1), "");
  EXPECT_EQ(m.replace_all("z"), "");
  EXPECT_FALSE(m.run("[", "x"));

  // Nested quantifiers over a long run of "a" without the final "b".
  // The first needs look-arounds (multiline "^"), so the backtracking engine
  // searches alone and gives up at its limit; the second is decided at once.
  Text page(200000, 'a');
  page += "!";
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(m.run("^(a+)+$", page));
  EXPECT_TRUE(m.run("(a|aa)+(b|$)", page, false, false));
  auto elapsed = std::chrono::steady_clock::now() - t0;
  EXPECT_EQ(m.match_count(), 0);
  EXPECT_LT(elapsed, std::chrono::seconds(20));
  // The matcher is usable again afterwards.
  EXPECT_TRUE(m.run("(a)", "xa"));
  EXPECT_EQ(m.submatch(1, 1), "a");
}

TEST(PatternMatcherFailures, InvalidSubjectBytesDoNotBreakMatching) {
  PatternMatcher m;
  Text subject = "x\x81\xFFy<td>\x80</td>";
  ASSERT_TRUE(m.run("<td>(.*?)</td>", subject));
  EXPECT_EQ(m.match_count(), 1);
  EXPECT_EQ(m.submatch(1, 1), utf8_to_gbk("\xEF\xBF\xBD"));
  ASSERT_TRUE(m.run("y", subject));
  EXPECT_EQ(m.match_count(), 1);
}
