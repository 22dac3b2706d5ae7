// 取号打印 in the real window against the stand-in mall and its e-waybill
// provider: one question, the labels to a PDF "printer", each row showing its
// waybill, an earlier lost answer left unknown and nothing ordered twice.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include <chrono>
#include <string>

#include "app/gui/journal_page.h"
#include "app/gui/scan_mode.h"
#include "core/archive_keeping.h"
#include "printing/paper.h"
#include "store/database.h"
#include "store/waybill_journal.h"
#include "waybill/waybill_batch.h"
#include "window_with_mall.h"

namespace {

using app::kOrderList;
using web::gbk;
using namespace std::chrono_literals;

mall::Options many_to_ship() {
  mall::Options options;
  options.seeded_orders = 96;
  return options;
}

class WaybillTools : public app_tests::WindowWithMall {
 protected:
  WaybillTools()
      : WindowWithMall("weihe-waybill-tools", many_to_ship()),
        m_database(store::Database::beside(m_settings.path())) {
    m_ctx.database = &m_database;
    m_window.set_database(&m_database);
    m_window.set_history_context(&m_ctx);
    const mall::WaybillAccount& a = m_mall.options().waybill;
    const app::Text section = "waybill";
    m_settings.write_setting("provider", "kuaidi100", section);
    m_settings.write_setting("endpoint", "http://" + m_mall.waybill_host() + "/label/order",
                             section);
    m_settings.write_setting("courier", "yuantong", section);
    m_settings.write_setting("key", a.key, section);
    m_settings.write_setting("secret", a.secret, section);
    m_settings.write_setting("partner_id", "P-0001", section);
  }
  // Answers the question with `printer` as the label printer; what it said.
  QString run_tool(const char* button, const QString& printer) {
    QString question;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      question = dialog->findChild<QLabel*>()->text();
      dialog->findChild<QComboBox*>(QStringLiteral("label_printer"))->setCurrentText(printer);
      dialog->findChild<QPushButton*>(QStringLiteral("go"))->click();
    });
    answer.start(20);
    click(button);
    EXPECT_TRUE(m_window.wait_for_workers(60s));
    answer.stop();
    return question;
  }
  void select_rows(int from, int to) {
    auto* view = m_window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"));
    view->clearSelection();
    for (int r = from; r < to; ++r)
      view->selectionModel()->select(view->model()->index(r, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  void choose(const char* entry) {
    for (QAction* action : m_window.order_menu()->actions())
      if (action->text() == QString::fromUtf8(entry)) return action->trigger();
    FAIL() << "no menu entry " << entry;
  }
  std::string last_shown() const {
    return m_shown.empty() ? std::string() : web::gbk_to_utf8(m_shown.back().text);
  }
  static int pdf_pages(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray pdf = f.readAll();
    int pages = 0;
    for (qsizetype at = 0; (at = pdf.indexOf("/Type /Page", at)) >= 0; ++at)
      pages += pdf.mid(at, 12) != "/Type /Pages";
    return pages;
  }

  store::Database m_database;
};

TEST_F(WaybillTools, ABatchOfThirtyPrintsTwentyNineLabelsAndLeavesTheLostOneUnknown) {
  sign_in();
  click("按钮4");
  ASSERT_TRUE(m_window.wait_for_workers(30s));
  ASSERT_GE(m_window.row_count(kOrderList), 30);
  click("按钮11");

  // The first order's answer was lost earlier: its waybill is unknown.
  m_mall.set_waybill_fault(mall::WaybillFault::LostAnswer);
  const app::RowKey first = m_window.row_key(kOrderList, 0);
  const auto lost = waybill::order_and_show(m_ctx, {first}, false);
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].result, "unknown");
  EXPECT_EQ(m_window.cell(kOrderList, 0, app::kColShipStatus), gbk("面单不明"));
  m_mall.set_waybill_fault(mall::WaybillFault::None);

  select_rows(0, 30);
  const QString pdf = QString::fromStdString((m_dir.path() / "labels.pdf").string());
  const QString question = run_tool("取号打印", pdf);
  EXPECT_TRUE(question.startsWith(QString::fromUtf8("30单中29单可以取号打印，1单不能")))
      << question.toStdString();
  EXPECT_EQ(pdf_pages(pdf), 29);

  store::WaybillJournal journal(m_database, app::shop_of(m_ctx));
  for (int r = 0; r < 30; ++r) {
    const std::string id = web::gbk_to_utf8(m_window.cell(kOrderList, r, app::kColId));
    const std::string no = m_mall.order(id).order_no;
    EXPECT_EQ(m_mall.waybills_for(no), 1) << no;
    const auto live = journal.live(id);
    ASSERT_TRUE(live) << id;
    if (r == 0) {
      EXPECT_EQ(live->state, "unknown");
      continue;
    }
    EXPECT_EQ(live->state, "printed") << id;
    EXPECT_EQ(m_window.cell(kOrderList, r, app::kColShipStatus), gbk("已取号"));
    EXPECT_EQ(web::gbk_to_utf8(m_window.cell(kOrderList, r, app::kColTrackingNo)),
              live->waybill.number);
  }

  // Again, shipping: the 29 reuse their waybills and ship; nothing is ordered twice.
  const std::size_t asked = m_mall.waybill_requests().size();
  run_tool("取号打印并发货", QString::fromStdString((m_dir.path() / "again.pdf").string()));
  EXPECT_EQ(m_mall.waybill_requests().size(), asked);
  for (int r = 1; r < 30; ++r) {
    const std::string id = web::gbk_to_utf8(m_window.cell(kOrderList, r, app::kColId));
    EXPECT_EQ(m_mall.order(id).state, 30) << id;
    EXPECT_EQ(m_mall.order(id).tracking_no, journal.live(id)->waybill.number);
    EXPECT_EQ(journal.live(id)->state, "shipped");
  }
  EXPECT_EQ(m_mall.order(web::gbk_to_utf8(m_window.cell(kOrderList, 0, app::kColId))).state, 20);

  // 发货记录 lists the waybills, the unknown one first with its 核对.
  auto* waybills = m_window.findChild<QTableWidget*>(QString::fromUtf8("电子面单记录"));
  ASSERT_NE(waybills, nullptr);
  // The page (no QObject of its own kind) holds the table in its splitter.
  static_cast<app::JournalPage*>(waybills->parentWidget()->parentWidget())->refresh();
  ASSERT_EQ(waybills->rowCount(), 30);
  EXPECT_EQ(waybills->item(0, 2)->text(), QString::fromUtf8("面单不明"));
  EXPECT_EQ(waybills->item(0, 5)->text().toStdString(),
            web::gbk_to_utf8(m_window.cell(kOrderList, 0, app::kColId)));
  EXPECT_NE(waybills->cellWidget(0, 7), nullptr);
  EXPECT_EQ(waybills->item(1, 2)->text(), QString::fromUtf8("已发货"));
  EXPECT_EQ(waybills->cellWidget(1, 7), nullptr);
}

TEST_F(WaybillTools, TheMenuOrdersSettlesReprintsAndCancelsOneOrdersWaybill) {
  sign_in();
  click("按钮4");
  ASSERT_TRUE(m_window.wait_for_workers(30s));
  click("按钮11");
  const std::string id = web::gbk_to_utf8(m_window.cell(kOrderList, 0, app::kColId));
  const std::string no = m_mall.order(id).order_no;
  const QString pdf = QString::fromStdString((m_dir.path() / "one.pdf").string());
  printing::remember_printer(m_settings, "label_printer", pdf);
  select_rows(0, 1);

  // No waybill yet: 打印面单 orders it, and the answer is lost.
  m_mall.set_waybill_fault(mall::WaybillFault::LostAnswer);
  choose("打印面单");
  ASSERT_TRUE(m_window.wait_for_workers(30s));
  m_mall.set_waybill_fault(mall::WaybillFault::None);
  EXPECT_EQ(m_window.cell(kOrderList, 0, app::kColShipStatus), gbk("面单不明"));
  EXPECT_FALSE(QFile::exists(pdf));

  // The number found in the provider's back office settles it.
  const std::string issued = m_mall.waybill_service().waybills().at(0).number;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
      dialog->setTextValue(QString::fromStdString(issued));
      dialog->accept();
    }
  });
  answer.start(20);
  choose("核对面单…");
  answer.stop();
  EXPECT_EQ(web::gbk_to_utf8(m_window.cell(kOrderList, 0, app::kColTrackingNo)), issued);
  EXPECT_EQ(m_window.cell(kOrderList, 0, app::kColShipStatus), gbk("已取号"));

  // A reprint asks the provider nothing.
  const std::size_t asked = m_mall.waybill_requests().size();
  choose("打印面单");
  EXPECT_EQ(pdf_pages(pdf), 1);
  EXPECT_EQ(m_mall.waybill_requests().size(), asked);
  EXPECT_EQ(m_mall.waybills_for(no), 1);

  // A waybill ordered here (its provider's own order reference kept) is cancelled.
  select_rows(1, 2);
  const std::string second = web::gbk_to_utf8(m_window.cell(kOrderList, 1, app::kColId));
  choose("打印面单");
  ASSERT_TRUE(m_window.wait_for_workers(30s));
  EXPECT_EQ(m_window.cell(kOrderList, 1, app::kColShipStatus), gbk("已取号"));
  choose("取消面单");
  EXPECT_EQ(m_window.cell(kOrderList, 1, app::kColShipStatus), gbk("面单已取消"));
  EXPECT_TRUE(m_window.cell(kOrderList, 1, app::kColTrackingNo).empty());
  EXPECT_TRUE(m_mall.waybill_service().waybills().at(1).cancelled) << last_shown();
  store::WaybillJournal journal(m_database, app::shop_of(m_ctx));
  EXPECT_FALSE(journal.live(second));
  EXPECT_EQ(journal.live(id)->state, "printed");
}

TEST_F(WaybillTools, OneScanOrdersPrintsAndShipsAndASecondScanOnlyReprints) {
  sign_in();
  click("按钮4");
  ASSERT_TRUE(m_window.wait_for_workers(30s));
  click("按钮11");
  m_window.set_text("编辑框12", "");  // the account's courier is the one shipped with
  const std::string id = web::gbk_to_utf8(m_window.cell(kOrderList, 0, app::kColId));
  const std::string no = m_mall.order(id).order_no;
  const QString pdf = QString::fromStdString((m_dir.path() / "scan.pdf").string());
  printing::remember_printer(m_settings, "label_printer", pdf);

  click("扫描发货");
  auto* scan = m_window.findChild<app::ScanMode*>();
  ASSERT_NE(scan, nullptr) << last_shown();
  ASSERT_TRUE(scan->prints_waybills());
  auto scan_code = [&](const std::string& code) {
    for (char ch : code) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QLatin1Char(ch)));
      QApplication::sendEvent(scan->input(), &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(scan->input(), &enter);
  };
  scan_code(no);
  EXPECT_TRUE(scan->last_result().good) << scan->last_result().text.toStdString();
  EXPECT_EQ(scan->last_result().bells, 1);
  EXPECT_EQ(pdf_pages(pdf), 1);
  const mall::Order shipped = m_mall.order(id);
  EXPECT_EQ(shipped.state, 30);
  EXPECT_EQ(shipped.courier, "yuantong");
  store::WaybillJournal journal(m_database, app::shop_of(m_ctx));
  ASSERT_TRUE(journal.live(id));
  EXPECT_EQ(shipped.tracking_no, journal.live(id)->waybill.number);
  EXPECT_EQ(journal.live(id)->state, "shipped");

  // The same slip again: the label once more, nothing ordered or shipped twice.
  ASSERT_TRUE(QFile::remove(pdf));
  const std::size_t asked = m_mall.waybill_requests().size();
  int sends = 0;
  for (const mall::RecordedRequest& r : m_mall.requests()) sends += r.target == "/order/send";
  scan_code(no);
  EXPECT_FALSE(scan->last_result().good);
  EXPECT_EQ(scan->last_result().bells, 2);
  EXPECT_TRUE(scan->last_result().text.contains(QString::fromUtf8("已重新打印")))
      << scan->last_result().text.toStdString();
  EXPECT_EQ(pdf_pages(pdf), 1);
  EXPECT_EQ(m_mall.waybill_requests().size(), asked);
  int sends_after = 0;
  for (const mall::RecordedRequest& r : m_mall.requests()) sends_after += r.target == "/order/send";
  EXPECT_EQ(sends_after, sends);
  EXPECT_EQ(m_mall.waybills_for(no), 1);
  scan->reject();
}

}  // namespace
