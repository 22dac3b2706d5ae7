// The window serving two shops (two stand-in back offices with their own
// accounts and the same order ids): one chosen works as one shop always
// did; 全部店铺 sums, labels and ships each row through its own shop.
#include <gtest/gtest.h>

#include "app/wiring/served_shops.h"
#include "mall/stand_in_mall.h"
#include "store/database.h"
#include "store/order_archive.h"
#include "support/fake_form.h"
#include "support/temp_dir.h"

namespace {

using web::gbk;
using web::Text;

mall::Options second_shop() {
  mall::Options o;
  o.account = "bob";
  o.password = "b-secret";
  o.seeded_orders = 20;
  o.seed = 7;  // the same ids as the first shop's, other orders behind them
  return o;
}

class ServedShopsTest : public ::testing::Test {
 protected:
  ServedShopsTest() {
    web::clear_http_cookies();
    settings.write_setting(gbk("账号"), "demo");
    settings.write_setting(gbk("密码"), "demo123");
    settings.write_setting("backoffice", a.backoffice_host(), "hosts");
    settings.write_setting("images", a.image_host(), "hosts");
    Text error;
    EXPECT_TRUE(app::save_shop(settings, {gbk("二号店"), {b_host, b.image_host(), ""}, "bob", "b-secret", false}, &error));
  }
  ~ServedShopsTest() override { form.join_workers(); }

  int to_ship(const mall::StandInMall& m) {
    int n = 0;
    for (const auto& o : m.orders()) n += o.state == 20;
    return n;
  }
  int row_of(const Text& label, const Text& id) {
    for (int r = 0; r < form.row_count(app::kOrderList); ++r)
      if (form.cell(app::kOrderList, r, app::kColStore) == label && form.cell(app::kOrderList, r, app::kColId) == id)
        return r;
    return -1;
  }

  mall::StandInMall a;
  mall::StandInMall b{second_shop()};
  std::string b_host = b.backoffice_host();
  testing_support::TempDir dir;
  app::Settings settings{dir.path() / "配置文件.ini"};
  store::Database db{dir.path() / "weihe-orders.db"};
  store::OrderArchive archive{db};
  testing_support::FakeForm form;
};

TEST_F(ServedShopsTest, AllShopsSumTheDashboardLabelEveryRowAndShipInTheRowsShop) {
  app::ServedShops shops(form, settings, &db, &archive);
  ASSERT_EQ(shops.choices(), (std::vector<Text>{gbk("店铺1"), gbk("二号店"), gbk("全部店铺")}));
  shops.choose(2);
  app::Operations ops = shops.operations();
  ops.login();
  EXPECT_EQ(form.text("标签4"), std::to_string(to_ship(a) + to_ship(b)));
  EXPECT_NE(form.title().find(gbk("欢迎您！")), Text::npos);
  EXPECT_EQ(form.title().find(gbk("——")), Text::npos) << web::gbk_to_utf8(form.title());

  ops.fetch_orders_to_ship();
  ASSERT_EQ(form.row_count(app::kOrderList), to_ship(a) + to_ship(b));
  std::string id;  // to ship in both shops
  for (const auto& o : b.orders())
    if (o.state == 20 && a.order(o.id).state == 20) id = o.id;
  ASSERT_FALSE(id.empty());
  const int in_b = row_of(gbk("二号店"), id);
  ASSERT_GE(in_b, 0);
  ASSERT_GE(row_of(gbk("店铺1"), id), 0);

  form.select_row(app::kOrderList, in_b);
  form.set_text("编辑框12", "yuantong");
  form.set_text("编辑框14", "YT5550000001");
  ops.ship_selected_order();
  EXPECT_EQ(b.order(id).tracking_no, "YT5550000001");
  EXPECT_EQ(a.order(id).tracking_no, "");
  EXPECT_EQ(form.cell(app::kOrderList, row_of(gbk("店铺1"), id), app::kColShipStatus), "");

  // Details are read in each row's shop; a workbook of the table takes each
  // row's lines from its own shop.
  ops.fetch_order_details();
  const int in_a = row_of(gbk("店铺1"), id);
  EXPECT_EQ(form.cell(app::kOrderList, in_b, app::kColGoods), gbk(b.order(id).goods));
  EXPECT_EQ(form.cell(app::kOrderList, in_a, app::kColGoods), gbk(a.order(id).goods));
  const auto lines = shops.whole_table().goods_lines_of_table_row(form.rows(app::kOrderList)[in_b]);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].goods, gbk(b.order(id).goods));

  shops.choose(0);
  EXPECT_EQ(form.text("编辑框1"), "demo");
}

TEST_F(ServedShopsTest, AShopThatCannotBeReachedIsNamedAndTheOthersListAsUsual) {
  Text error;
  ASSERT_TRUE(app::save_shop(settings, {gbk("二号店"), {"127.0.0.1:1", "", ""}, "bob", "x", false}, &error,
                             gbk("二号店")));
  app::ServedShops shops(form, settings, &db, &archive);
  shops.choose(2);
  app::Operations ops = shops.operations();
  ops.login();
  EXPECT_NE(form.title().find(gbk("二号店：无法连接后台")), Text::npos) << web::gbk_to_utf8(form.title());
  ops.fetch_orders_to_ship();
  EXPECT_EQ(form.row_count(app::kOrderList), to_ship(a));
  EXPECT_EQ(form.text("标签4"), std::to_string(to_ship(a)));
}

// With one shop shown the reminder still polls the other, on no table: its
// new orders are announced with its name, and nothing of it is shown.
TEST_F(ServedShopsTest, TheReminderPollsTheShopNotShownAndNamesIt) {
  app::ServedShops shops(form, settings, &db, &archive);
  shops.choose(0);
  app::Operations ops = shops.operations();
  ops.login();
  ops.poll_new_orders();  // both shops learn what is there
  form.join_workers();
  b.add_order(20);
  form.spoken.clear();
  ops.poll_new_orders();
  form.join_workers();
  EXPECT_EQ(form.spoken, std::vector<Text>{gbk("蔚禾商城：二号店 1笔新订单")});
  EXPECT_EQ(form.row_count(app::kOrderList), to_ship(a));  // the first shop's rows only
  EXPECT_EQ(form.text("标签4"), std::to_string(to_ship(a)));
  ops.poll_new_orders();  // announced once
  form.join_workers();
  EXPECT_EQ(form.spoken.size(), 1u);
}

// 序号 counts the merged table once, also when a shop's rows are listed
// again (the rows of the shop listed first then move up); the choice
// of shop is there again at the next start.
TEST_F(ServedShopsTest, AllShopsNumberTheTableOnceAndAreChosenAgainAtTheNextStart) {
  {
    app::ServedShops shops(form, settings, &db, &archive);
    shops.choose(2);
    app::Operations ops = shops.operations();
    ops.login();
    ASSERT_NE(to_ship(a), to_ship(b));  // else a renumbering left out would not show
    for (int run = 0; run < 2; ++run) {
      ops.fetch_orders_to_ship();
      const int n = form.row_count(app::kOrderList);
      ASSERT_EQ(n, to_ship(a) + to_ship(b));
      for (int r = 0; r < n; ++r)
        ASSERT_EQ(form.cell(app::kOrderList, r, app::kColSerial), std::to_string(r + 1)) << run;
    }
  }
  app::ServedShops again(form, settings, &db, &archive);
  EXPECT_TRUE(again.all_chosen());
  EXPECT_EQ(again.chosen(), 2);
  again.choose(1);
  EXPECT_EQ(app::ServedShops(form, settings, &db, &archive).chosen(), 1);
  // A shop no longer served falls back to the first.
  settings.write_setting("shop", gbk("旧店"), "layout");
  EXPECT_EQ(app::ServedShops(form, settings, &db, &archive).chosen(), 0);
}

}  // namespace
