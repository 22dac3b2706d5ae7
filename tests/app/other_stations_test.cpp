// The window at one packing station shows, within a second, an order
// another station shipped from the store they share.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>

#include "app/wiring/other_stations.h"
#include "app/wiring/served_shops.h"
#include "core/archive_keeping.h"
#include "core/store_location.h"
#include "mall/stand_in_mall.h"
#include "store/order_archive.h"
#include "store/shipping_journal.h"
#include "support/fake_form.h"
#include "support/pg_cluster.h"
#include "support/temp_dir.h"

namespace {

using web::gbk;

TEST(OtherStations, AnOrderShippedElsewhereSaysWhoInThisStationsTable) {
  ASSERT_TRUE(testing_support::pg_cluster().running()) << testing_support::pg_cluster().problem();
  const std::string url = testing_support::pg_cluster().new_database();
  mall::StandInMall mall;
  testing_support::TempDir dir;
  app::Settings settings{dir.path() / "配置文件.ini"};
  settings.write_setting(gbk("账号"), "demo");
  settings.write_setting(gbk("密码"), "demo123");
  settings.write_setting("backoffice", mall.backoffice_host(), "hosts");
  settings.write_setting("images", mall.image_host(), "hosts");
  settings.write_setting("url", url, "store");
  settings.write_setting("station", gbk("一号台"), "store");
  const auto database = app::open_store(settings);
  ASSERT_TRUE(database->shared() && database->ok()) << database->error();
  EXPECT_EQ(database->station(), "一号台");
  store::OrderArchive archive(*database);
  testing_support::FakeForm form;
  app::ServedShops shops(form, settings, database.get(), &archive);
  QObject window;
  const auto listening = app::show_other_stations(&window, form, settings, *database, shops);
  ASSERT_TRUE(listening);
  shops.choose(0);  // its account in the boxes, as the window starts
  app::Operations ops = shops.operations();
  ops.login();
  ops.fetch_orders_to_ship();
  form.join_workers();
  std::string said;
  for (const auto& m : form.messages) said += web::gbk_to_utf8(m.text) + "\n";
  ASSERT_GT(form.row_count(app::kOrderList), 0) << said;
  const std::string id = web::gbk_to_utf8(form.cell(app::kOrderList, 0, app::kColId));
  while (listening->last_seen() < 0) QCoreApplication::processEvents();

  store::Database other(store::Database::Shared{url, ""});
  other.set_station("二号台");
  store::ShippingJournal journal(other, app::shop_of(shops.context()));
  std::string error;
  ASSERT_EQ(journal.claim(id).outcome, store::Claim::Ours);
  store::Shipment s;
  s.order_id = id;
  s.tracking_no = "YT9988776655";
  const auto entry = journal.begin(s, &error);
  ASSERT_TRUE(entry && journal.finish(*entry, true, "操作成功", 200, &error)) << error;

  QElapsedTimer waited;
  waited.start();
  const int row = 0;
  while (form.cell(app::kOrderList, row, app::kColShipStatus).empty() && waited.elapsed() < 3000)
    QCoreApplication::processEvents();
  EXPECT_LT(waited.elapsed(), 1000);
  EXPECT_EQ(form.cell(app::kOrderList, row, app::kColShipStatus), gbk("已由二号台发货"));
  EXPECT_EQ(form.cell(app::kOrderList, row, app::kColState), gbk("待收货"));
  EXPECT_EQ(form.cell(app::kOrderList, row, app::kColTrackingNo), "YT9988776655");
  form.join_workers();
}

}  // namespace
