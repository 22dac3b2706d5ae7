// The stand-in e-waybill provider as a client meets it: both protocols'
// signatures held against the worked reference signatures, what each
// provider does with a repeated order, and every fault it can be set to.
#include <gtest/gtest.h>

#include <httplib.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <regex>

#include "mall/stand_in_mall.h"

namespace {

using nlohmann::json;
using std::chrono::milliseconds;

// Worked signatures computed outside the project with a standard MD5 and base64.
const std::string kK100Param =
    R"({"kuaidicom":"yuantong","partnerId":"P-0001","recMan":{"name":"陈静","mobile":"15021477518","printAddr":"上海市 上海市 浦东新区 张江路 665号 3号楼1202室"},"sendMan":{"name":"王建国","mobile":"0571-88886666","printAddr":"浙江省 杭州市 余杭区 仓前街道 良睦路1399号"},"cargo":"有机五常大米 5kg","count":2,"orderId":"20240501083104001001","printType":"NON"})";
const std::string kK100T = "1765324800000";
const std::string kK100Sign = "602D188DEB896F6E7D9EDEB1BC633AB3";
const std::string kKdnData =
    R"({"OrderCode":"20240501083104001001","ShipperCode":"YTO","CustomerName":"c-0001","CustomerPwd":"pw-0001","PayType":3,"ExpType":1,"Receiver":{"Name":"陈静","Mobile":"15021477518","ProvinceName":"上海市","CityName":"上海市","ExpAreaName":"浦东新区","Address":"张江路 665号 3号楼1202室"},"Sender":{"Name":"王建国","Tel":"0571-88886666","ProvinceName":"浙江省","CityName":"杭州市","ExpAreaName":"余杭区","Address":"仓前街道 良睦路1399号"},"Commodity":[{"GoodsName":"有机五常大米 5kg","Goodsquantity":2}],"Quantity":1})";
const std::string kKdnSign = "OTY3Y2VlOWQwM2NlMzBlMWJmOTY4YjVkMjBiMTc5NjM=";
const std::string kKdnSignInForm = "OTY3Y2VlOWQwM2NlMzBlMWJmOTY4YjVkMjBiMTc5NjM%3D";
const std::string kKdnBase64OfBytes = "lnzunQPOMOG/lotdILF5Yw==";
const std::string kOrderNo = "20240501083104001001";

std::string encode(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

mall::Options reference_accounts() {
  mall::Options o;
  o.seeded_orders = 0;
  o.waybill.key = "EXAMPLEKEY";
  o.waybill.secret = "EXAMPLESECRET";
  o.waybill.ebusiness_id = "1237100";
  o.waybill.app_key = "example-app-key";
  return o;
}

class Waybills : public ::testing::Test {
 protected:
  // The answer's body, or "" when none came (status 0).
  std::pair<int, std::string> post(const std::string& path, const std::string& body,
                                   milliseconds read_timeout = milliseconds(5000)) {
    httplib::Client client("http://" + mall.waybill_host());
    client.set_read_timeout(read_timeout);
    const auto res = client.Post(path.c_str(), body, "application/x-www-form-urlencoded");
    if (!res) return {0, ""};
    return {res->status, res->body};
  }
  json k100(const std::string& method, const std::string& param, const std::string& sign,
            const std::string& key = "EXAMPLEKEY") {
    const auto [status, body] =
        post("/label/order", "method=" + method + "&key=" + key + "&t=" + kK100T + "&sign=" + sign +
                                 "&param=" + encode(param));
    return status == 200 ? json::parse(body, nullptr, false) : json();
  }
  json k100_signed(const std::string& method, const std::string& param) {
    return k100(method, param, mall::kuaidi100_sign(param, kK100T, "EXAMPLEKEY", "EXAMPLESECRET"));
  }
  std::string kdn_form(const std::string& type, const std::string& data,
                       const std::string& encoded_sign) {
    return "RequestData=" + encode(data) + "&EBusinessID=1237100&RequestType=" + type +
           "&DataSign=" + encoded_sign + "&DataType=2";
  }
  json kdn(const std::string& type, const std::string& data) {
    const auto [status, body] =
        post("/api/EOrderService",
             kdn_form(type, data, encode(mall::kdniao_sign(data, "example-app-key"))));
    return status == 200 ? json::parse(body, nullptr, false) : json();
  }

  mall::StandInMall mall{reference_accounts()};
};

TEST_F(Waybills, Kuaidi100AcceptsTheReferenceSignatureAndRefusesOthers) {
  EXPECT_EQ(mall::kuaidi100_sign(kK100Param, kK100T, "EXAMPLEKEY", "EXAMPLESECRET"), kK100Sign);
  std::string lower = kK100Sign;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(k100("order", kK100Param, lower)["code"], 30002);
  EXPECT_EQ(k100("order", kK100Param + " ", kK100Sign)["code"], 30002);  // the param is signed
  EXPECT_EQ(k100("order", kK100Param, kK100Sign, "OTHERKEY")["code"], 30003);
  EXPECT_EQ(mall.waybills_for(kOrderNo), 0);

  const json a = k100("order", kK100Param, kK100Sign);
  ASSERT_EQ(a["code"], 200) << a.dump();
  const json& data = a["data"];
  EXPECT_TRUE(std::regex_match(data["kuaidinum"].get<std::string>(), std::regex("YT\\d{13}")));
  for (const char* field :
       {"taskId", "kdComOrderNum", "bulkpen", "pkgName", "pkgCode", "destSortingCode"})
    EXPECT_FALSE(data[field].get<std::string>().empty()) << field;
  EXPECT_NE(data["bulkpen"].get<std::string>().find("浦东新区"), std::string::npos);
  EXPECT_EQ(mall.waybills_for(kOrderNo), 1);
}

TEST_F(Waybills, Kuaidi100IssuesANewNumberForARepeatedOrderAndCancelsByItsOrderNumber) {
  const json first = k100_signed("order", kK100Param);
  const json second = k100_signed("order", kK100Param);
  ASSERT_EQ(second["code"], 200);
  EXPECT_NE(first["data"]["kuaidinum"], second["data"]["kuaidinum"]);
  EXPECT_EQ(mall.waybills_for(kOrderNo), 2);

  json cancel = {{"kuaidicom", "yuantong"},
                 {"kuaidinum", first["data"]["kuaidinum"]},
                 {"orderId", kOrderNo},  // the mall's number is not what cancel wants
                 {"reason", "不寄了"}};
  EXPECT_EQ(k100_signed("cancel", cancel.dump())["code"], 30001);
  cancel["orderId"] = first["data"]["kdComOrderNum"];
  EXPECT_EQ(k100_signed("cancel", cancel.dump())["code"], 200);
  EXPECT_EQ(k100_signed("cancel", cancel.dump())["code"], 30009);  // already cancelled
  cancel["kuaidinum"] = "YT0000000000000";
  EXPECT_EQ(k100_signed("cancel", cancel.dump())["code"], 30009);
}

TEST_F(Waybills, KdniaoAcceptsTheReferenceSignatureAndRefusesARepeatedOrderCode) {
  EXPECT_EQ(mall::kdniao_sign(kKdnData, "example-app-key"), kKdnSign);
  auto answer = [&](const std::string& form) {
    return json::parse(post("/api/EOrderService", form).second, nullptr, false);
  };
  // base64 of the raw digest, and a "=" not percent-encoded: both refused.
  EXPECT_EQ(answer(kdn_form("1007", kKdnData, encode(kKdnBase64OfBytes)))["Success"], false);
  EXPECT_EQ(mall.waybills_for(kOrderNo), 0);

  const json a = answer(kdn_form("1007", kKdnData, kKdnSignInForm));
  ASSERT_EQ(a["Success"], true) << a.dump();
  EXPECT_EQ(a["ResultCode"], "100");
  EXPECT_EQ(a["EBusinessID"], "1237100");
  const std::string number = a["Order"]["LogisticCode"];
  EXPECT_TRUE(std::regex_match(number, std::regex("YT\\d{13}")));
  EXPECT_FALSE(a["Order"]["MarkDestination"].get<std::string>().empty());
  EXPECT_FALSE(a["Order"]["SortingCode"].get<std::string>().empty());

  const json again = answer(kdn_form("1007", kKdnData, kKdnSignInForm));
  EXPECT_EQ(again["Success"], false);
  EXPECT_EQ(again["ResultCode"], "106");
  EXPECT_EQ(again["Order"]["LogisticCode"], number);  // the number it gave the first time
  EXPECT_EQ(mall.waybills_for(kOrderNo), 1);

  // A cancelled order's code stays used.
  const json cancel = {{"ShipperCode", "YTO"}, {"OrderCode", kOrderNo}, {"ExpNo", number}};
  EXPECT_EQ(kdn("1147", cancel.dump())["ResultCode"], "100");
  EXPECT_EQ(kdn("1147", cancel.dump())["Success"], false);
  EXPECT_EQ(kdn("1007", kKdnData)["ResultCode"], "106");
  EXPECT_EQ(mall.waybills_for(kOrderNo), 1);
}

TEST_F(Waybills, KdniaoRefusesCharactersItDoesNotTake) {
  for (const char* bad :
       {"3号楼#1202", "A&B", "1+1", "<b>", "100%", "O'Neil", "a\\\\b", "\\\"x\\\""}) {
    std::string data = kKdnData;
    data.replace(data.find("张江路"), std::string("张江路").size(), bad);
    const json a = kdn("1007", data);
    EXPECT_EQ(a["Success"], false) << bad;
    EXPECT_NE(a["ResultCode"], "100") << bad;
  }
  EXPECT_EQ(mall.waybills_for(kOrderNo), 0);
}

TEST_F(Waybills, LostAnswerAndSlowAnswerStillIssueTheNumber) {
  mall.set_waybill_fault(mall::WaybillFault::LostAnswer);
  EXPECT_EQ(post("/label/order", "x").first, 200);  // a refusal is answered
  const std::string body = "method=order&key=EXAMPLEKEY&t=" + kK100T + "&sign=" + kK100Sign +
                           "&param=" + encode(kK100Param);
  EXPECT_EQ(post("/label/order", body).first, 0);
  EXPECT_EQ(mall.waybills_for(kOrderNo), 1);
  EXPECT_EQ(kdn("1007", kKdnData), json());
  EXPECT_EQ(mall.waybills_for(kOrderNo), 2);

  mall.set_waybill_fault(mall::WaybillFault::Slow);
  mall.waybill_service().set_slow_delay(milliseconds(1500));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(post("/label/order", body, milliseconds(300)).first, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1200));
  EXPECT_EQ(mall.waybills_for(kOrderNo), 3);  // issued before the answer waits
  EXPECT_EQ(mall.waybill_requests().size(), 4u);
}

TEST_F(Waybills, ServerErrorBadSignatureAndEmptyBalanceIssueNothing) {
  mall.set_waybill_fault(mall::WaybillFault::ServerError);
  EXPECT_EQ(post("/label/order", "method=order&key=EXAMPLEKEY&t=" + kK100T + "&sign=" + kK100Sign +
                                     "&param=" + encode(kK100Param))
                .first,
            500);
  mall.set_waybill_fault(mall::WaybillFault::BadSignature);
  EXPECT_EQ(k100("order", kK100Param, kK100Sign)["code"], 30002);
  EXPECT_EQ(kdn("1007", kKdnData)["Success"], false);
  mall.set_waybill_fault(mall::WaybillFault::BalanceExhausted);
  EXPECT_EQ(k100("order", kK100Param, kK100Sign)["code"], 30004);
  EXPECT_EQ(kdn("1007", kKdnData)["Success"], false);
  EXPECT_EQ(mall.waybills_for(kOrderNo), 0);

  // The back office's faults are not the provider's.
  mall.set_waybill_fault(mall::WaybillFault::None);
  mall.set_fault(mall::Fault::Drop);
  EXPECT_EQ(k100("order", kK100Param, kK100Sign)["code"], 200);
  EXPECT_EQ(mall.waybills_for(kOrderNo), 1);
}

}  // namespace
