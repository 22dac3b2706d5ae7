#include "fulfilment/shipping.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "mall_test.h"
#include "scripted_server.h"
#include "web/http.h"

namespace {

using fulfilment_tests::MallTest;
using fulfilment_tests::ScriptedServer;
using testing_support::FakeForm;
using web::gbk;
using web::Text;

const char* const kOrderSend = "/order/send";

// The fields of a form body, in order, split on "&" and "=".
std::vector<std::pair<std::string, std::string>> fields_of(const std::string& body) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const Text& piece : web::split_text(body, "&")) {
    const auto eq = piece.find('=');
    out.emplace_back(piece.substr(0, eq), eq == std::string::npos ? "" : piece.substr(eq + 1));
  }
  return out;
}

std::vector<mall::RecordedRequest> ship_requests(const mall::StandInMall& mall) {
  std::vector<mall::RecordedRequest> out;
  for (auto& r : mall.requests())
    if (r.method == "POST" && r.target == kOrderSend) out.push_back(r);
  return out;
}

// --- Request building and page reading -------------------------------------

TEST(ShipBody, LettersAndDigitsGiveThePlainSixFieldBody) {
  EXPECT_EQ(fulfilment::ship_body("huitong", "123", "45", "678"),
            "deliver_explain=&address=&shipping_express_name=huitong&shipping_code=123"
            "&from_address_id=45&order_id=678");
  EXPECT_EQ(fulfilment::ship_body("", "", "", ""),
            "deliver_explain=&address=&shipping_express_name=&shipping_code=&from_address_id="
            "&order_id=");
}

TEST(ShipBody, ValuesCannotAddOrChangeFields) {
  const std::string body = fulfilment::ship_body("yunda", "1&order_id=9", "45", "678");
  const auto fields = fields_of(body);
  ASSERT_EQ(fields.size(), 6u) << body;
  EXPECT_EQ(fields[3].second, "1%26order_id%3D9");
  EXPECT_EQ(fields[5], (std::pair<std::string, std::string>{"order_id", "678"}));
  // Chinese text travels as UTF-8, whatever the internal code page.
  EXPECT_EQ(fields_of(fulfilment::ship_body(gbk("顺丰"), "1", "2", "3"))[2].second,
            "%E9%A1%BA%E4%B8%B0");
}

TEST(ShipReply, SuccessWordingAnywhereCounts) {
  EXPECT_TRUE(fulfilment::is_shipped_reply(gbk("操作成功")));
  EXPECT_TRUE(fulfilment::is_shipped_reply(gbk("{\"msg\":\"<b>订单1操作成功，已通知买家</b>\"}")));
  EXPECT_FALSE(fulfilment::is_shipped_reply(""));
  EXPECT_FALSE(fulfilment::is_shipped_reply(gbk("操作失败：订单状态不对")));
}

TEST(AddressPage, FirstDeleteLinkGivesTheId) {
  const std::string page =
      "<ul><li>A <a data-url=\"/user-address/del?id=11\">x</a></li>"
      "<li>B <a data-url=\"/user-address/del?id=22\">x</a></li></ul>";
  EXPECT_EQ(fulfilment::read_from_address_id(page), "11");
  EXPECT_EQ(fulfilment::read_from_address_id("<p>no addresses</p>"), "");
  EXPECT_EQ(fulfilment::read_from_address_id(""), "");
  // A zero byte ends the page.
  EXPECT_EQ(fulfilment::read_from_address_id(std::string("<p>\0", 4) + page), "");
}

TEST(AddressPage, LinkRightAfterAChineseCharacterIsTheFirstAddress) {
  // Five three-byte UTF-8 characters: read as GBK, the last trail byte pairs
  // with the "<" that follows and hides the first link, so the raw page would
  // yield the second id.
  const std::string page =
      "<li>默认地址：<a data-url=\"/user-address/del?id=11\">删除</a></li>"
      "<li>公司 <a data-url=\"/user-address/del?id=22\">删除</a></li>";
  ASSERT_EQ(web::text_between(page, "<a data-url=\"/user-address/del?id=", "\""), "22")
      << "the page no longer exercises the double-byte step-over";
  EXPECT_EQ(fulfilment::read_from_address_id(page), "11");
}

// --- Sender address --------------------------------------------------------

class AddressIdTest : public MallTest {};

TEST_F(AddressIdTest, FillsTheBoxFromTheBackOffice) {
  sign_in();
  fulfilment::fetch_from_address_id(ctx);
  ASSERT_FALSE(mall.sender_address_id().empty());
  EXPECT_EQ(form.text("编辑框13"), gbk(mall.sender_address_id()));
}

TEST_F(AddressIdTest, TakesTheFirstLinkEvenAfterAChineseCharacter) {
  sign_in();
  mall.override_page("/user-address/list",
                     "<li>默认地址：<a data-url=\"/user-address/del?id=7001\">删除</a></li>"
                     "<li>仓库 <a data-url=\"/user-address/del?id=7002\">删除</a></li>");
  fulfilment::fetch_from_address_id(ctx);
  EXPECT_EQ(form.text("编辑框13"), "7001");
}

TEST(SenderAddresses, EveryAddressWithTheTextItsRowShows) {
  const std::string page =
      "<table><tr><th>收货人</th><th>地址</th></tr>\n"
      "<tr><td>张伟</td><td>上海市 浦东新区1号<a data-url=\"/user-address/del?id=7001\">删除</a></td></tr>\n"
      "<tr><td>李娜</td><td>仓库<a data-url=\"/user-address/del?id=7002\">删除</a></td></tr></table>";
  const auto addresses = fulfilment::read_sender_addresses(page);
  ASSERT_EQ(addresses.size(), 2u);
  EXPECT_EQ(addresses[0].id, "7001");
  EXPECT_EQ(addresses[0].text, gbk("张伟 上海市 浦东新区1号"));
  EXPECT_EQ(addresses[1].id, "7002");
  EXPECT_EQ(addresses[1].text, gbk("李娜 仓库"));
  EXPECT_EQ(fulfilment::read_from_address_id(page), addresses[0].id);
  EXPECT_TRUE(fulfilment::read_sender_addresses("<html>no addresses</html>").empty());
  EXPECT_EQ(fulfilment::read_sender_addresses("<a data-url=\"/user-address/del?id=9").size(), 0u);
}

TEST_F(AddressIdTest, UnreadablePageEmptiesTheBox) {
  form.set_text("编辑框13", "99");
  mall.set_fault(mall::Fault::Drop);
  fulfilment::fetch_from_address_id(ctx);
  EXPECT_EQ(form.text("编辑框13"), "");
  EXPECT_TRUE(form.messages.empty());
}

// --- Shipping the selected order -------------------------------------------

class ShipSelectedTest : public MallTest {
 protected:
  void ready_to_ship() {
    sign_in();
    fulfilment::fetch_from_address_id(ctx);
    ASSERT_FALSE(form.text("编辑框13").empty());
  }
  std::string order_to_ship() {
    for (auto& o : mall.orders())
      if (o.state == 20) return o.id;
    return mall.add_order(20);
  }
};

TEST_F(ShipSelectedTest, MissingCourierOrAddressIdSendsNothing) {
  add_row("678");
  form.select_row(app::kOrderList, 0);
  form.set_text("编辑框12", "");
  form.set_text("编辑框13", "45");
  fulfilment::ship_selected_order(ctx);
  form.set_text("编辑框12", "huitong");
  form.set_text("编辑框13", "");
  fulfilment::ship_selected_order(ctx);

  ASSERT_EQ(form.messages.size(), 2u);
  EXPECT_EQ(form.messages[0].text, gbk("请填写发货快递"));
  EXPECT_EQ(form.messages[1].text, gbk("请先获取发货地址ID"));
  EXPECT_EQ(form.messages[1].title, gbk("信息："));
  EXPECT_TRUE(ship_requests(mall).empty());
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColShipStatus), "");
}

TEST_F(ShipSelectedTest, ShipsWithTokenAndMarksTheRow) {
  ready_to_ship();
  const std::string id = order_to_ship();
  add_row("other");
  add_row(id);
  form.select_row(app::kOrderList, 1);
  form.set_text("编辑框14", " 557012345678 ");
  mall.clear_requests();

  fulfilment::ship_selected_order(ctx);

  const auto sent = ship_requests(mall);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].body,
            "deliver_explain=&address=&shipping_express_name=huitong"
            "&shipping_code=557012345678&from_address_id=" +
                mall.sender_address_id() + "&order_id=" + id);
  EXPECT_EQ(fulfilment_tests::header(sent[0], "X-CSRF-Token"), ctx.csrf_token.get());
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text.substr(0, 10), gbk("发货成功\r\n"));
  EXPECT_NE(web::find_text(form.messages[0].text, gbk("操作成功")), -1);
  EXPECT_EQ(form.cell(app::kOrderList, 1, app::kColShipStatus), gbk("发货成功"));
  EXPECT_EQ(form.cell(app::kOrderList, 1, app::kColTrackingNo), "557012345678");
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColShipStatus), "");
}

TEST_F(ShipSelectedTest, FailedRequestShowsFailureAndMarksTheRow) {
  add_row("678");
  form.select_row(app::kOrderList, 0);
  form.set_text("编辑框13", "45");
  form.set_text("编辑框14", "557012345678");
  mall.set_fault(mall::Fault::Drop);
  fulfilment::ship_selected_order(ctx);
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text, gbk("发货失败\r\n后台没有回答"));
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColShipStatus), gbk("发货失败"));
}

// Without a selected row nothing is sent: an empty order_id reached the
// back office before.
TEST_F(ShipSelectedTest, NoSelectionSendsNothing) {
  ScriptedServer server;
  ctx.hosts.backoffice = server.host();
  add_row("678");
  form.set_text("编辑框13", "45");
  form.set_text("编辑框14", "557012345678");
  fulfilment::ship_selected_order(ctx);
  EXPECT_TRUE(server.bodies().empty());
  ASSERT_EQ(form.messages.size(), 1u);
  EXPECT_EQ(form.messages[0].text.substr(0, gbk("没有发货：").size()), gbk("没有发货："));
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColShipStatus), "");
}

// A window in which the merchant deletes the top row while the answer is shown.
class RowDeletingForm : public FakeForm {
 public:
  app::Answer message_box(const Text& text, const Text& title, app::Buttons buttons) override {
    status_while_shown = cell(app::kOrderList, 1, app::kColShipStatus);
    delete_row(app::kOrderList, 0);
    return FakeForm::message_box(text, title, buttons);
  }
  Text status_while_shown = "<no box>";
};

TEST(ShipSelectedRowIdentity, StatusLandsOnTheShippedRowAfterTheBoxIsClosed) {
  ScriptedServer server;
  server.set_reply("<p>操作成功</p>");
  RowDeletingForm form;
  app::Settings settings(std::filesystem::temp_directory_path() / "weihe-unused.ini");
  app::Context ctx{.form = form, .settings = settings, .hosts = {server.host(), {}, {}}};
  for (const char* id : {"1", "2", "3"}) {
    app::OrderRow row(app::kOrderColumnCount);
    row[app::kColId] = id;
    form.append_row(app::kOrderList, row);
  }
  form.set_text("编辑框13", "45");
  form.set_text("编辑框14", "557012345678");
  form.select_row(app::kOrderList, 1);

  fulfilment::ship_selected_order(ctx);

  EXPECT_EQ(form.status_while_shown, "") << "the status is written once the box is closed";
  ASSERT_EQ(form.row_count(app::kOrderList), 2);
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColId), "2");
  EXPECT_EQ(form.cell(app::kOrderList, 0, app::kColShipStatus), gbk("发货成功"));
  EXPECT_EQ(form.cell(app::kOrderList, 1, app::kColShipStatus), "");
}

}  // namespace
