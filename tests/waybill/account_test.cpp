// The e-waybill account read from the settings file.
#include "waybill/account.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"
#include "web/text.h"

namespace {

// A keeper that keeps one secret, filed as the account reader asks for it.
struct OneSecret : app::PasswordKeeper {
  std::optional<web::Text> read(const web::Text& account, const web::Text& host) override {
    if (account == "1234567" && host == "waybill/app_key") return web::Text("kept-key");
    return std::nullopt;
  }
  bool write(const web::Text&, const web::Text&, const web::Text&) override { return false; }
};

TEST(WaybillAccount, ReadFromSystemTextWithSecretsFromTheKeeper) {
  testing_support::TempDir dir;
  const auto file = dir.path() / "settings.ini";
  std::ofstream(file, std::ios::binary)
      << "[waybill]\r\nprovider= KdNiao \r\ncourier=YTO\r\nebusiness_id=1234567\r\n"
      << web::gbk("customer_name=客户甲\r\n") << "pay_type=9\r\n";
  app::Settings settings(file);
  OneSecret keeper;
  settings.set_password_keeper(&keeper);
  const waybill::Account a = waybill::read_account(settings);
  EXPECT_EQ(a.provider, "kdniao");
  EXPECT_EQ(a.courier, "YTO");
  EXPECT_EQ(a.customer_name, "客户甲");
  EXPECT_EQ(a.app_key, "kept-key");
  EXPECT_EQ(a.pay_type, 3);  // out of range: the monthly account
}

TEST(WaybillAccount, APostThatReachesNoServerSaysNoAnswer) {
  const waybill::HttpAnswer a = waybill::http_post(nullptr)("http://127.0.0.1:1/label", "a=b");
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(a.body, "");
}

}  // namespace
