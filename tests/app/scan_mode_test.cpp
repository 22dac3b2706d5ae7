// Shipping one order through the real window against the stand-in mall:
// 扫描发货, typed as a scanner types (an order number, Enter, a tracking
// number, Enter), and the menu entry 选中行发货.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>

#include <chrono>
#include <string>

#include "app/gui/scan_mode.h"
#include "store/database.h"
#include "window_with_mall.h"

namespace {

using app::kOrderList;
using app::Text;
using web::gbk;
using namespace std::chrono_literals;

class ScanShipping : public app_tests::WindowWithMall {
 protected:
  ScanShipping()
      : WindowWithMall("weihe-scan"), m_database(store::Database::beside(m_settings.path())) {
    m_ctx.database = &m_database;
  }
  // Logged in, the orders to ship listed with their details, the sender id fetched.
  void get_ready() {
    sign_in();
    click("按钮4");
    ASSERT_TRUE(m_window.wait_for_workers(30s));
    ASSERT_EQ(m_window.row_count(kOrderList), 5);
    click("按钮11");
    ASSERT_FALSE(m_window.text("编辑框13").empty());
  }
  app::ScanMode* scan_mode() { return m_window.findChild<app::ScanMode*>(); }
  void scan(const std::string& code) {
    QLineEdit* input = scan_mode()->input();
    for (char ch : code) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QLatin1Char(ch)));
      QApplication::sendEvent(input, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(input, &enter);
  }
  int sends() const {
    int n = 0;
    for (const mall::RecordedRequest& r : m_mall.requests()) n += r.target == "/order/send";
    return n;
  }
  int bells() { return scan_mode()->last_result().bells; }

  store::Database m_database;
};

TEST_F(ScanShipping, RefusedWithoutASenderId) {
  click("扫描发货");
  EXPECT_EQ(scan_mode(), nullptr);
  ASSERT_EQ(m_shown.size(), 1u);
  EXPECT_EQ(m_shown[0].text, gbk("请先获取发货地址ID"));
}

TEST_F(ScanShipping, OrderThenTrackingNumberShipsThatOrderAndLeavingNamesTheRest) {
  get_ready();
  click("扫描发货");
  ASSERT_NE(scan_mode(), nullptr);
  EXPECT_FALSE(scan_mode()->input()->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_EQ(app::ScanMode::scanned_text(QString::fromUtf8("　ＳＦ１２３\r")), "SF123");
  const Text first_no = m_window.cell(kOrderList, 0, app::kColOrderNo);
  const Text first_id = m_window.cell(kOrderList, 0, app::kColId);

  scan("");
  EXPECT_EQ(bells(), 2);
  scan("NOSUCHORDER");
  EXPECT_EQ(bells(), 2);
  EXPECT_TRUE(scan_mode()->last_result().text.contains(QString::fromUtf8("没有这个订单")));

  // A second order slip is taken as that order, never as a tracking number.
  scan(m_window.cell(kOrderList, 2, app::kColOrderNo));
  EXPECT_EQ(m_window.selected_row(kOrderList), 2);
  scan(first_no);
  EXPECT_EQ(m_window.selected_row(kOrderList), 0);
  EXPECT_EQ(bells(), 0);
  EXPECT_EQ(sends(), 0);

  scan("557012345678");
  EXPECT_EQ(bells(), 1);
  EXPECT_TRUE(scan_mode()->last_result().good);
  const mall::Order shipped = m_mall.order(first_id);
  EXPECT_EQ(shipped.state, 30);
  EXPECT_EQ(shipped.tracking_no, "557012345678");
  EXPECT_EQ(shipped.courier, "huitong");
  EXPECT_EQ(m_window.cell(kOrderList, 0, app::kColTrackingNo), "557012345678");
  EXPECT_EQ(m_window.cell(kOrderList, 0, app::kColShipStatus), gbk("发货成功"));
  EXPECT_EQ(scan_mode()->shipped(), 1);

  // The same order again, by its ID: a warning, and nothing goes out.
  scan(first_id);
  EXPECT_EQ(bells(), 2);
  EXPECT_TRUE(scan_mode()->last_result().text.contains(QString::fromUtf8("已经发过货")));
  scan("559999999999");
  EXPECT_EQ(sends(), 1);

  // A number already on another row is refused before it is sent.
  scan(m_window.cell(kOrderList, 1, app::kColOrderNo));
  scan("557012345678");
  EXPECT_EQ(bells(), 2);
  EXPECT_EQ(sends(), 1);

  m_shown.clear();
  scan_mode()->reject();
  ASSERT_EQ(m_shown.size(), 1u);
  const QString tally = QString::fromStdString(web::gbk_to_utf8(m_shown[0].text));
  EXPECT_TRUE(tally.contains(QString::fromUtf8("这次发货1单"))) << tally.toStdString();
  EXPECT_TRUE(tally.contains(QString::fromUtf8("漏发3单"))) << tally.toStdString();
  for (int r = 2; r < 5; ++r)
    EXPECT_TRUE(tally.contains(QString::fromStdString(m_window.cell(kOrderList, r, app::kColOrderNo))));
  EXPECT_TRUE(tally.contains(QString::fromUtf8("发货没有成功1单：") +
                             QString::fromStdString(m_window.cell(kOrderList, 1, app::kColOrderNo))));
}

// Login offers the sender addresses and chooses the first, as 取发货ID did.
TEST_F(ScanShipping, LoginOffersTheSenderAddresses) {
  sign_in();
  EXPECT_EQ(m_window.text("编辑框13"), m_mall.sender_address_id());
  auto* choice = m_window.findChild<QComboBox*>(QString::fromUtf8("发货地址"));
  ASSERT_NE(choice, nullptr);
  ASSERT_GE(choice->count(), 1);
  EXPECT_EQ(choice->currentData().toString().toStdString(), m_mall.sender_address_id());
  EXPECT_FALSE(choice->currentText().isEmpty());
}

// A mistyped order number scanned while an order waits for its parcel is
// not that parcel's number: nothing is asked in the scan mode, a number must
// look like one, and the order keeps waiting.
TEST_F(ScanShipping, ANumberThatDoesNotLookLikeOneIsRefusedAndTheOrderKeepsWaiting) {
  get_ready();
  click("扫描发货");
  ASSERT_NE(scan_mode(), nullptr);
  scan(m_window.cell(kOrderList, 0, app::kColOrderNo));
  scan("99999");  // huitong's numbers have a pattern, which this is not
  EXPECT_EQ(bells(), 2);
  EXPECT_EQ(sends(), 0);
  EXPECT_TRUE(m_window.cell(kOrderList, 0, app::kColShipStatus).empty());
  scan("557012345678");
  EXPECT_EQ(bells(), 1);
  EXPECT_EQ(m_mall.order(m_window.cell(kOrderList, 0, app::kColId)).tracking_no, "557012345678");

  // A courier without a pattern takes eight letters or digits at least.
  m_window.set_text("编辑框12", "nopattern");
  scan(m_window.cell(kOrderList, 1, app::kColOrderNo));
  scan("1234567");
  EXPECT_EQ(bells(), 2);
  scan("12 345678");  // a slip inside the number
  EXPECT_EQ(bells(), 2);
  EXPECT_EQ(sends(), 1);
  scan("AB345678");
  EXPECT_EQ(bells(), 1);
  EXPECT_EQ(sends(), 2);
}

// The menu entry ships the order that was right-clicked, held from the
// moment the menu opened; once a list fetch has replaced the rows, nothing.
TEST_F(ScanShipping, TheMenuEntryShipsTheRightClickedOrderOrNothingOnceItHasGone) {
  get_ready();
  auto* view = m_window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"));
  ASSERT_NE(view, nullptr);
  auto right_click = [&](int row) {
    emit view->customContextMenuRequested(view->visualRect(view->model()->index(row, 1)).center());
    m_window.order_menu()->hide();
  };
  auto ship_entry = [&] {
    for (QAction* a : m_window.order_menu()->actions())
      if (a->text() == QString::fromUtf8("选中行发货")) a->trigger();
  };
  view->selectRow(0);
  m_window.set_text("编辑框14", "557012345678");
  right_click(2);
  ship_entry();
  EXPECT_EQ(sends(), 1);
  EXPECT_EQ(m_mall.order(m_window.cell(kOrderList, 2, app::kColId)).tracking_no, "557012345678");
  EXPECT_EQ(m_window.cell(kOrderList, 0, app::kColShipStatus), "");

  // The menu is open on row 3 when the to-ship list is fetched again.
  m_window.set_text("编辑框14", "557012345679");
  right_click(3);
  click("按钮4");
  ASSERT_TRUE(m_window.wait_for_workers(30s));
  m_shown.clear();
  ship_entry();
  EXPECT_EQ(sends(), 1);
  ASSERT_EQ(m_shown.size(), 1u);
  EXPECT_NE(m_shown[0].text.find(gbk("已经不在表格里了")), Text::npos);
}

// The card lists every goods line of the scanned order, so no item is left
// out of the parcel; the courier changes inside the scan window; an error
// with no order waiting leaves no old order on the card.
TEST_F(ScanShipping, TheCardShowsEveryGoodsLineTheCourierChangesInsideAndErrorsClearIt) {
  get_ready();
  click("按钮6");  // the details: every goods line of the orders
  ASSERT_TRUE(m_window.wait_for_workers(30s));
  int row = -1;
  mall::Order order;
  for (int r = 0; r < m_window.row_count(kOrderList) && row < 0; ++r)
    if (order = m_mall.order(m_window.cell(kOrderList, r, app::kColId)); !order.more_goods.empty())
      row = r;
  ASSERT_GE(row, 0) << "no listed order has two goods lines";
  click("扫描发货");
  ASSERT_NE(scan_mode(), nullptr);
  auto* card = scan_mode()->findChild<QLabel*>(QString::fromUtf8("扫描订单"));
  ASSERT_NE(card, nullptr);
  scan(m_window.cell(kOrderList, row, app::kColOrderNo));
  const std::string shown = card->text().toStdString();
  EXPECT_NE(shown.find(order.goods + "（" + order.packaging + "） ×" + order.quantity),
            std::string::npos)
      << shown;
  for (const mall::Order::GoodsRow& more : order.more_goods)
    EXPECT_NE(shown.find(more.goods + "（" + more.packaging + "） ×" + more.quantity),
              std::string::npos)
        << shown;

  // A scan into the courier box changes nothing; a courier code does.
  QLineEdit* courier = scan_mode()->courier();
  courier->setText(QStringLiteral("YT5363946405"));
  emit courier->editingFinished();
  EXPECT_EQ(m_window.text("编辑框12"), "huitong");
  EXPECT_EQ(bells(), 2);
  courier->setText(QStringLiteral("nopattern"));
  emit courier->editingFinished();
  EXPECT_EQ(m_window.text("编辑框12"), "nopattern");
  scan("AB345678");
  EXPECT_EQ(bells(), 1);
  EXPECT_EQ(m_mall.order(order.id).courier, "nopattern");

  scan("NOSUCHORDER");
  EXPECT_EQ(bells(), 2);
  EXPECT_EQ(card->text(), QString::fromUtf8("等待扫描订单号"));
}

}  // namespace
