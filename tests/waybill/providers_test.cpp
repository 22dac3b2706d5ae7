// The two e-waybill providers against fake HTTP answers: their signatures
// held against signatures computed elsewhere, the exact request they send,
// and how every kind of answer comes out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "waybill/couriers.h"
#include "waybill/kdniao.h"
#include "waybill/kuaidi100.h"
#include "web/text.h"

namespace {

using namespace waybill;
using testing::HasSubstr;
using testing::StartsWith;

// The worked example both providers' reference signatures were computed on.
constexpr const char* kK100Param =
    R"({"kuaidicom":"yuantong","partnerId":"P-0001","recMan":{"name":"陈静","mobile":"15021477518","printAddr":"上海市 上海市 浦东新区 张江路 665号 3号楼1202室"},"sendMan":{"name":"王建国","mobile":"0571-88886666","printAddr":"浙江省 杭州市 余杭区 仓前街道 良睦路1399号"},"cargo":"有机五常大米 5kg","count":2,"orderId":"20240501083104001001","printType":"NON"})";
constexpr const char* kKdnData =
    R"({"OrderCode":"20240501083104001001","ShipperCode":"YTO","CustomerName":"c-0001","CustomerPwd":"pw-0001","PayType":3,"ExpType":1,"Receiver":{"Name":"陈静","Mobile":"15021477518","ProvinceName":"上海市","CityName":"上海市","ExpAreaName":"浦东新区","Address":"张江路 665号 3号楼1202室"},"Sender":{"Name":"王建国","Tel":"0571-88886666","ProvinceName":"浙江省","CityName":"杭州市","ExpAreaName":"余杭区","Address":"仓前街道 良睦路1399号"},"Commodity":[{"GoodsName":"有机五常大米 5kg","Goodsquantity":2}],"Quantity":1})";

WaybillRequest example(const std::string& courier) {
  WaybillRequest r;
  r.order_id = "1001";
  r.order_no = "20240501083104001001";
  r.courier = courier;
  r.receiver = {"陈静", "15021477518", "上海市 上海市 浦东新区 张江路 665号 3号楼1202室"};
  r.sender = {"王建国", "0571-88886666", "浙江省 杭州市 余杭区 仓前街道 良睦路1399号"};
  r.cargo = "有机五常大米 5kg";
  r.count = 2;
  return r;
}

Account kuaidi100_account() {
  Account a;
  a.provider = "kuaidi100";
  a.courier = "yuantong";
  a.key = "EXAMPLEKEY";
  a.secret = "EXAMPLESECRET";
  a.partner_id = "P-0001";
  return a;
}

Account kdniao_account() {
  Account a;
  a.provider = "kdniao";
  a.courier = "YTO";
  a.ebusiness_id = "1234567";
  a.app_key = "example-app-key";
  a.customer_name = "c-0001";
  a.customer_pwd = "pw-0001";
  return a;
}

// A Post that keeps what was sent and answers with `answer`.
struct FakePost {
  explicit FakePost(HttpAnswer a) : answer(std::move(a)) {}
  HttpAnswer answer;
  std::string url, body;
  int calls = 0;
  Post post() {
    return [this](const std::string& u, const std::string& b) {
      ++calls;
      url = u;
      body = b;
      return answer;
    };
  }
};

// A form value's bytes, percent-decoding undone.
std::string decoded(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size()) {
      out += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += value[i];
    }
  }
  return out;
}

// The value of form field `name` as sent (still percent-encoded).
std::string field(const std::string& body, const std::string& name) {
  for (const std::string& part : web::split_text(body, "&"))
    if (part.starts_with(name + "=")) return part.substr(name.size() + 1);
  return "<absent>";
}

TEST(WaybillSigning, BothSignaturesMatchTheWorkedExamples) {
  EXPECT_EQ(kuaidi100_sign(kK100Param, "1765324800000", "EXAMPLEKEY", "EXAMPLESECRET"),
            "602D188DEB896F6E7D9EDEB1BC633AB3");
  const std::string sign = kdniao_data_sign(kKdnData, "example-app-key");
  EXPECT_EQ(sign, "OTY3Y2VlOWQwM2NlMzBlMWJmOTY4YjVkMjBiMTc5NjM=");
  EXPECT_NE(sign, "lnzunQPOMOG/lotdILF5Yw==");  // base64 of the raw digest: the usual mistake
}

TEST(WaybillSigning, RequestsAreBuiltAndSignedExactlyAsTheExamples) {
  FakePost k100{{}};
  auto p = make_kuaidi100(kuaidi100_account(), k100.post(), [] { return 1765324800000LL; });
  p->order(example("yuantong"));
  EXPECT_EQ(k100.url, "https://api.kuaidi100.com/label/order");
  EXPECT_EQ(field(k100.body, "method"), "order");
  EXPECT_EQ(field(k100.body, "t"), "1765324800000");
  EXPECT_EQ(field(k100.body, "sign"), "602D188DEB896F6E7D9EDEB1BC633AB3");
  EXPECT_EQ(decoded(field(k100.body, "param")), kK100Param);

  FakePost kdn{{}};
  Account account = kdniao_account();
  account.endpoint = "http://127.0.0.1:1/eorder";
  make_kdniao(account, kdn.post())->order(example("YTO"));
  EXPECT_EQ(kdn.url, "http://127.0.0.1:1/eorder");
  EXPECT_EQ(decoded(field(kdn.body, "RequestData")), kKdnData);
  EXPECT_EQ(field(kdn.body, "DataSign"), "OTY3Y2VlOWQwM2NlMzBlMWJmOTY4YjVkMjBiMTc5NjM%3D");
  EXPECT_EQ(field(kdn.body, "RequestType"), "1007");
  EXPECT_EQ(field(kdn.body, "EBusinessID"), "1234567");
  EXPECT_EQ(field(kdn.body, "DataType"), "2");
}

TEST(Kuaidi100, AnswerDataAsObjectOrOneElementArray) {
  for (
      const char* data :
      {R"({"kuaidinum":"YT100","taskId":"T1","kdComOrderNum":"K1","bulkpen":"300-","pkgName":"杭州","pkgCode":"P1","destSortingCode":"S1"})",
       R"([{"kuaidinum":"YT100","taskId":"T1","kdComOrderNum":"K1","bulkpen":"300-","pkgName":"杭州","pkgCode":"P1","destSortingCode":"S1"}])"}) {
    FakePost http{
        {200, std::string(R"({"code":200,"message":"success","time":12,"data":)") + data + "}"}};
    const OrderAnswer a = make_kuaidi100(kuaidi100_account(), http.post())->order(example(""));
    ASSERT_EQ(a.outcome, Outcome::Ordered) << data;
    EXPECT_EQ(a.waybill.number, "YT100");
    EXPECT_EQ(a.waybill.courier_order, "K1");
    EXPECT_EQ(a.waybill.big_pen, "300-");
    EXPECT_EQ(a.waybill.package_name, "杭州");
    EXPECT_EQ(a.waybill.sorting_code, "S1");
    EXPECT_EQ(a.raw, http.answer.body);
  }
}

TEST(Kuaidi100, EveryDocumentedErrorIsARefusalNamingIt) {
  const std::vector<std::pair<std::string, std::string>> errors = {
      {"30001", "参数有误（30001）"},
      {"30002", "签名验证失败"},
      {"30003", "账号信息不正确"},
      {"30004", "电子面单账户余额不足（30004）"},
      {"30009", "查无此单（30009）"}};
  for (const auto& [code, words] : errors) {
    FakePost http{{200, R"({"code":)" + code + R"(,"message":"x","data":null})"}};
    const OrderAnswer a = make_kuaidi100(kuaidi100_account(), http.post())->order(example(""));
    EXPECT_EQ(a.outcome, Outcome::Refused) << code;
    EXPECT_EQ(a.code, code);
    EXPECT_THAT(a.reason, HasSubstr(words));
  }
  EXPECT_FALSE(make_kuaidi100(kuaidi100_account(), {})->guarantees().refuses_repeated_order_code);
}

TEST(WaybillAnswers, LostBrokenOrEmptyAnswersAreUnknownForBoth) {
  const std::vector<HttpAnswer> lost = {
      {0, ""},
      {502, R"({"code":200,"data":{"kuaidinum":"YT1"}})"},
      {200, "<html>proxy</html>"},
      {200, R"({"code":200,"data":{"kuaidinum":"YT1")"},  // cut short
      {200, R"(["code",200])"},
      {200, R"({"code":200,"message":"ok","data":{}})"},  // ok without a number
      {200, R"({"code":-1,"message":"服务器错误"})"},     // may have ordered all the same
  };
  for (const HttpAnswer& answer : lost) {
    FakePost http{answer};
    const OrderAnswer a = make_kuaidi100(kuaidi100_account(), http.post())->order(example(""));
    EXPECT_EQ(a.outcome, Outcome::Unknown) << answer.body;
    EXPECT_EQ(a.raw, answer.body);
    EXPECT_FALSE(a.reason.empty());
  }
  for (const HttpAnswer& answer : std::vector<HttpAnswer>{
           {0, ""},
           {503, ""},
           {200, "garbage"},
           {200, R"({"ResultCode":"100"})"},
           {200, R"({"Success":true,"ResultCode":"100","Order":{"OrderCode":"1"}})"}}) {
    FakePost http{answer};
    EXPECT_EQ(make_kdniao(kdniao_account(), http.post())->order(example("")).outcome,
              Outcome::Unknown)
        << answer.body;
  }
}

TEST(Kdniao, OrderedRefusedAndRepeatedOrderCode) {
  FakePost ok{
      {200,
       R"({"EBusinessID":"1234567","Success":true,"ResultCode":"100","Reason":"","UniquerRequestNumber":"u1",)"
       R"("Order":{"OrderCode":"20240501083104001001","LogisticCode":"YT9","MarkDestination":"300-","PackageName":"上海","PackageCode":"PC","SortingCode":"SC"}})"}};
  const OrderAnswer a = make_kdniao(kdniao_account(), ok.post())->order(example(""));
  ASSERT_EQ(a.outcome, Outcome::Ordered);
  EXPECT_EQ(a.waybill.number, "YT9");
  EXPECT_EQ(a.waybill.big_pen, "300-");
  EXPECT_EQ(a.waybill.package_code, "PC");

  FakePost refused{{200, R"({"Success":false,"ResultCode":"105","Reason":"客户号不存在"})"}};
  const OrderAnswer r = make_kdniao(kdniao_account(), refused.post())->order(example(""));
  EXPECT_EQ(r.outcome, Outcome::Refused);
  EXPECT_FALSE(r.duplicate);
  EXPECT_THAT(r.reason, HasSubstr("客户号不存在"));

  // A repeat carries the old number: it is not taken for this order's.
  FakePost repeated{
      {200,
       R"({"Success":false,"ResultCode":"106","Reason":"订单号重复","Order":{"LogisticCode":"YT9"}})"}};
  auto provider = make_kdniao(kdniao_account(), repeated.post());
  const OrderAnswer d = provider->order(example(""));
  EXPECT_EQ(d.outcome, Outcome::Refused);
  EXPECT_TRUE(d.duplicate);
  EXPECT_EQ(d.waybill.number, "");
  EXPECT_TRUE(provider->guarantees().refuses_repeated_order_code);
}

TEST(Kdniao, ForbiddenCharactersAreWrittenFullWidth) {
  EXPECT_EQ(kdniao_safe_text(R"(A'B"C#D&E+F<G>H%I\J)"), "A＇B＂C＃D＆E＋F＜G＞H％I＼J");
  WaybillRequest r = example("YTO");
  r.cargo = "T恤 <XL> 50% 棉 & 麻 #2";
  r.receiver.address = "上海市浦东新区张江路 665号\n3号楼\"A\"座";
  const auto data = kdniao_order_data(kdniao_account(), r, nullptr);
  ASSERT_TRUE(data);
  EXPECT_THAT(*data, HasSubstr(R"("GoodsName":"T恤 ＜XL＞ 50％ 棉 ＆ 麻 ＃2")"));
  EXPECT_THAT(*data, HasSubstr(R"("Address":"张江路 665号 3号楼＂A＂座")"));
  EXPECT_EQ(data->find('\\'), std::string::npos);
}

TEST(Kdniao, AnAddressThatCannotBeSplitIsRefusedUnsent) {
  FakePost http{{200, "{}"}};
  WaybillRequest r = example("YTO");
  r.receiver.address = "火星 奥林匹斯山 1号";
  const OrderAnswer a = make_kdniao(kdniao_account(), http.post())->order(r);
  EXPECT_EQ(a.outcome, Outcome::Refused);
  EXPECT_THAT(a.reason, StartsWith("收件人地址分不出省市区"));
  EXPECT_EQ(http.calls, 0);
}

TEST(WaybillCancel, BothProvidersSendWhatTheirCancelWants) {
  Waybill w;
  w.number = "YT100";
  w.courier_order = "K1";
  FakePost k100{{200, R"({"success":true,"code":200,"message":"success"})"}};
  EXPECT_TRUE(make_kuaidi100(kuaidi100_account(), k100.post())
                  ->cancel(example("yuantong"), w, "不寄了")
                  .cancelled);
  EXPECT_EQ(field(k100.body, "method"), "cancel");
  EXPECT_EQ(
      decoded(field(k100.body, "param")),
      R"({"partnerId":"P-0001","kuaidicom":"yuantong","kuaidinum":"YT100","orderId":"K1","reason":"不寄了"})");
  // A number found by hand has no courier order: orderId is left out.
  w.courier_order.clear();
  make_kuaidi100(kuaidi100_account(), k100.post())->cancel(example("yuantong"), w, "");
  EXPECT_EQ(decoded(field(k100.body, "param")),
            R"({"partnerId":"P-0001","kuaidicom":"yuantong","kuaidinum":"YT100"})");
  w.courier_order = "K1";

  FakePost kdn{{200, R"({"Success":false,"ResultCode":"101","Reason":"已揽件"})"}};
  const CancelAnswer c = make_kdniao(kdniao_account(), kdn.post())->cancel(example("YTO"), w, "");
  EXPECT_FALSE(c.cancelled);
  EXPECT_FALSE(c.unknown);
  EXPECT_THAT(c.reason, HasSubstr("已揽件"));
  EXPECT_EQ(field(kdn.body, "RequestType"), "1147");
  EXPECT_EQ(
      decoded(field(kdn.body, "RequestData")),
      R"({"ShipperCode":"YTO","OrderCode":"20240501083104001001","ExpNo":"YT100","CustomerName":"c-0001","CustomerPwd":"pw-0001"})");

  FakePost lost{{0, ""}};
  EXPECT_TRUE(make_kdniao(kdniao_account(), lost.post())->cancel(example("YTO"), w, "").unknown);
}

TEST(WaybillProvider, MissingSettingsGiveOneClearMessageAndNoProvider) {
  FakePost http{{200, "{}"}};
  std::string why;
  Account a;
  a.provider = "kuaidi100";
  a.key = "K";
  a.courier = "yuantong";
  EXPECT_EQ(make_provider(a, http.post(), &why), nullptr);
  EXPECT_EQ(why, "电子面单设置不全：缺少 secret、partner_id");
  a.provider = "kdniao";
  EXPECT_EQ(make_provider(a, http.post(), &why), nullptr);
  EXPECT_EQ(why, "电子面单设置不全：缺少 ebusiness_id、app_key");
  a.provider = "sf-express";
  EXPECT_EQ(make_provider(a, http.post(), &why), nullptr);
  EXPECT_THAT(why, HasSubstr("sf-express"));
  EXPECT_EQ(http.calls, 0);
  auto provider = make_provider(kdniao_account(), http.post(), &why);
  ASSERT_NE(provider, nullptr);
  EXPECT_EQ(provider->name(), "kdniao");
}

TEST(WaybillCouriers, ProviderCodesMapToTheMallsOwn) {
  EXPECT_EQ(mall_courier("kdniao", "YTO"), "yuantong");
  EXPECT_EQ(mall_courier("kdniao", "htky"), "huitong");
  EXPECT_EQ(mall_courier("kuaidi100", "jd"), "jingdong");
  EXPECT_EQ(mall_courier("kuaidi100", "youzhengguonei"), "gnxb");
  EXPECT_EQ(mall_courier("kuaidi100", "jtexpress"), "");  // the mall has no code for it
  EXPECT_EQ(courier_name("kuaidi100", "jtexpress"), "极兔速递");
  EXPECT_EQ(courier_name("kdniao", "SF"), "顺丰速运");
  EXPECT_EQ(provider_courier("kdniao", "debang"), "DBL");
  EXPECT_EQ(mall_courier("sf-express", "SF"), "");
}

}  // namespace
