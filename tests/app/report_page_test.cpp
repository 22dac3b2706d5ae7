// The 统计 page on the real window: the figures of what the lists archived,
// a click on a period's bar lists that period in 历史订单, and both exports.
#include <QApplication>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QProcess>
#include <QTabWidget>
#include <QTest>

#include "app/gui/report_page.h"
#include "store/order_archive.h"
#include "window_with_mall.h"

namespace {

class ReportPageTest : public app_tests::WindowWithMall {
 protected:
  ReportPageTest() : WindowWithMall("report") {
    m_ctx.database = &m_db;
    m_ctx.archive = &m_archive;
    m_window.set_history_context(&m_ctx);
  }
  app::ReportPage* page() { return m_window.findChild<app::ReportPage*>(QStringLiteral("统计")); }

  store::Database m_db{m_dir.path() / "weihe-orders.db"};
  store::OrderArchive m_archive{m_db};
};

TEST_F(ReportPageTest, CountsTheArchivedOrdersAndABarListsItsPeriodInHistory) {
  sign_in();
  click("按钮2");  // 总订单: every order into the archive
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(30)));
  app::ReportPage* p = page();
  ASSERT_NE(p, nullptr);
  auto* preset = p->findChild<QComboBox*>(QStringLiteral("统计范围"));
  preset->setCurrentIndex(preset->count() - 1);  // 自定义
  emit preset->activated(preset->count() - 1);
  auto dates = p->findChildren<QDateEdit*>();
  ASSERT_EQ(dates.size(), 2);
  dates[0]->setDate(QDate(2017, 1, 1));
  dates[1]->setDate(QDate(2017, 1, 31));
  int paid = 0;
  for (const mall::Order& o : m_mall.orders()) paid += o.pay_time.rfind("2017-01", 0) == 0;
  ASSERT_GT(paid, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return p->shown() && p->shown()->orders == paid; }, 20000));
  EXPECT_EQ(p->shown()->periods.size(), 31u);
  EXPECT_TRUE(p->findChild<QLabel*>(QStringLiteral("统计说明"))->isHidden());

  // The first day that sold anything: its bar opens 历史订单 on that day.
  std::size_t day = 0;
  while (p->shown()->periods[day].orders == 0) ++day;
  const auto views = p->findChildren<QChartView*>();
  ASSERT_FALSE(views.isEmpty());
  auto* bars = qobject_cast<QBarSeries*>(views[0]->chart()->series().value(0));
  ASSERT_NE(bars, nullptr);
  emit bars->barSets().front()->clicked(static_cast<int>(day));
  EXPECT_EQ(m_window.findChild<QTabWidget*>(QStringLiteral("选择夹1"))->currentIndex(), 9);
  auto* count = m_window.findChild<QLabel*>(QStringLiteral("历史订单数"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return count->text().startsWith(QString::fromUtf8("找到")); }, 20000));
  EXPECT_EQ(count->text(), QString::fromUtf8("找到 %1 笔").arg(p->shown()->periods[day].orders));

  // A range that ends before it starts is refused, and says so.
  dates[1]->setDate(QDate(2016, 12, 1));
  auto* sentence = p->findChild<QLabel*>(QStringLiteral("统计说明"));
  EXPECT_FALSE(sentence->isHidden());
  EXPECT_TRUE(sentence->text().contains(QString::fromUtf8("之前")));
  dates[1]->setDate(QDate(2017, 1, 31));
  ASSERT_TRUE(QTest::qWaitFor([&] { return p->shown() && p->shown()->orders == paid; }, 20000));

  // 全部店铺: every shop's orders, headed so; one shop again: its own.
  std::vector<std::string> cells(app::kOrderColumnCount);
  cells[app::kColOrderNo] = "N-OTHER-1";
  cells[app::kColPaid] = "¥10.00";
  cells[app::kColPayTime] = "2017-01-15 10:00:00";
  cells[app::kColState] = "待发货";
  cells[app::kColId] = "other-1";
  std::string why;
  ASSERT_TRUE(m_archive.record("demo@another-shop", {{cells, std::nullopt}}, store::OrderArchive::Source::List, &why))
      << why;
  m_window.set_history_context(&m_ctx, true);
  p->refresh();
  ASSERT_TRUE(QTest::qWaitFor([&] { return p->shown() && p->shown()->orders == paid + 1; }, 20000));
  EXPECT_EQ(p->findChild<QLabel*>(QStringLiteral("统计店铺"))->text(), QString::fromUtf8("全部店铺"));
  m_window.set_history_context(&m_ctx);
  p->refresh();
  ASSERT_TRUE(QTest::qWaitFor([&] { return p->shown() && p->shown()->orders == paid; }, 20000));

  QString error;
  EXPECT_TRUE(p->save_workbook(QString::fromStdString((m_dir.path() / "r.xlsx").string()), &error)) << error.toStdString();
  EXPECT_TRUE(p->save_pdf(QString::fromStdString((m_dir.path() / "r.pdf").string()), &error)) << error.toStdString();
  EXPECT_GT(std::filesystem::file_size(m_dir.path() / "r.pdf"), 1000u);
}

// A date typed whole is taken when the typing ends, in either form, and
// makes the range the merchant's own; the page and its PDF are headed with
// the store's name as the dashboard gives it.
TEST_F(ReportPageTest, DatesTypedWholeCountAndTheStoresNameHeadsThePage) {
  sign_in();
  app::ReportPage* p = page();
  ASSERT_NE(p, nullptr);
  auto dates = p->findChildren<QDateEdit*>();
  ASSERT_EQ(dates.size(), 2);
  auto type = [](QDateEdit* box, const char* text, bool by_leaving = false) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, QString::fromUtf8(text));
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    by_leaving ? void(QApplication::sendEvent(box, &leave)) : QTest::keyClick(box, Qt::Key_Return);
  };
  type(dates[0], "20170103", true);  // leaving the box ends the typing too
  EXPECT_EQ(dates[0]->date(), QDate(2017, 1, 3));
  type(dates[0], "201701");  // half a date gives way to the date there was
  EXPECT_EQ(dates[0]->date(), QDate(2017, 1, 3));
  type(dates[0], "20170105");
  EXPECT_EQ(dates[0]->date(), QDate(2017, 1, 5));
  type(dates[1], "2017-01-20");
  EXPECT_EQ(dates[1]->date(), QDate(2017, 1, 20));
  auto* preset = p->findChild<QComboBox*>(QStringLiteral("统计范围"));
  EXPECT_EQ(preset->currentIndex(), preset->count() - 1);  // 自定义
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        return p->shown() && p->shown()->range.since == "2017-01-05" &&
               p->shown()->range.until == "2017-01-20";
      },
      20000));

  const QString store = QString::fromStdString(m_mall.options().store_name);
  EXPECT_EQ(p->findChild<QLabel*>(QStringLiteral("统计店铺"))->text(), store);
  const auto pdf = m_dir.path() / "r.pdf";
  QString error;
  ASSERT_TRUE(p->save_pdf(QString::fromStdString(pdf.string()), &error)) << error.toStdString();
  QProcess text;
  text.start(QStringLiteral("pdftotext"),
             {QString::fromStdString(pdf.string()), QStringLiteral("-")});
  ASSERT_TRUE(text.waitForFinished(60000));
  const QString written = QString::fromUtf8(text.readAllStandardOutput());
  // The store, not the archive's account@host.
  EXPECT_TRUE(written.contains(store) && !written.contains(QLatin1Char('@')))
      << written.toStdString();
}

}  // namespace
