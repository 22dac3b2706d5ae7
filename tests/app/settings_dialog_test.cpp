// The 设置 dialog: values are refused as typed, and what it saves is the
// settings file in its own format, readable by its owner only.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

#include "app/gui/settings_dialog.h"
#include "core/store_location.h"
#include "support/pg_cluster.h"
#include "support/temp_dir.h"

namespace {

using web::gbk;
namespace fs = std::filesystem;

class SettingsDialogTest : public ::testing::Test {
 protected:
  static bool write_first_shop(app::Settings& s) {
    return s.write_setting(gbk("账号"), "demo") && s.write_setting(gbk("密码"), "demo123") &&
           s.write_setting("backoffice", "127.0.0.1:18080", "hosts");
  }
  QLineEdit* field(const char* name) { return dialog.findChild<QLineEdit*>(QString::fromUtf8(name)); }
  // As typed: the box's text and its textEdited signal (keyClicks knows no Chinese).
  void retype(const char* name, const QString& text) {
    field(name)->setText(text);
    Q_EMIT field(name)->textEdited(text);
  }
  QPushButton* button(const char* caption) {
    for (auto* b : dialog.findChildren<QPushButton*>())
      if (b->text() == QString::fromUtf8(caption)) return b;
    return nullptr;
  }

  testing_support::TempDir dir;
  app::Settings settings{dir.path() / "配置文件.ini"};
  bool written = write_first_shop(settings);  // before the dialog reads the file
  app::SettingsDialog dialog{settings, {}};
};

TEST_F(SettingsDialogTest, RefusedValuesKeepSaveDisabledUntilMended) {
  for (const char* bad : {"ftp://mall.example", "mall.example/admin", "mall.example:99999", "mall example"}) {
    retype("后台主机", QString::fromUtf8(bad));
    EXPECT_FALSE(dialog.problem().isEmpty()) << bad;
    EXPECT_FALSE(button("保存")->isEnabled()) << bad;
  }
  retype("后台主机", QStringLiteral("https://mall.example:8443"));
  EXPECT_TRUE(dialog.problem().isEmpty()) << dialog.problem().toStdString();
  retype("快递100sky", QStringLiteral("a key"));
  EXPECT_FALSE(dialog.problem().isEmpty());
  retype("快递100sky", QStringLiteral("akey"));

  button("添加店铺")->click();  // a second shop, unnamed hosts: refused
  EXPECT_FALSE(dialog.problem().isEmpty());
  retype("店铺名称", QString::fromUtf8("店铺1"));  // the first shop's label again
  retype("后台主机", QStringLiteral("shop2.example"));
  EXPECT_FALSE(dialog.problem().isEmpty());
  retype("店铺名称", QString::fromUtf8("二号店"));
  EXPECT_TRUE(dialog.problem().isEmpty()) << dialog.problem().toStdString();
}

// A courier written as its name is refused with its code named; an empty
// key or an unlisted code is only said; without a keyring the 店铺 page says
// the password stays in the file.
TEST_F(SettingsDialogTest, CourierNamesAreRefusedAndAnEmptyKeyIsSaid) {
  retype("快递100sky", QString());
  EXPECT_TRUE(dialog.problem().isEmpty());
  EXPECT_TRUE(dialog.warning().contains(QString::fromUtf8("key")));
  EXPECT_TRUE(button("保存")->isEnabled());
  retype("快递100sky", QStringLiteral("akey"));
  retype("快递类型", QString::fromUtf8("圆通"));
  EXPECT_TRUE(dialog.problem().contains(QStringLiteral("yuantong")))
      << dialog.problem().toStdString();
  EXPECT_FALSE(button("保存")->isEnabled());
  retype("快递类型", QStringLiteral("yuantng"));
  EXPECT_TRUE(dialog.problem().isEmpty());
  EXPECT_TRUE(dialog.warning().contains(QStringLiteral("yuantng")));
  retype("快递类型", QStringLiteral("yuantong"));
  EXPECT_TRUE(dialog.warning().isEmpty()) << dialog.warning().toStdString();
  EXPECT_TRUE(button("保存")->isEnabled());
  const QLabel* kept = dialog.findChild<QLabel*>(QString::fromUtf8("密码保存处"));
  EXPECT_TRUE(kept->text().contains(QString::fromUtf8("配置文件")));
}

TEST_F(SettingsDialogTest, SavesShopsAndSettingsInTheFilesFormat) {
  button("添加店铺")->click();
  retype("店铺名称", QString::fromUtf8("二号店"));
  retype("后台主机", QStringLiteral("https://shop2.example"));
  retype("店铺账号", QStringLiteral("bob"));
  retype("店铺密码", QStringLiteral("b-secret"));
  dialog.findChild<QSpinBox*>(QStringLiteral("network_connections"))->setValue(2);  // requests at once
  ASSERT_TRUE(dialog.save());

  const auto shop = app::find_shop(settings, gbk("二号店"));
  ASSERT_TRUE(shop);
  EXPECT_EQ(shop->hosts.backoffice, "https://shop2.example");
  EXPECT_EQ(shop->account, "bob");
  EXPECT_EQ(settings.read_setting("connections", "network"), "2");
  EXPECT_EQ(settings.read_setting(gbk("账号")), "demo");  // the first shop as it was
  EXPECT_EQ(fs::status(settings.path()).permissions() & (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none);

  // Renamed, then removed: the sections follow.
  dialog.findChild<QListWidget*>()->setCurrentRow(1);
  retype("店铺名称", QString::fromUtf8("旗舰二店"));
  ASSERT_TRUE(dialog.save());
  EXPECT_FALSE(app::find_shop(settings, gbk("二号店")));
  EXPECT_EQ(app::find_shop(settings, gbk("旗舰二店"))->account, "bob");
  button("删除店铺")->click();
  ASSERT_TRUE(dialog.save());
  EXPECT_EQ(app::read_shops(settings).size(), 1u);
}

TEST_F(SettingsDialogTest, TheSharedStoreIsTestedBesideTheDialogAndSaved) {
  ASSERT_TRUE(testing_support::pg_cluster().running()) << testing_support::pg_cluster().problem();
  auto* test = dialog.findChild<QPushButton*>(QStringLiteral("store_test"));
  auto tested = [&] {
    test->click();
    QElapsedTimer waited;
    waited.start();
    while (!test->isEnabled() && waited.elapsed() < 15000) QApplication::processEvents();
    return dialog.findChild<QLabel*>(QStringLiteral("store_test_result"))->text().toStdString();
  };
  retype("store_url", QStringLiteral("postgresql://[::1"));
  EXPECT_FALSE(button("保存")->isEnabled());
  EXPECT_NE(tested().find("连接串写得不对"), std::string::npos);

  retype("store_url", QStringLiteral("host=127.0.0.1 port=1 dbname=weihe connect_timeout=2"));
  EXPECT_TRUE(button("保存")->isEnabled());
  EXPECT_NE(tested().find("127.0.0.1:1/weihe 连不上"), std::string::npos);

  const std::string url = testing_support::pg_cluster().new_database();
  retype("store_url", QString::fromStdString(url));
  retype("store_station", QString::fromUtf8("二号台"));
  EXPECT_NE(tested().find("连上了"), std::string::npos);
  ASSERT_TRUE(dialog.save());
  app::Settings again(settings.path());
  EXPECT_EQ(app::store_url(again), url);
  EXPECT_EQ(app::open_store(again)->station(), "二号台");
}

}  // namespace
