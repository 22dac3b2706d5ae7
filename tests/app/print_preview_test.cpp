// 打印发货单… / 打印拣货单… on the real window: which rows, details fetched
// first for those rows only, the preview's paper remembered, its PDF written.
#include <QComboBox>
#include <QItemSelectionModel>
#include <QTableView>
#include <QTest>

#include "app/gui/print_preview.h"
#include "printing/paper.h"
#include "window_with_mall.h"

namespace {

class PrintTest : public app_tests::WindowWithMall {
 protected:
  PrintTest() : WindowWithMall("print") {}
  app::PrintPreview* preview() {
    app::PrintPreview* found = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (found = m_window.findChild<app::PrintPreview*>()); }, 30000));
    return found;
  }
  int detail_requests() const {
    int n = 0;
    for (const auto& r : m_mall.requests()) n += r.target.rfind("/order/edit", 0) == 0;
    return n;
  }
};

TEST_F(PrintTest, TheSelectedRowsArePrintedWithTheirDetailsFetchedFirst) {
  click("打印发货单");
  ASSERT_EQ(m_shown.size(), 1u);  // an empty table says so
  EXPECT_NE(m_shown[0].text.find(web::gbk("没有订单")), std::string::npos);

  sign_in();
  click("按钮4");  // 待发货
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(30)));
  ASSERT_GE(m_window.row_count(app::kOrderList), 3);
  auto* view = m_window.findChild<QTableView*>(QString::fromUtf8("超级列表框1"));
  for (int row : {0, 2})
    view->selectionModel()->select(view->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
  const int before = detail_requests();
  click("打印发货单");
  app::PrintPreview* shown = preview();
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(shown->job().orders.size(), 2u);
  EXPECT_TRUE(shown->job().left_out.empty());
  EXPECT_EQ(detail_requests() - before, 2);  // only the two printed rows
  for (const auto& order : shown->job().orders) {
    const mall::Order& o = m_mall.order(order.row[app::kColId]);
    EXPECT_EQ(order.lines.size(), o.more_goods.size() + 1);
    EXPECT_EQ(web::gbk_to_utf8(order.row[app::kColConsignee]), o.consignee);
  }

  // The preview's pages are laid out at the screen's resolution (at the
  // printer's, FreeType's bold showed as blobs in the scaled-down pages).
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown->printer()->resolution() < 600; }, 10000));
  EXPECT_EQ(shown->printer()->resolution(), std::max(96, shown->logicalDpiY()));

  // The label size chosen is remembered; the PDF is written on it.
  shown->paper_choice()->setCurrentIndex(3);
  emit shown->paper_choice()->activated(3);
  EXPECT_EQ(printing::remembered_paper(m_settings), printing::Paper::Label76x130);
  const auto pdf = m_dir.path() / "slips.pdf";
  EXPECT_TRUE(shown->save_pdf(QString::fromStdString(pdf.string())));
  EXPECT_GT(std::filesystem::file_size(pdf), 1000u);
  shown->close();
}

TEST_F(PrintTest, AnOrderWhoseDetailsDoNotComeIsNamedAndLeftOutOfEveryRow) {
  sign_in();
  click("按钮4");
  ASSERT_TRUE(m_window.wait_for_workers(std::chrono::seconds(30)));
  const int rows = m_window.row_count(app::kOrderList);
  ASSERT_GE(rows, 2);
  const std::string broken = m_window.cell(app::kOrderList, 1, app::kColId);
  m_mall.override_page("/order/edit?id=" + broken, "<html><body>维护中</body></html>");
  m_shown.clear();
  click("打印拣货单");  // nothing selected: every row
  app::PrintPreview* shown = preview();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(static_cast<int>(shown->job().orders.size()), rows - 1);
  ASSERT_EQ(shown->job().left_out.size(), 1u);
  EXPECT_EQ(shown->job().left_out[0], m_mall.order(broken).order_no);
  ASSERT_EQ(m_shown.size(), 1u);  // said before the preview
  EXPECT_NE(m_shown[0].text.find(m_mall.order(broken).order_no), std::string::npos);
  shown->close();
}

}  // namespace
