// The real window driving the real operations against the stand-in mall: the
// event wiring, the UI-thread waits and the workers working together.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTableView>

#include <chrono>

#include "window_with_mall.h"

namespace {

using app::kOrderList;
using web::gbk;

// The stand-in's usual seeded orders; every question answered No.
class ShellWithMall : public app_tests::WindowWithMall {
 protected:
  ShellWithMall() : WindowWithMall("weihe-shell", mall::Options{}) { m_yes_no = app::Answer::No; }
};

TEST_F(ShellWithMall, LoginThenListFetchThroughTheWindow) {
  sign_in();  // runs on the UI thread, waiting for its requests
  EXPECT_TRUE(m_window.is_enabled("按钮4"));
  EXPECT_EQ(m_settings.read_setting(gbk("账号")), "demo");

  click("按钮4");  // a worker fills the table through the window
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(30)));
  EXPECT_GT(m_window.row_count(kOrderList), 0);
  EXPECT_TRUE(m_window.is_enabled("按钮6"));
}

// The list scrolls along with the rows as they come, and opens at its first row.
TEST_F(ShellWithMall, AFetchedListOpensAtItsFirstRow) {
  m_window.show();
  sign_in();
  click("按钮2");  // every order, more than the list shows at once
  auto* view = m_window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"));
  ASSERT_EQ(m_window.row_count(kOrderList), 36);
  EXPECT_GT(view->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(view->verticalScrollBar()->value(), 0);
}

TEST_F(ShellWithMall, ClosingWhileWorkersWaitForTheServerEndsCleanly) {
  sign_in();
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
