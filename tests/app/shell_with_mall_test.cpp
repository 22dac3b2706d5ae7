// The real window driving the real operations against the stand-in mall: the
// event wiring, the UI-thread waits and the workers working together.
#include <gtest/gtest.h>

#include <QPushButton>

#include <filesystem>

#include "app/core/context.h"
#include "app/gui/main_window.h"
#include "app/wiring/operations.h"
#include "app/core/settings.h"
#include "mall/stand_in_mall.h"

namespace {

using app::kOrderList;
using web::gbk;
namespace fs = std::filesystem;

class ShellWithMall : public ::testing::Test {
 protected:
  ShellWithMall()
      : m_path(fs::temp_directory_path() / ("weihe-shell-" + std::to_string(::getpid()) + ".ini")),
        m_settings((fs::remove(m_path), m_path)),
        m_window(m_settings, nullptr),
        m_ctx{m_window, m_settings,
              app::Hosts{m_mall.backoffice_host(), m_mall.image_host(), m_mall.tracking_host()}} {
    m_window.set_operations(app::bind_operations(m_ctx));
    m_window.set_message_handler(
        [](const app::Text&, const app::Text&, app::Buttons) { return app::Answer::No; });
  }
  ~ShellWithMall() override {
    m_window.wait_for_workers(std::chrono::seconds(30));
    fs::remove(m_path);
  }
  void click(const char* name) {
    m_window.findChild<QPushButton*>(QString::fromUtf8(name))->click();
  }

  mall::StandInMall m_mall;
  fs::path m_path;
  app::Settings m_settings;
  app::MainWindow m_window;
  app::Context m_ctx;
};

TEST_F(ShellWithMall, LoginThenListFetchThroughTheWindow) {
  m_window.set_text("编辑框1", "demo");
  m_window.set_text("编辑框2", "demo123");
  click("按钮1");  // runs on the UI thread, waiting for its requests
  EXPECT_TRUE(m_window.is_enabled("按钮4"));
  EXPECT_EQ(m_settings.read_setting(gbk("账号")), "demo");

  click("按钮4");  // a worker fills the table through the window
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(30)));
  EXPECT_GT(m_window.row_count(kOrderList), 0);
  EXPECT_TRUE(m_window.is_enabled("按钮6"));
}

TEST_F(ShellWithMall, ClosingWhileWorkersWaitForTheServerEndsCleanly) {
  m_window.set_text("编辑框1", "demo");
  m_window.set_text("编辑框2", "demo123");
  click("按钮1");
  m_mall.set_slow_delay(std::chrono::milliseconds(300));
  m_mall.set_fault(mall::Fault::Slow);
  click("按钮3");
  click("按钮5");
  m_window.show();
  m_window.close();
  EXPECT_TRUE(m_window.wait_for_workers(std::chrono::seconds(30)));
  EXPECT_EQ(m_window.row_count(kOrderList), 0);  // nothing reached the closed window
}

}  // namespace
