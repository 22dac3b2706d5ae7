// A merchant's day through the real window against the stand-in mall, clicked
// as the merchant clicks: log in, list and detail the orders to ship, export
// them with tracking numbers, clear, import the workbook by dropping it, ship
// the batch, track a parcel, look at the withdrawals. Each step hands its
// result to the next one through the window only, so a fault in the seams
// (texts and paths changing encoding, rows losing their identity, an event
// bound to the wrong thread) breaks the day.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QElapsedTimer>
#include <QMenu>
#include <QMimeData>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "app/gui/main_window.h"
#include "core/archive_keeping.h"
#include "mall/stand_in_mall.h"
#include "store/order_archive.h"
#include "store/shipping_journal.h"
#include "web/http.h"
#include "window_with_mall.h"

namespace {

using app::kOrderList;
using app::kWithdrawalList;
using app::Text;
using web::gbk;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

class MerchantDay : public app_tests::WindowWithMall {
 protected:
  MerchantDay() : WindowWithMall("weihe-day") {}

  void click_and_wait(const char* name) {
    click(name);
    ASSERT_TRUE(m_window.wait_for_workers(30s)) << name;
  }
  void choose(const char* entry) {
    for (QAction* action : m_window.order_menu()->actions()) {
      if (action->text() == QString::fromUtf8(entry)) return action->trigger();
    }
    FAIL() << "no menu entry " << entry;
  }
  void select_row(int row) {
    m_window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"))->selectRow(row);
  }
  // Drops one file on the order list the way the window system does, then
  // lets the window handle it.
  void drop_file(const fs::path& path) {
    QWidget* target = m_window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"))->viewport();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    const std::size_t before = m_shown.size();
    QElapsedTimer waited;
    waited.start();
    while (m_shown.size() == before && waited.elapsed() < 10000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  Text last_shown() const { return m_shown.empty() ? Text() : m_shown.back().text; }
  std::vector<Text> column(std::string_view list, int c) {
    std::vector<Text> cells;
    for (int r = 0; r < m_window.row_count(list); ++r) cells.push_back(m_window.cell(list, r, c));
    return cells;
  }
  std::vector<std::string> mall_ids(int state) const {
    std::vector<std::string> ids;
    for (const mall::Order& o : m_mall.orders())
      if (o.state == state) ids.push_back(o.id);
    return ids;
  }

};

// One order shipped on its own, a workbook dropped, then the batch of the
// rest, with the program's database behind the window as it runs: the batch
// journals every shipment while the window's other connections use the file.
TEST_F(MerchantDay, OneShippedAWorkbookDroppedThenTheBatch) {
  store::Database db(store::Database::beside(m_settings.path()));
  store::OrderArchive archive(db);
  m_ctx.database = &db;
  m_ctx.archive = &archive;
  sign_in();
  click_and_wait("按钮4");
  const int rows = m_window.row_count(kOrderList);
  ASSERT_GE(rows, 3);
  click("按钮11");
  m_window.set_text("编辑框12", "yuantong");
  for (int r = 0; r < rows; ++r)
    m_window.set_cell(kOrderList, r, app::kColTrackingNo, "YT" + std::to_string(4000000000LL + r));

  select_row(0);
  m_window.set_text("编辑框14", m_window.cell(kOrderList, 0, app::kColTrackingNo));
  choose("选中行发货");
  ASSERT_FALSE(m_shown.empty());
  EXPECT_EQ(last_shown().substr(0, gbk("发货成功").size()), gbk("发货成功"));
  EXPECT_EQ(m_window.cell(kOrderList, 0, app::kColState), gbk("待收货"));

  const fs::path workbook = m_dir.path() / "orders.xlsx";
  m_window.set_save_path_handler([&](const Text&) { return workbook.string(); });
  choose("导出订单");
  choose("清空订单");
  drop_file(workbook);
  ASSERT_EQ(m_window.row_count(kOrderList), rows);

  // The question comes (the shipped row cannot go again); its default ships the rest.
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
      for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->isDefault()) return b->click();
  });
  answer.start(20);
  click_and_wait("按钮12");
  answer.stop();
  EXPECT_EQ(last_shown(), gbk("发货完成，请检查是否发送成功！！！\r\n成功") + std::to_string(rows - 1) +
                              gbk("笔，失败0笔，跳过1笔"))
      << web::gbk_to_utf8(last_shown());
  EXPECT_EQ(store::ShippingJournal(db, app::shop_of(m_ctx)).order_ids("shipped").size(),
            static_cast<std::size_t>(rows));
}

TEST_F(MerchantDay, FromLoginThroughShippingToWithdrawals) {
  const std::vector<std::string> to_ship = mall_ids(20);
  ASSERT_GE(to_ship.size(), 3u);

  // Log in: the dashboard and the title.
  sign_in();
  EXPECT_EQ(m_window.text("标签4"), std::to_string(to_ship.size()));
  EXPECT_EQ(m_window.text("标签3"), std::to_string(mall_ids(10).size()));
  EXPECT_EQ(m_window.text("标签7"), gbk("销售中：28"));
  EXPECT_EQ(m_window.text("标签10"), gbk("仓库中：6"));
  EXPECT_NE(m_window.title().find(gbk("蔚禾优选旗舰店")), Text::npos);
  EXPECT_EQ(QString::fromStdString(web::gbk_to_utf8(m_window.title())), m_window.windowTitle());

  // The orders to ship, then their details.
  click_and_wait("按钮4");
  ASSERT_EQ(column(kOrderList, app::kColId), std::vector<Text>(to_ship.begin(), to_ship.end()));
  click_and_wait("按钮6");
  for (int r = 0; r < static_cast<int>(to_ship.size()); ++r) {
    const mall::Order o = m_mall.order(to_ship[r]);
    EXPECT_EQ(m_window.cell(kOrderList, r, app::kColGoods), gbk(o.goods)) << r;
    EXPECT_EQ(m_window.cell(kOrderList, r, 17), gbk(o.message)) << r;
    EXPECT_EQ(m_window.cell(kOrderList, r, 18), gbk(o.consignee)) << r;
    EXPECT_EQ(m_window.cell(kOrderList, r, 20), gbk(o.address)) << r;
    for (int c : {10, 11, 12, 13, 14, 15, 16, 19})
      EXPECT_FALSE(m_window.cell(kOrderList, r, c).empty()) << r << "," << c;
  }

  // Tracking numbers typed in, each unlike the next: a long number a
  // spreadsheet would like to take for a figure, one carrying form syntax.
  std::vector<Text> tracking;
  for (std::size_t r = 0; r < to_ship.size(); ++r)
    tracking.push_back("7012345678" + std::to_string(900 + r));
  tracking[1] = "1&order_id=" + to_ship[2];
  tracking[2] = "YT 00" + to_ship[2];
  for (int r = 0; r < static_cast<int>(tracking.size()); ++r)
    m_window.set_cell(kOrderList, r, app::kColTrackingNo, tracking[r]);
  const std::vector<app::OrderRow> before_export = m_window.rows(kOrderList);

  // Export into a folder and file whose names are not ASCII.
  const fs::path folder = m_dir.path() / "导出 订单";
  fs::create_directory(folder);
  const fs::path workbook = folder / "今天的订单.xlsx";
  m_window.set_save_path_handler([&](const Text&) { return web::utf8_to_gbk(workbook.string()); });
  choose("导出订单");
  EXPECT_EQ(last_shown(), gbk("导出成功！"));
  ASSERT_TRUE(fs::exists(workbook));

  choose("清空订单");
  EXPECT_EQ(m_window.row_count(kOrderList), 0);

  drop_file(workbook);
  EXPECT_EQ(last_shown(),
            gbk("你已经成功导入了") + std::to_string(to_ship.size()) + gbk("行数据！"));
  const std::vector<app::OrderRow> imported = m_window.rows(kOrderList);
  ASSERT_EQ(imported.size(), before_export.size());
  for (std::size_t r = 0; r < imported.size(); ++r) {
    for (int c = 0; c < app::kOrderColumnCount; ++c)
      EXPECT_EQ(imported[r][c], before_export[r][c]) << "row " << r << " column " << c;
  }

  // Ship the imported batch from the first sender address.
  click("按钮11");
  EXPECT_EQ(m_window.text("编辑框13"), m_mall.sender_address_id());
  const std::size_t shown_before_batch = m_shown.size();
  // These numbers do not look like huitong's: the batch asks first, its
  // counts add up, and the warned rows go only when the merchant takes them.
  bool asked = false;
  QString question;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    asked = true;
    question = dialog->findChild<QLabel*>()->text();
    dialog->findChild<QPushButton*>(QStringLiteral("with_warned"))->click();
  });
  answer.start(20);
  click_and_wait("按钮12");
  answer.stop();
  EXPECT_TRUE(asked);
  EXPECT_TRUE(question.startsWith(QString::fromUtf8("%1行中0行可以发货，%1行有提醒").arg(to_ship.size())))
      << question.toStdString();
  EXPECT_EQ(column(kOrderList, app::kColShipStatus),
            std::vector<Text>(to_ship.size(), gbk("发货成功")));
  ASSERT_EQ(m_shown.size(), shown_before_batch + 1);
  EXPECT_EQ(last_shown(), gbk("发货完成，请检查是否发送成功！！！\r\n成功") + std::to_string(to_ship.size()) + gbk("笔，失败0笔，跳过0笔"));
  for (std::size_t r = 0; r < to_ship.size(); ++r) {
    const mall::Order o = m_mall.order(to_ship[r]);
    EXPECT_EQ(o.state, 30) << o.id;
    EXPECT_EQ(o.tracking_no, tracking[r]) << o.id;
    EXPECT_EQ(o.courier, "huitong") << o.id;
  }

  // The back office now lists them awaiting receipt, with their numbers.
  click_and_wait("按钮5");
  click_and_wait("按钮6");
  const std::vector<Text> ids = column(kOrderList, app::kColId);
  const std::vector<Text> numbers = column(kOrderList, app::kColTrackingNo);
  int tracked_row = -1;
  for (std::size_t r = 0; r < to_ship.size(); ++r) {
    auto at = std::find(ids.begin(), ids.end(), to_ship[r]);
    ASSERT_NE(at, ids.end()) << to_ship[r];
    const int row = static_cast<int>(at - ids.begin());
    // The back office shows a number HTML-escaped; "&" is only there to test the shipping form.
    if (tracking[r].find('&') == Text::npos) {
      EXPECT_EQ(numbers[row], tracking[r]) << to_ship[r];
    }
    if (r == 2) tracked_row = row;
  }

  // Track the parcel whose number holds a space.
  m_window.set_text("编辑框7", "demo-key");
  m_window.set_text("编辑框8", "huitong");
  select_row(tracked_row);
  // The answer is readable: 勾选弹出物流框 opens its timeline instead of a message box.
  const std::size_t shown_before_tracking = m_shown.size();
  int events_shown = -1;
  // Looked for until it opens: the query's request comes first, and may take a while.
  QTimer close_timeline;
  QObject::connect(&close_timeline, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal->objectName() != QString::fromUtf8("物流轨迹")) return;
    events_shown = modal->findChild<QTreeWidget*>()->topLevelItemCount();
    modal->close();
  });
  close_timeline.start(20);
  choose("查询当前订单物流");
  close_timeline.stop();
  const Text info = m_window.cell(kOrderList, tracked_row, app::kColTrackingInfo);
  EXPECT_NE(info.find(gbk("运单号：") + tracking[2]), Text::npos) << web::gbk_to_utf8(info);
  EXPECT_NE(info.find(gbk("已揽收")), Text::npos);
  EXPECT_GE(events_shown, 3);
  EXPECT_EQ(m_shown.size(), shown_before_tracking);
  EXPECT_EQ(m_settings.read_setting(gbk("快递100sky")), "demo-key");

  // Withdrawals: the page change fetches the amount, 支付完成 lists the paid ones.
  m_window.findChild<QTabWidget*>(QString::fromUtf8("选择夹1"))->setCurrentIndex(1);
  EXPECT_EQ(m_window.text("编辑框10"), m_mall.withdrawable_amount());
  click_and_wait("按钮9");
  EXPECT_EQ(column(kWithdrawalList, 0), (std::vector<Text>{"1", "2", "3"}));
  std::vector<Text> paid;
  for (const mall::Withdrawal& w : m_mall.paid_withdrawals()) paid.push_back(w.number);
  EXPECT_EQ(column(kWithdrawalList, 1), paid);
}

}  // namespace
