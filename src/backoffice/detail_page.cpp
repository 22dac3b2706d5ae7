#include "backoffice/detail_page.h"

namespace backoffice {

const Text& order_detail_pattern() {
  static const Text pattern = web::gbk(
      R"~(<tbody>[\s\S]+?<tr>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?<td>包装方式:(.*?)</td>)~"
      "\n"
      R"~([\s\S]+?<td>(.*?)</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?</tr>[\s\S]+?</tbody>[\s\S]+?</table>[\s\S]+? </div>[\s\S]+?</div>)~"
      "\n"
      R"~([\s\S]+?<div class="box">[\s\S]+? <div class="box-body">订单总价：(.*?)</div>[\s\S]+?</div>[\s\S]+?<div class="box">)~"
      "\n"
      R"~([\s\S]+?<div class="box-body">支付方式：(.*?)</div>[\s\S]+? </div>[\s\S]+?<div class="box">)~"
      "\n"
      R"~([\s\S]+?<div class="box-body">取件方式：(.*?)</div>[\s\S]+?</div>[\s\S]+? <div class="box">)~"
      R"~([\s\S]+?<div class="box-body">物流信息</div>[\s\S]+?<div class="box-body">[\s\S]+?<table>)~"
      R"~([\s\S]+?<tr>[\s\S]+?<td>买家留言：</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?</tr>)~"
      R"~([\s\S]+?<tr>[\s\S]+?<td>收 货 人：</td>[\s\S]+?<td>(.*?)</td>)~"
      "\n"
      R"~([\s\S]+?</tr>[\s\S]+?<tr>[\s\S]+?<td>联系电话：</td>[\s\S]+?<td>(.*?)</td>[\s\S]+?</tr>)~"
      R"~([\s\S]+?<tr>[\s\S]+?<td>地址：</td>[\s\S]+? <td>(.*?)</td>)~"
      "\n"
      R"~([\s\S]+?</tr>)~"
      "\n"
      R"~([\s\S]+?<tr>[\s\S]+?<td>物流单号：</td>[\s\S]+?<td>(.*?)</td>)~");
  return pattern;
}

std::optional<std::vector<Text>> order_detail_of(const Text& page, web::PatternMatcher& matcher) {
  if (!matcher.run(order_detail_pattern(), page, /*case_sensitive=*/false)) return std::nullopt;
  const int n = matcher.match_count();
  if (n < 1) return std::nullopt;
  std::vector<Text> groups(kDetailGroups);
  for (int g = 1; g <= kDetailGroups; ++g) groups[g - 1] = matcher.submatch(n, g);
  return groups;
}

}  // namespace backoffice
