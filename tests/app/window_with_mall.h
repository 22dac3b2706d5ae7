#pragma once
// The real main window with every operation bound, against a stand-in mall on
// loopback, its settings file in a fresh temporary folder. Every message the
// window shows is kept in m_shown; a yes/no question is answered m_yes_no.
//
// Usage: class MyTest : public app_tests::WindowWithMall {};
//        TEST_F(MyTest, X) { sign_in(); click("按钮4"); ... }

#include <gtest/gtest.h>

#include <QPushButton>

#include <chrono>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/settings.h"
#include "app/gui/main_window.h"
#include "app/wiring/operations.h"
#include "mall/stand_in_mall.h"
#include "support/temp_dir.h"
#include "web/http.h"

namespace app_tests {

struct Shown {
  app::Text text;
  app::Text title;
};

// Twelve orders, five of them to ship.
inline mall::Options small_mall() {
  mall::Options options;
  options.seeded_orders = 12;
  return options;
}

class WindowWithMall : public ::testing::Test {
 protected:
  explicit WindowWithMall(const std::string& dir_prefix, mall::Options options = small_mall())
      : m_dir(dir_prefix),
        m_mall(std::move(options)),
        m_settings(m_dir.path() / "配置文件.ini"),
        m_window(m_settings, nullptr),
        m_ctx{m_window, m_settings,
              app::Hosts{m_mall.backoffice_host(), m_mall.image_host(), m_mall.tracking_host()}} {
    using namespace std::chrono_literals;
    web::clear_http_cookies();
    web::set_http_timeouts({3000ms, 10000ms});
    m_window.set_operations(app::bind_operations(m_ctx));
    m_window.set_message_handler([this](const app::Text& text, const app::Text& title,
                                        app::Buttons buttons) {
      m_shown.push_back({text, title});
      return buttons == app::Buttons::YesNo ? m_yes_no : app::Answer::Ok;
    });
  }
  ~WindowWithMall() override {
    m_window.wait_for_workers(std::chrono::seconds(30));
    web::clear_http_cookies();
    web::set_http_timeouts({});
  }

  void click(const char* name) {
    auto* button = m_window.findChild<QPushButton*>(QString::fromUtf8(name));
    ASSERT_NE(button, nullptr) << name;
    button->click();
  }
  // Logs in with the stand-in's account through 按钮1.
  void sign_in() {
    m_window.set_text("编辑框1", "demo");
    m_window.set_text("编辑框2", "demo123");
    click("按钮1");
  }

  testing_support::TempDir m_dir;
  mall::StandInMall m_mall;
  app::Settings m_settings;
  app::MainWindow m_window;
  app::Context m_ctx;
  std::vector<Shown> m_shown;
  app::Answer m_yes_no = app::Answer::Yes;
};

}  // namespace app_tests
