// weihe-cli with two shops, each its own stand-in back office with its own
// account: the same order ids in both, shipped only where they were asked.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

#include "cli_run.h"
#include "core/settings.h"
#include "mall/stand_in_mall.h"
#include "support/temp_dir.h"
#include "web/text.h"

namespace {

namespace fs = std::filesystem;
using web::gbk;

mall::Options shop_b_options() {
  mall::Options o;
  o.account = "bob";
  o.password = "b-secret";
  o.store_name = "蔚禾二号店";
  return o;
}

class ShopsCli : public ::testing::Test {
 protected:
  ShopsCli() {
    app::Settings s(m_settings);
    s.write_setting(gbk("账号"), "demo");
    s.write_setting(gbk("密码"), "demo123");
    s.write_setting(gbk("快递100sky"), "demo-key");
    s.write_setting("backoffice", m_a.backoffice_host(), "hosts");
    s.write_setting("images", m_a.image_host(), "hosts");
    s.write_setting("tracking", m_a.tracking_host(), "hosts");
    std::ofstream(m_dir.path() / "pw-b") << "b-secret\n";
    const Finished added = run({"shops", "add", "二号店", "--backoffice", m_b.backoffice_host(),
                                "--images", m_b.image_host(), "--account", "bob", "--password-file",
                                (m_dir.path() / "pw-b").string()});
    EXPECT_EQ(added.exit, 0) << added.err;
  }

  Finished run(const std::vector<std::string>& args) { return run_cli(m_settings, args); }

  mall::StandInMall m_a;
  mall::StandInMall m_b{shop_b_options()};
  testing_support::TempDir m_dir;
  fs::path m_settings = m_dir.path() / "settings.ini";
};

TEST_F(ShopsCli, EveryShopLogsInAndTheMergedListNamesEachRowsShop) {
  const Finished shops = run({"shops"});
  ASSERT_EQ(shops.exit, 0) << shops.err;
  const auto lines = shops.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["shop"], "店铺1");
  EXPECT_EQ(lines[1]["shop"], "二号店");
  EXPECT_EQ(lines[1]["account"], "bob");
  EXPECT_EQ(lines[1]["store"], "蔚禾二号店");
  for (const json& l : lines) EXPECT_TRUE(l["logs_in"].get<bool>()) << l.dump();

  const Finished listed = run({"--all-shops", "list", "to-ship"});
  ASSERT_EQ(listed.exit, 0) << listed.err;
  std::map<std::string, std::set<std::string>> ids;
  for (const json& row : listed.lines()) ids[row["shop"]].insert(row["id"]);
  std::set<std::string> to_ship;
  for (const auto& o : m_a.orders())
    if (o.state == 20) to_ship.insert(o.id);
  EXPECT_EQ(ids["店铺1"], to_ship);
  EXPECT_EQ(ids["二号店"], to_ship);  // the same seed: the same ids in both shops

  EXPECT_EQ(run({"--all-shops", "ship", "--order", "1"}).exit, 2);
  EXPECT_EQ(run({"--shop", "三号店", "list", "all"}).exit, 1);
}

TEST_F(ShopsCli, AnOrderIdInBothShopsIsShippedOnlyInTheShopAsked) {
  std::string id;
  for (const auto& o : m_a.orders())
    if (o.state == 20) id = o.id;
  ASSERT_FALSE(id.empty());
  const Finished in_b = run({"--shop", "二号店", "ship", "--order", id, "--tracking-no", "YT1234567890",
                             "--courier", "yuantong"});
  ASSERT_EQ(in_b.exit, 0) << in_b.err;
  EXPECT_EQ(m_b.order(id).tracking_no, "YT1234567890");
  EXPECT_EQ(m_a.order(id).tracking_no, "");
  EXPECT_EQ(m_a.order(id).state, 20);

  // The first shop's journal knows nothing of it: the order there is still to ship.
  const Finished in_a = run({"ship", "--order", id, "--tracking-no", "YT1234567891", "--courier", "yuantong"});
  ASSERT_EQ(in_a.exit, 0) << in_a.err;
  EXPECT_EQ(m_a.order(id).tracking_no, "YT1234567891");
  EXPECT_EQ(m_b.order(id).tracking_no, "YT1234567890");
}

TEST_F(ShopsCli, AShopThatCannotBeReachedNeverStopsTheOthers) {
  app::Settings s(m_settings);
  s.write_setting("backoffice", "127.0.0.1:1", gbk("店铺:关了的店"));
  s.write_setting(gbk("账号"), "x", gbk("店铺:关了的店"));
  const Finished listed = run({"--all-shops", "list", "to-ship"});
  EXPECT_EQ(listed.exit, 1);
  EXPECT_NE(listed.err.find("127.0.0.1:1"), std::string::npos) << listed.err;
  std::set<std::string> shops;
  for (const json& row : listed.lines()) shops.insert(row["shop"]);
  EXPECT_EQ(shops, (std::set<std::string>{"店铺1", "二号店"}));

  const Finished polled = run({"--all-shops", "poll", "--once"});
  EXPECT_EQ(polled.exit, 1);
  ASSERT_EQ(polled.lines().size(), 3u) << polled.out;
  EXPECT_TRUE(polled.lines()[2]["to_ship"].is_null());
  EXPECT_EQ(run({"shops"}).exit, 3);  // one of three does not log in
}

TEST_F(ShopsCli, PollAnnouncesEachShopsNewOrdersOnce) {
  ASSERT_EQ(run({"--all-shops", "poll", "--once"}).exit, 0);  // learns what is there
  const std::string fresh = m_b.add_order(20);
  const Finished polled = run({"--all-shops", "poll", "--once"});
  ASSERT_EQ(polled.exit, 0) << polled.err;
  const auto lines = polled.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["shop"], "店铺1");
  EXPECT_EQ(lines[0]["new"], 0);
  EXPECT_EQ(lines[1]["shop"], "二号店");
  ASSERT_EQ(lines[1]["new"], 1);
  EXPECT_EQ(lines[1]["orders"][0]["id"], fresh);
  EXPECT_EQ(run({"--all-shops", "poll", "--once"}).lines()[1]["new"], 0);
}

TEST_F(ShopsCli, ShopsAreAddedCheckedAndRemoved) {
  const std::string pw = (m_dir.path() / "pw-b").string();
  for (const char* bad : {"ftp://x.example", "x.example/admin", "x.example:70000"})
    EXPECT_EQ(run({"shops", "add", "三号店", "--backoffice", bad, "--account", "c", "--password-file", pw}).exit, 2)
        << bad;
  EXPECT_EQ(run({"shops", "add", "二号店", "--backoffice", "x.example", "--account", "c", "--password-file", pw}).exit, 2);
  EXPECT_EQ(run({"shops", "remove", "店铺1"}).exit, 1);
  ASSERT_EQ(run({"shops", "remove", "二号店"}).exit, 0);
  EXPECT_EQ(app::Settings(m_settings).sections().size(), 2u);  // 配置项目 and hosts
  EXPECT_EQ(fs::status(m_settings).permissions() & (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none);
}

}  // namespace
