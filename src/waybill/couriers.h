#pragma once
// Which courier an e-waybill provider's courier code is, in the mall's terms:
// the mall's own courier code (what shipping sends to the back office) and the
// courier's name for the label. The table is waybill_couriers.tsv, built in.
// Kdniao's codes are matched regardless of case.
//
// Usage: std::string mall = waybill::mall_courier("kdniao", "YTO");      // "yuantong"
//        std::string name = waybill::courier_name("kuaidi100", "yuantong");  // "圆通速递"

#include <string>
#include <string_view>

namespace waybill {

// The mall's courier code for `provider`'s ("kuaidi100" | "kdniao") courier
// `code`; empty when the table has none.
std::string mall_courier(std::string_view provider, std::string_view code);
// The courier's name (UTF-8); empty for a code the table does not know.
std::string courier_name(std::string_view provider, std::string_view code);
// The other way: `provider`'s code for the mall's courier code; empty when none.
std::string provider_courier(std::string_view provider, std::string_view mall_code);

}  // namespace waybill
