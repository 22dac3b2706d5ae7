#pragma once
// The receiver's address as the mall gives it ("浙江省 杭州市 西湖区 文三路 398号",
// with or without the spaces) cut into province, city, district and the rest,
// as Kdniao wants them, against the national list of divisions (divisions.txt,
// built in). Municipalities may name their city twice or not at all
// ("上海市 上海市 浦东新区 …", "上海市浦东新区…"); a province may be written
// without its suffix ("浙江杭州市…"). What cannot be split for certain is
// refused with the reason, never guessed: no province at the start, no city
// of that province next, or no district of that city after it.
//
// Usage: std::string why;
//        if (auto a = waybill::split_address(address, &why)) use(a->province, a->rest);
//        else refuse(why);

#include <optional>
#include <string>
#include <string_view>

#include "waybill/provider.h"

namespace waybill {

// `why` (UTF-8, for the merchant) is set when the address is refused; may be null.
std::optional<SplitAddress> split_address(std::string_view utf8_address, std::string* why);

}  // namespace waybill
