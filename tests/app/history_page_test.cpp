// The 历史订单 page on the real window: what the lists brought is found by
// any part of it, and found orders go back into the order list.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/gui/history_page.h"
#include "app/gui/row_window.h"
#include "core/archive_keeping.h"
#include "exchange/export.h"
#include "store/order_archive.h"
#include "window_with_mall.h"

namespace {

using web::gbk;

class HistoryPageTest : public app_tests::WindowWithMall {
 protected:
  HistoryPageTest() : WindowWithMall("history") {
    m_ctx.database = &m_db;
    m_ctx.archive = &m_archive;
    m_window.set_history_context(&m_ctx);
  }
  app::HistoryPage* page() {
    return static_cast<app::HistoryPage*>(m_window.findChild<QWidget*>(QString::fromUtf8("历史订单")));
  }
  // The page's count once the search under way has answered.
  QString count_text() {
    auto* count = m_window.findChild<QLabel*>(QStringLiteral("历史订单数"));
    EXPECT_TRUE(QTest::qWaitFor([count] { return count->text().startsWith(QString::fromUtf8("找到")); }, 20000));
    return count->text();
  }

  store::Database m_db{m_dir.path() / "weihe-orders.db"};
  store::OrderArchive m_archive{m_db};
};

TEST_F(HistoryPageTest, FindsWhatTheListsBroughtAndLoadsItIntoTheOrderList) {
  sign_in();
  click("按钮2");  // 总订单
  click("按钮6");  // 取详情
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(60)));
  ASSERT_EQ(m_window.row_count(app::kOrderList), static_cast<int>(m_mall.orders().size()));

  // A goods name beyond the first line of some orders.
  const mall::Order many = [&] {
    for (const mall::Order& o : m_mall.orders())
      if (!o.more_goods.empty()) return o;
    return m_mall.orders().front();
  }();
  ASSERT_FALSE(many.more_goods.empty());
  const std::string goods = many.more_goods.back().goods;
  std::size_t holding = 0;
  for (const mall::Order& o : m_mall.orders()) {
    bool has = o.goods.find(goods) != std::string::npos;
    for (const auto& more : o.more_goods) has = has || more.goods.find(goods) != std::string::npos;
    holding += has;
  }
  m_window.findChild<QLineEdit*>(QStringLiteral("历史订单搜索"))->setText(QString::fromStdString(goods));
  page()->search();
  EXPECT_EQ(count_text(), QString::fromUtf8("找到 %1 笔").arg(holding));
  auto* table = m_window.findChild<QTableWidget*>(QStringLiteral("历史订单表"));
  EXPECT_EQ(table->rowCount(), static_cast<int>(holding));

  const auto kept = m_archive.find(app::shop_of(m_ctx), many.id);
  ASSERT_TRUE(kept);
  const QString shown = app::row_window_text({}, app::table_row_of(*kept), app::extras_of_archived(*kept));
  EXPECT_TRUE(shown.contains(QString::fromStdString(goods)));
  EXPECT_TRUE(shown.contains(QString::fromUtf8("状态记录：")));

  click("载入到订单列表");
  EXPECT_EQ(m_window.row_count(app::kOrderList), static_cast<int>(holding));
  EXPECT_EQ(m_ctx.goods_lines.of(gbk(many.id)).size(), many.more_goods.size() + 1);

  // 会员 reads as in the order list, without the list page's markup.
  m_window.findChild<QLineEdit*>(QStringLiteral("历史订单搜索"))->setText(QString::fromUtf8("郑洁"));
  page()->search();
  ASSERT_NE(count_text(), QString::fromUtf8("找到 0 笔"));
  for (int r = 0; r < table->rowCount(); ++r)
    EXPECT_EQ(table->item(r, app::kColMember)->text(), QString::fromUtf8("VIP郑洁")) << r;

  m_window.findChild<QLineEdit*>(QStringLiteral("历史订单搜索"))->setText(QString::fromUtf8("没有这样的订单"));
  page()->search();
  EXPECT_EQ(count_text(), QString::fromUtf8("找到 0 笔"));
}

// 导出 proposes the folder of the last export (the order list's or its
// own), as the order list's export does, not the program's folder.
TEST_F(HistoryPageTest, ItsExportProposesTheFolderOfTheLastExport) {
  const auto folder = m_dir.path() / "导出";
  std::filesystem::create_directory(folder);
  exchange::remember_export_path(web::utf8_to_gbk((folder / "订单_2026-12-09_1402.xlsx").string()));
  QString proposed;
  QTimer answer;  // the save dialog, once open: what it proposes, then cancelled
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      proposed = dialog->selectedFiles().value(0);
      dialog->reject();
    }
  });
  answer.start(20);
  for (auto* button : page()->findChildren<QPushButton*>())
    if (button->text() == QString::fromUtf8("导出")) button->click();
  answer.stop();
  EXPECT_EQ(proposed, QString::fromStdString((folder / "历史订单.xlsx").string()));
}

}  // namespace
