#include "fulfilment/courier_codes.h"

#include <array>
#include <string_view>

namespace fulfilment {

namespace {

// In display order; "gnxb" appears twice on purpose (two names, one code).
constexpr std::array<std::string_view, 31> kCouriers = {
    "shentong----申通快递", "yuantong----圆通速递",
    "yunda----韵达快运",    "zhongtong----中通快递",
    "shunfeng----顺丰速运", "huitong----百世快递(原汇通)",
    "tiantian----天天快递", "zhaijisong----宅急送",
    "quanfeng----全峰快递", "debang----德邦物流",
    "anjie----安捷快递",    "abc----爱彼西快递",
    "anxun----安迅物流",    "baotongda----宝通达物流",
    "ppbyb----贝邮宝",      "changtong----长通物流",
    "cces----CCES快递",     "ems----EMS",
    "eyoubao----E邮宝",     "feibang----飞邦物流",
    "feiyuan----飞远物流",  "fanyu----凡宇速递",
    "guotong----国通快递",  "gnxb----国内小包",
    "jingdong----京东快递", "intmail----中国邮政国际包裹",
    "gnxb----邮政小包",     "bsky----百世快运",
    "emsen----EMS",         "shunfengen----顺丰",
    "auto----其他",
};

constexpr std::string_view kBetween = "----";

std::string_view code_of(std::string_view line) {
  return line.substr(0, line.find(kBetween));
}
std::string_view name_of(std::string_view line) {
  return line.substr(line.find(kBetween) + kBetween.size());
}

}  // namespace

bool is_listed_courier_code(const web::Text& code) {
  for (std::string_view line : kCouriers)
    if (code_of(line) == code) return true;
  return false;
}

web::Text courier_code_named(const web::Text& name) {
  const std::string utf8 = web::gbk_to_utf8(web::trim_spaces(name));
  if (utf8.empty()) return {};
  for (std::string_view line : kCouriers)
    if (name_of(line) == utf8) return std::string(code_of(line));
  std::string_view found;
  for (std::string_view line : kCouriers) {
    if (name_of(line).substr(0, utf8.size()) != utf8) continue;
    if (!found.empty() && found != code_of(line)) return {};  // several couriers
    found = code_of(line);
  }
  return std::string(found);
}

web::Text courier_code_list() {
  std::string utf8;
  for (std::size_t i = 0; i < kCouriers.size(); ++i) {
    if (i > 0) utf8 += "\r\n";
    utf8 += kCouriers[i];
  }
  return web::gbk(utf8);
}

}  // namespace fulfilment
