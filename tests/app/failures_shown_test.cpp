// Failures look like failures in the window: a list that did not come keeps
// the table and says why in the status line and the title; a wrong password
// is said; new orders are counted and marked without any notification service.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include <chrono>
#include <thread>
#include <QCoreApplication>

#include "app/gui/report_model.h"
#include "window_with_mall.h"

namespace {

using app::kOrderList;
using web::gbk;
using namespace std::chrono_literals;

class FailuresShown : public app_tests::WindowWithMall {
 protected:
  FailuresShown() : WindowWithMall("weihe-failures") {}
  std::string status() {
    return m_window.findChild<QLabel*>(QString::fromUtf8("状态栏"))->text().toStdString();
  }
  std::string title() { return web::gbk_to_utf8(m_window.title()); }
  void list_to_ship() {
    click("按钮4");
    ASSERT_TRUE(m_window.wait_for_workers(30s));
  }
};

TEST_F(FailuresShown, AListThatDidNotComeKeepsTheTableAndSaysWhy) {
  sign_in();
  list_to_ship();
  const int listed = m_window.row_count(kOrderList);
  ASSERT_EQ(listed, 5);
  EXPECT_EQ(status().rfind("待发货：5笔，", 0), 0u) << status();
  const struct {
    mall::Fault fault;
    const char* said;
  } cases[] = {{mall::Fault::ServerError, "后台返回 500，待发货订单列表未更新"},
               {mall::Fault::Drop, "连接不上后台，待发货订单列表未更新"},
               {mall::Fault::Garbage, "后台的回答不是网页，待发货订单列表未更新"}};
  for (const auto& c : cases) {
    m_mall.set_fault(c.fault);
    list_to_ship();
    EXPECT_EQ(m_window.row_count(kOrderList), listed) << c.said;
    EXPECT_EQ(status(), c.said);
    if (c.fault != mall::Fault::Drop) EXPECT_NE(title().find(c.said), std::string::npos) << title();
  }
  m_mall.set_fault(mall::Fault::None);
  list_to_ship();
  EXPECT_EQ(title().find("未更新"), std::string::npos) << title();
}

// 日志 keeps every failure the status line shows, once: the list's (which
// the list fetch logs itself), the amount's (which nothing else logs), and
// the same failure shown again.
TEST_F(FailuresShown, EveryFailureShownIsLoggedOnce) {
  sign_in();
  m_mall.set_fault(mall::Fault::ServerError);
  list_to_ship();
  click("按钮15");
  click("按钮15");
  const std::string log = web::gbk_to_utf8(m_window.text("编辑框6"));
  auto times = [&log](const std::string& line) {
    int n = 0;
    for (auto at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(times("后台返回 500，待发货订单列表未更新\r\n"), 1) << log;
  EXPECT_EQ(times("后台返回 500，可提现金额没有更新\r\n"), 1) << log;
  EXPECT_EQ(status(), "后台返回 500，可提现金额没有更新");
}

TEST_F(FailuresShown, AWrongPasswordIsSaidAndTheFiguresGreyed) {
  m_window.set_text("编辑框1", "demo");
  m_window.set_text("编辑框2", "wrong");
  click("按钮1");
  ASSERT_FALSE(m_shown.empty());
  EXPECT_EQ(m_shown.back().text, gbk("登录失败：账号或密码错误"));
  EXPECT_EQ(status(), "登录失败：账号或密码错误");
  EXPECT_FALSE(m_window.is_enabled("标签4"));
}

TEST_F(FailuresShown, NewOrdersAreCountedAndMarkedUntilLookedAt) {
  sign_in();
  list_to_ship();
  const std::string id = m_mall.add_order(20);
  auto* count = m_window.findChild<QPushButton*>(QString::fromUtf8("新订单"));
  m_window.set_timer_interval(1);  // the reminder ticks until a poll found the order
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (count->isHidden() && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(5ms);
  }
  m_window.set_timer_interval(0);
  ASSERT_TRUE(m_window.wait_for_workers(30s));
  ASSERT_FALSE(count->isHidden());
  EXPECT_EQ(count->text().toStdString(), "新订单 1 笔");
  EXPECT_EQ(m_window.text("标签4"), "6");  // the 待发货 figure follows the poll
  auto* view = m_window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"));
  int row = -1;
  for (int r = 0; r < m_window.row_count(kOrderList); ++r)
    if (m_window.cell(kOrderList, r, app::kColId) == id) row = r;
  ASSERT_GE(row, 0) << "the poll shows the new order in the to-ship list";
  EXPECT_TRUE(view->model()->index(row, 1).data(Qt::BackgroundRole).isValid());

  count->click();  // looked at
  EXPECT_TRUE(count->isHidden());
  EXPECT_FALSE(view->model()->index(row, 1).data(Qt::BackgroundRole).isValid());
}

}  // namespace
