// The order list as the merchant works it: search and sort change only what
// is shown, the layout outlives the window, a row opens whole, and status
// cells are coloured.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include <memory>

#include "app/gui/main_window.h"
#include "app/gui/order_filter.h"
#include "app/gui/row_window.h"
#include "core/columns.h"
#include "core/settings.h"
#include "support/temp_dir.h"

namespace {

using app::kOrderList;
using app::Text;
using web::gbk;

QString u(const char* s) {
  return QString::fromUtf8(s);
}

class OrderView : public ::testing::Test {
 protected:
  OrderView() { make_window(); }
  void make_window() {
    m_window = std::make_unique<app::MainWindow>(m_settings, nullptr);
    m_window->set_message_handler(
        [](const Text&, const Text&, app::Buttons) { return app::Answer::Ok; });
  }
  template <class W = QWidget>
  W* find(const char* name) {
    return m_window->findChild<W*>(u(name));
  }
  QTableView* view() { return find<QTableView>("超级列表框1"); }
  void trigger(QMenu* menu, const char* text) {
    for (QAction* a : menu->actions())
      if (a->text() == u(text)) return a->trigger();
    FAIL() << text;
  }
  // Row r: order number, member, consignee, telephone, address, tracking number, ID, amount.
  void add(const char* order_no, const char* consignee, const char* tracking, const char* total) {
    std::vector<Text> cells(26);
    cells[1] = order_no;
    cells[2] = gbk("会员");
    cells[4] = gbk(total);
    cells[8] = std::string("ID") + order_no;
    cells[18] = gbk(consignee);
    cells[19] = "13800000000";
    cells[20] = gbk("杭州市西湖区");
    cells[21] = tracking;
    m_window->append_row(kOrderList, cells);
  }
  void click_header(int column) {
    QHeaderView* header = view()->horizontalHeader();
    // The middle of the section: near its edges a press resizes.
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, header->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, header->viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &press);
    QApplication::sendEvent(header->viewport(), &release);
  }
  QStringList shown(int column) {
    QStringList cells;
    for (int r = 0; r < view()->model()->rowCount(); ++r)
      cells << view()->model()->index(r, column).data().toString();
    return cells;
  }

  testing_support::TempDir m_dir;
  app::Settings m_settings{m_dir.path() / "配置文件.ini"};
  std::unique_ptr<app::MainWindow> m_window;
};

TEST_F(OrderView, SearchShowsMatchesWhileEntriesActOnTheTableRows) {
  add("A100", "张三", "YT0001", "10");
  add("A200", "李四", "SF12345", "20");
  add("A300", "王五", "ZT0003", "30");
  auto* search = find<QLineEdit>("搜索框");
  auto* count = find<QLabel>("搜索结果");
  EXPECT_EQ(count->text(), QString());

  search->setText(u("ｓｆ１２"));  // full-width and lower case still find "SF12345"
  ASSERT_EQ(view()->model()->rowCount(), 1);
  EXPECT_EQ(count->text(), u("显示1/3行"));
  view()->selectRow(0);
  EXPECT_EQ(m_window->selected_row(kOrderList), 1);  // the table's row, not the view's
  trigger(m_window->order_menu(), "复制");
  EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(u("\tA200\t")));

  // A batch reads every row of the table, shown or not.
  std::size_t batch_rows = 0;
  app::Operations ops;
  ops.ship_all_orders = [&] { batch_rows = m_window->rows(kOrderList).size(); };
  m_window->set_operations(ops);
  find<QPushButton>("按钮12")->click();
  ASSERT_TRUE(m_window->wait_for_workers(std::chrono::seconds(10)));
  EXPECT_EQ(batch_rows, 3u);
  EXPECT_TRUE(find("按钮12")->toolTip().contains(u("没有显示")));

  trigger(m_window->order_menu(), "删除本条订单");
  ASSERT_EQ(m_window->row_count(kOrderList), 2);
  EXPECT_EQ(m_window->cell(kOrderList, 0, 1), "A100");
  EXPECT_EQ(m_window->cell(kOrderList, 1, 1), "A300");
  EXPECT_EQ(count->text(), u("显示0/2行"));

  search->setText(u("王五"));
  EXPECT_EQ(count->text(), u("显示1/2行"));
  search->setText(u("没有这个"));
  EXPECT_EQ(count->text(), u("显示0/2行"));
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(search, &escape);
  EXPECT_EQ(search->text(), QString());
  EXPECT_EQ(view()->model()->rowCount(), 2);
  EXPECT_EQ(count->text(), QString());

  // The shipped rows out of view on request; a row shipped meanwhile leaves it too.
  m_window->set_cell(kOrderList, 0, app::kColShipStatus, web::gbk("发货成功"));
  trigger(m_window->order_menu(), "隐藏已发货的行");
  EXPECT_EQ(view()->model()->rowCount(), 1);
  EXPECT_EQ(count->text(), u("显示1/2行"));
  m_window->set_cell(kOrderList, 1, app::kColShipStatus, web::gbk("发货成功"));
  EXPECT_EQ(view()->model()->rowCount(), 0);
  trigger(m_window->order_menu(), "隐藏已发货的行");
  EXPECT_EQ(view()->model()->rowCount(), 2);
}

// Back on the orders page (载入到订单列表, a 统计 bar, a click on the tab),
// the next scan or keystroke goes to the list, never into 账号.
TEST_F(OrderView, APageSwitchBackLeavesTheFocusOnTheList) {
  auto* tabs = find<QTabWidget>("选择夹1");
  auto* account = find<QLineEdit>("编辑框1");
  for (int page = 1; page < tabs->count(); ++page) {
    account->setFocus();
    tabs->setCurrentIndex(page);
    tabs->setCurrentIndex(0);
    EXPECT_EQ(m_window->focusWidget(), view()) << page;
  }
}

TEST_F(OrderView, HeaderClicksSortByValueThenReverseThenRestoreTheTableOrder) {
  add("201701191221231002", "a", "", "¥100.00");
  add("201701191221231001", "b", "", "¥9.50");
  add("201701191221231010", "c", "", "￥1,200.00");
  add("201701191221231003", "d", "", "¥25");
  m_window->show();
  click_header(4);
  EXPECT_EQ(shown(4), QStringList({u("¥9.50"), u("¥25"), u("¥100.00"), u("￥1,200.00")}));
  view()->selectRow(0);
  EXPECT_EQ(m_window->selected_row(kOrderList), 1);  // the row clicked, wherever it shows
  click_header(4);
  EXPECT_EQ(shown(4).first(), u("￥1,200.00"));
  EXPECT_EQ(m_window->selected_row(kOrderList), 1);
  click_header(4);
  EXPECT_EQ(shown(4), QStringList({u("¥100.00"), u("¥9.50"), u("￥1,200.00"), u("¥25")}));
  EXPECT_FALSE(view()->horizontalHeader()->isSortIndicatorShown());

  // Long order numbers keep every digit; times compare as times, not as text.
  click_header(1);
  EXPECT_EQ(shown(1), QStringList({u("201701191221231001"), u("201701191221231002"),
                                   u("201701191221231003"), u("201701191221231010")}));
  EXPECT_LT(app::OrderFilter::compare_cells(u("2017-1-9 9:05"), u("2017-01-10 08:00:00")), 0);
  EXPECT_LT(app::OrderFilter::compare_cells(u("-3"), u("2")), 0);
  EXPECT_LT(app::OrderFilter::compare_cells(u("9.5元"), u("10")), 0);
}

TEST_F(OrderView, LayoutIsKeptAcrossARestartAndNonsenseFallsBackToTheDefaults) {
  view()->setColumnWidth(3, 120);  // a hidden column, widened
  view()->setColumnWidth(20, 240);
  view()->horizontalHeader()->moveSection(21, 1);
  m_window->setGeometry(40, 50, 900, 480);
  m_window->close();
  make_window();
  EXPECT_EQ(view()->columnWidth(3), 120);
  EXPECT_EQ(view()->columnWidth(20), 240);
  EXPECT_EQ(view()->columnWidth(13), 0);
  EXPECT_EQ(view()->horizontalHeader()->logicalIndex(1), 21);
  EXPECT_EQ(m_window->geometry(), QRect(40, 50, 900, 480));
  EXPECT_FALSE(m_window->isMaximized());

  // 恢复默认列宽: the system's widths and order again.
  trigger(m_window->header_menu(), "恢复默认列宽");
  EXPECT_EQ(view()->columnWidth(3), 0);
  EXPECT_EQ(view()->columnWidth(20), 50);
  EXPECT_EQ(view()->horizontalHeader()->logicalIndex(1), 1);

  m_window->showMaximized();
  m_window->close();
  make_window();
  EXPECT_TRUE(m_window->windowState() & Qt::WindowMaximized);

  m_settings.write_setting("order_column_widths", "abc,-5,99999,,7", "layout");
  m_settings.write_setting("order_column_order", "1,1,2", "layout");
  m_settings.write_setting("window", "0,0,5,5", "layout");
  m_settings.write_setting("maximized", "0", "layout");
  make_window();
  for (int c : {0, 1, 2}) EXPECT_EQ(view()->columnWidth(c), 50) << c;
  EXPECT_EQ(view()->columnWidth(3), 0);
  EXPECT_EQ(view()->columnWidth(4), 7);  // the one sane width is taken
  EXPECT_EQ(view()->horizontalHeader()->logicalIndex(0), 0);
  EXPECT_EQ(m_window->size(), QSize(1136, 504));
}

TEST_F(OrderView, DoubleClickOpensTheWholeRowAndStatusCellsAreColoured) {
  add("A100", "张三", "YT0001", "10");
  m_window->set_cell(kOrderList, 0, 17, gbk("请<b>尽快</b>发货，谢谢，包装要结实一点，不要压坏了"));
  m_window->show();
  bool wrapped = false, escaped = false;
  QString copied;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal->objectName() != u("订单行")) return;
    wrapped = modal->findChild<QLabel*>(u("cell20"))->wordWrap() &&
              !modal->findChild<QLabel*>(u("cell1"))->wordWrap();
    escaped = modal->findChild<QLabel*>(u("cell17"))->textFormat() == Qt::PlainText;
    for (auto* b : modal->findChildren<QPushButton*>())
      if (b->text() == u("复制")) b->click();
    copied = QGuiApplication::clipboard()->text();
    modal->close();
  });
  look.start(20);
  const QPoint at = view()->visualRect(view()->model()->index(0, 2)).center();
  for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
    QMouseEvent e(type, at, view()->viewport()->mapToGlobal(at), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view()->viewport(), &e);
  }
  look.stop();
  EXPECT_TRUE(wrapped);
  EXPECT_TRUE(escaped);
  EXPECT_TRUE(copied.contains(u("订单号：A100\n")));
  EXPECT_TRUE(copied.contains(u("收货人：张三\n")));
  EXPECT_FALSE(copied.contains(u("第26列")));

  add("A200", "", "", "");
  add("A300", "", "", "");
  const char* statuses[] = {"发货成功", "发货失败{\"msg\":\"x\"}", "跳过：没有快递单号"};
  for (int r = 0; r < 3; ++r) m_window->set_cell(kOrderList, r, app::kColShipStatus, gbk(statuses[r]));
  auto colour = [&](int r) {
    return view()->model()->index(r, app::kColShipStatus).data(Qt::ForegroundRole).value<QColor>();
  };
  EXPECT_EQ(colour(0), QColor(0, 128, 0));
  EXPECT_EQ(colour(1), QColor(255, 0, 0));
  EXPECT_EQ(colour(2), QColor(128, 128, 128));
  EXPECT_FALSE(view()->model()->index(0, 1).data(Qt::ForegroundRole).isValid());
}

// 会员 shows without the back office's markup, in the list and the row
// window, while the cell keeps it; the row window names each column once
// and shows 物流信息 as the parcel's state and events.
TEST_F(OrderView, CellsShowAsTheyReadWhileTheTableKeepsThemAsRead) {
  add("A100", "张三", "YT0001", "10");
  add("A200", "李四", "YT0002", "20");
  const Text bold = gbk("<b>韩梅梅</b>"), vip = gbk("<span class=\"vip\">VIP</span>郑&amp;洁");
  m_window->set_cell(kOrderList, 0, app::kColMember, bold);
  m_window->set_cell(kOrderList, 1, app::kColMember, vip);
  EXPECT_EQ(shown(app::kColMember), QStringList({u("韩梅梅"), u("VIP郑&洁")}));
  EXPECT_EQ(m_window->cell(kOrderList, 0, app::kColMember), bold);  // exported as read
  find<QLineEdit>("搜索框")->setText(u("vip郑&洁"));  // what the merchant sees is found
  EXPECT_EQ(shown(app::kColOrderNo), QStringList({u("A200")}));
  find<QLineEdit>("搜索框")->clear();

  app::OrderRow row = m_window->rows(kOrderList)[1];
  row[app::kColPaid] = "5.00";
  row[14] = "6.00";
  row[app::kColTrackingInfo] = gbk(
      R"({"status":"1","state":"0","data":[{"time":"2024-05-22 18:00:00","context":"[杭州市] 快件已发出"},)"
      R"({"time":"2024-05-21 09:00:00","context":"[杭州市] 已揽收"}]})");
  std::vector<Text> titles;
  for (const app::ListColumn& c : app::order_columns()) titles.push_back(gbk(c.title));
  const QString text = app::row_window_text(titles, row);
  EXPECT_TRUE(text.contains(u("会员：VIP郑&洁\n")));
  EXPECT_EQ(text.count(u("支付金额：")), 1);
  EXPECT_TRUE(text.contains(u("支付金额：5.00\n")));
  EXPECT_TRUE(text.contains(u("支付金额（详情）：6.00\n")));
  EXPECT_TRUE(
      text.contains(u("物流信息：在途 · 05-22 18:00 · [杭州市] 快件已发出\n"
                      "2024-05-22 18:00:00  [杭州市] 快件已发出\n"
                      "2024-05-21 09:00:00  [杭州市] 已揽收\n")))
      << text.toStdString();
  EXPECT_FALSE(text.contains(u("{")));
  EXPECT_FALSE(text.contains(u("第26列")));
  row[25] = gbk("导入的");  // an untitled column shows once it holds something
  EXPECT_TRUE(app::row_window_text(titles, row).contains(u("（无标题）：导入的")));
}

}  // namespace
