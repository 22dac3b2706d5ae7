// Passwords in the desktop's keyring. It needs a keyring on the session bus:
// tests/scripts/keyring_test.sh runs it with gnome-keyring-daemon on a
// private bus (WEIHE_KEYRING_REQUIRED=1); elsewhere it is skipped.
#include <gtest/gtest.h>

#include <QtGlobal>

#include "core/shops.h"
#include "desktop/keyring.h"
#include "support/temp_dir.h"

namespace {

using web::gbk;

TEST(KeyringOnPrivateBus, APasswordInTheFileMovesToTheKeyringAtTheNextSave) {
  desktop::Keyring keyring;
  if (!keyring.available()) {
    if (qEnvironmentVariableIntValue("WEIHE_KEYRING_REQUIRED")) FAIL() << "no keyring answered";
    GTEST_SKIP() << "no keyring on the session bus";
  }
  testing_support::TempDir dir;
  app::Settings settings(dir.path() / "配置文件.ini");
  settings.write_setting(gbk("账号"), "demo");
  settings.write_setting(gbk("密码"), "demo123");  // as an older program left it
  settings.write_setting("backoffice", "127.0.0.1:18080", "hosts");
  settings.set_password_keeper(&keyring);
  app::Shop first = app::read_shops(settings).front();
  EXPECT_EQ(first.password, "demo123");

  app::Text error;
  ASSERT_TRUE(app::save_shop(settings, first, &error)) << web::gbk_to_utf8(error);
  EXPECT_EQ(settings.read_setting(gbk("密码")), "");  // the file holds none now
  EXPECT_EQ(app::read_shops(settings).front().password, "demo123");
  EXPECT_EQ(keyring.read("demo", "127.0.0.1:18080"), app::Text("demo123"));

  // A further shop, and a login's write, go there too.
  ASSERT_TRUE(app::save_shop(settings, {gbk("二号店"), {"b.example:81", "", ""}, "bob", gbk("密码二"), false}, &error));
  app::save_login(settings, {}, "127.0.0.1:18080", "demo", "changed");
  const auto shops = app::read_shops(settings);
  EXPECT_EQ(shops[0].password, "changed");
  EXPECT_EQ(shops[1].password, gbk("密码二"));
  EXPECT_EQ(settings.read_setting(gbk("密码"), app::shop_section(gbk("二号店"))), "");

  // Without the keeper (weihe-cli in cron) the file is as it is: no password.
  app::Settings plain(settings.path());
  EXPECT_EQ(app::read_shops(plain).front().password, "");
}

}  // namespace
