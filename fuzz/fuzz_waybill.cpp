// The e-waybill providers on any answer body (through a fake Post), and the
// address split on any text. Whatever comes back, an answer is one of the
// three outcomes with what that outcome promises, and a split address is
// made of parts that stand in the address in order.

#include <string>

#include "fuzz/support.h"
#include "waybill/address_split.h"
#include "waybill/kdniao.h"
#include "waybill/kuaidi100.h"

namespace {

using namespace waybill;

WaybillRequest request() {
  WaybillRequest r;
  r.order_no = "20240501083104001001";
  r.receiver = {"陈静", "15021477518", "上海市 上海市 浦东新区 张江路 665号"};
  r.sender = {"王建国", "0571-88886666", "浙江省 杭州市 余杭区 良睦路1399号"};
  r.cargo = "有机五常大米";
  return r;
}

Account account() {
  Account a;
  a.courier = "yuantong";
  a.key = a.secret = a.partner_id = "k";
  a.ebusiness_id = a.app_key = "k";
  return a;
}

void check(const OrderAnswer& a, const std::string& body) {
  FUZZ_CHECK(a.raw == body);
  if (a.outcome == Outcome::Ordered) FUZZ_CHECK(!a.waybill.number.empty());
  if (a.outcome != Outcome::Ordered) FUZZ_CHECK(!a.reason.empty());
  if (a.duplicate) FUZZ_CHECK(a.outcome == Outcome::Refused && a.waybill.number.empty());
}

void check(const CancelAnswer& a) {
  FUZZ_CHECK(!(a.cancelled && a.unknown));
  if (!a.cancelled) FUZZ_CHECK(!a.reason.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  const Post post = [&body](const std::string&, const std::string&) {
    return HttpAnswer{200, body};
  };
  Waybill waybill;
  waybill.number = "YT1";
  const std::unique_ptr<Provider> providers[] = {make_kuaidi100(account(), post),
                                                 make_kdniao(account(), post)};
  for (const auto& provider : providers) {
    check(provider->order(request()), body);
    check(provider->cancel(request(), waybill, "x"));
  }

  std::string why;
  if (const auto a = split_address(body, &why)) {
    FUZZ_CHECK(!a->province.empty() && !a->city.empty() && !a->district.empty());
    const std::size_t district = body.find(a->district);
    FUZZ_CHECK(district != std::string::npos);
    FUZZ_CHECK(a->rest.empty() ||
               body.find(a->rest, district + a->district.size()) != std::string::npos);
  } else {
    FUZZ_CHECK(why.starts_with("地址分不出省市区："));
  }
  return 0;
}
