// 设置's 电子面单 page: values refused as typed, 测试 against the stand-in's
// e-waybill provider (right keys, wrong secret) ordering nothing, and what 保存 writes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/gui/settings_dialog.h"
#include "mall/stand_in_mall.h"
#include "printing/paper.h"
#include "support/temp_dir.h"
#include "waybill/account.h"

namespace {

using web::gbk;

class WaybillSettings : public ::testing::Test {
 protected:
  static bool write_first_shop(app::Settings& s) {
    return s.write_setting(gbk("账号"), "demo") && s.write_setting(gbk("密码"), "demo123") &&
           s.write_setting("backoffice", "127.0.0.1:18080", "hosts") &&
           s.write_setting(gbk("快递100sky"), "tracking-key");  // the other page's warning
  }
  QLineEdit* field(const char* key) {
    return dialog.findChild<QLineEdit*>(QStringLiteral("waybill_") + QLatin1String(key));
  }
  void retype(const char* key, const std::string& text) {
    const QString t = QString::fromStdString(text);
    field(key)->setText(t);
    Q_EMIT field(key)->textEdited(t);
  }
  QString test_account() {
    auto* test = dialog.findChild<QPushButton*>(QStringLiteral("waybill_test"));
    test->click();
    QElapsedTimer waited;
    waited.start();
    while (!test->isEnabled() && waited.elapsed() < 10000) QApplication::processEvents();
    return dialog.findChild<QLabel*>(QStringLiteral("waybill_test_result"))->text();
  }

  mall::StandInMall mall;
  testing_support::TempDir dir;
  app::Settings settings{dir.path() / "配置文件.ini"};
  bool written = write_first_shop(settings);
  app::SettingsDialog dialog{settings, {}};
};

TEST_F(WaybillSettings, ChecksAsTypedTestsTheKeysAndSavesTheAccount) {
  dialog.findChild<QComboBox*>(QStringLiteral("waybill_provider"))->setCurrentIndex(1);  // 快递100
  EXPECT_TRUE(dialog.problem().isEmpty());
  EXPECT_FALSE(dialog.warning().isEmpty());  // no key yet: said, not refused
  retype("endpoint", "ftp://" + mall.waybill_host());
  EXPECT_FALSE(dialog.problem().isEmpty());
  retype("endpoint", "http://" + mall.waybill_host() + "/label/order");
  retype("courier", "圆通");
  EXPECT_FALSE(dialog.problem().isEmpty());
  retype("courier", "yuantong");
  const mall::WaybillAccount& a = mall.options().waybill;
  retype("key", a.key);
  retype("secret", a.secret + "x");
  retype("partner_id", "P-0001");
  EXPECT_TRUE(dialog.problem().isEmpty()) << dialog.problem().toStdString();
  EXPECT_TRUE(dialog.warning().isEmpty()) << dialog.warning().toStdString();

  const QString wrong = test_account();
  EXPECT_TRUE(wrong.contains(QString::fromUtf8("签名"))) << wrong.toStdString();
  retype("secret", a.secret);
  const QString right = test_account();
  EXPECT_TRUE(right.contains(QString::fromUtf8("key 和签名都对"))) << right.toStdString();
  EXPECT_TRUE(mall.waybill_service().waybills().empty());  // nothing ordered

  dialog.findChild<QComboBox*>(QStringLiteral("label_printer"))
      ->setCurrentText(QStringLiteral("Label"));
  ASSERT_TRUE(dialog.save());
  const waybill::Account saved = waybill::read_account(settings);
  EXPECT_EQ(saved.provider, "kuaidi100");
  EXPECT_EQ(saved.courier, "yuantong");
  EXPECT_EQ(saved.key, a.key);
  EXPECT_EQ(saved.secret, a.secret);  // no keyring here: the file keeps it
  EXPECT_EQ(printing::remembered_printer(settings, "label_printer"), QStringLiteral("Label"));
  EXPECT_EQ(printing::remembered_label_paper(settings), printing::Paper::Label100x150);
}

}  // namespace
