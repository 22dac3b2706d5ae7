#pragma once
// A stand-in mall on loopback, an in-memory window, a settings file in a fresh
// temporary folder and a Context joining them; cookies start empty.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/context.h"
#include "backoffice/login.h"
#include "mall/stand_in_mall.h"
#include "support/fake_form.h"
#include "web/http.h"

namespace backoffice_tests {

inline std::filesystem::path fresh_temp_dir() {
  std::string name = (std::filesystem::temp_directory_path() / "backoffice-XXXXXX").string();
  if (!mkdtemp(name.data())) return std::filesystem::temp_directory_path();
  return name;
}

class MallTest : public ::testing::Test {
 protected:
  explicit MallTest(mall::Options options = {}) : m_mall(options) {}

  void SetUp() override {
    web::clear_http_cookies();
    web::set_http_timeouts({std::chrono::milliseconds(3000), std::chrono::milliseconds(5000)});
  }
  void TearDown() override {
    form.join_workers();
    web::set_http_timeouts({});
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }

  void log_in(const std::string& account = "demo", const std::string& password = "demo123") {
    form.set_text("编辑框1", web::gbk(account));
    form.set_text("编辑框2", web::gbk(password));
    backoffice::login(ctx);
  }

  // The mall's orders of one state (0: all), in the order its list shows them.
  std::vector<mall::Order> orders_in(int state) const {
    std::vector<mall::Order> out;
    for (const auto& o : m_mall.orders())
      if (state == 0 || o.state == state) out.push_back(o);
    return out;
  }

  std::filesystem::path m_dir = fresh_temp_dir();
  testing_support::FakeForm form;
  app::Settings settings{m_dir / "配置文件.ini"};
  mall::StandInMall m_mall;
  app::Context ctx{
      .form = form,
      .settings = settings,
      .hosts = {m_mall.backoffice_host(), m_mall.image_host(), m_mall.tracking_host()}};
};

}  // namespace backoffice_tests
