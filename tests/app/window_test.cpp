#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>
#include <QWindow>

#include <atomic>
#include <filesystem>

#include "app/gui/batch_dialog.h"
#include "app/gui/dialogs.h"
#include "app/gui/main_window.h"
#include "app/gui/picture_box.h"
#include "core/settings.h"
#include "app/gui/tip_window.h"
#include "fulfilment/tracking.h"

namespace {

using app::Answer;
using app::Buttons;
using app::kOrderList;
using app::Text;
using web::gbk;
namespace fs = std::filesystem;

QString u(const char* s) {
  return QString::fromUtf8(s);
}

struct Shown {
  Text text, title;
  Buttons buttons;
};

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    m_path = fs::temp_directory_path() / ("weihe-window-" + std::to_string(::getpid()) + ".ini");
    fs::remove(m_path);
    m_settings = std::make_unique<app::Settings>(m_path);
    make_window();
  }
  void TearDown() override {
    m_window.reset();
    fs::remove(m_path);
  }
  void make_window() {
    m_window = std::make_unique<app::MainWindow>(*m_settings, nullptr);
    m_window->set_message_handler([this](const Text& t, const Text& title, Buttons b) {
      shown.push_back({t, title, b});
      return answer;
    });
  }
  template <class W = QWidget>
  W* find(const char* name) {
    return m_window->findChild<W*>(u(name));
  }
  QAction* entry(const char* text) {
    for (QAction* a : m_window->order_menu()->actions())
      if (a->text() == u(text)) return a;
    return nullptr;
  }
  void fill_orders(int n) {
    for (int r = 0; r < n; ++r)
      m_window->append_row(kOrderList, {std::to_string(r), "NO" + std::to_string(r), gbk("会员")});
  }
  void select(int row) { find<QTableView>("超级列表框1")->selectRow(row); }

  fs::path m_path;
  std::unique_ptr<app::Settings> m_settings;
  std::unique_ptr<app::MainWindow> m_window;
  std::vector<Shown> shown;
  Answer answer = Answer::Yes;
};

struct ControlSpec {
  const char* name;
  const char* kind;
  QRect geometry;
  const char* text;
};

// Every control of the form: its kind, place (in its parent) and initial text.
const ControlSpec kControls[] = {
    {"标签1", "label", {21, 12, 32, 16}, "账号："},
    {"编辑框1", "edit", {58, 9, 80, 22}, ""},
    {"标签2", "label", {21, 45, 32, 16}, "密码："},
    {"编辑框2", "masked", {58, 42, 80, 22}, ""},
    {"按钮1", "button", {154, 8, 40, 55}, "登陆"},
    {"图片框1", "picture", {8, 72, 56, 56}, ""},
    {"标签7", "green", {69, 72, 72, 24}, "销售中："},
    {"标签9", "green", {162, 72, 64, 24}, "待审核："},
    {"标签8", "green", {69, 104, 72, 24}, "违规下架："},
    {"标签10", "green", {162, 104, 64, 24}, "仓库中："},
    {"按钮7", "button", {256, 6, 96, 24}, "开启新订单提醒"},
    {"编辑框5", "edit", {352, 6, 48, 24}, "10000"},
    {"按钮13", "button", {400, 6, 32, 24}, "毫秒"},
    {"选择框1", "check", {435, 12, 112, 16}, "勾选弹出物流框"},
    {"按钮14", "button", {576, 8, 56, 48}, "打赏作者"},
    {"按钮11", "button", {245, 85, 72, 24}, "取发货ID："},
    {"编辑框13", "edit", {319, 85, 33, 24}, ""},
    {"标签15", "label", {359, 85, 56, 24}, "发货快递："},
    {"编辑框12", "edit", {423, 85, 57, 24}, "huitong"},
    {"标签16", "label", {480, 85, 48, 24}, "发货单号："},
    {"编辑框14", "edit", {536, 85, 88, 24}, ""},
    {"按钮6", "button", {765, 8, 48, 32}, "取详情"},
    {"按钮3", "button", {825, 8, 56, 32}, "待付款"},
    {"标签3", "red", {824, 48, 56, 16}, ""},
    {"按钮4", "button", {897, 8, 56, 32}, "待发货"},
    {"标签4", "red", {896, 48, 56, 16}, ""},
    {"按钮5", "button", {969, 8, 56, 32}, "待收货"},
    {"标签5", "red", {968, 48, 56, 16}, ""},
    {"按钮2", "button", {1041, 8, 56, 32}, "总订单"},
    {"标签6", "red", {1040, 48, 56, 16}, ""},
    {"进度条1", "progress", {848, 127, 272, 16}, ""},
    {"选择夹1", "tabs", {0, 128, 1136, 356}, ""},  // the status line below it
    {"超级列表框1", "list", {0, 27, 1128, 326}, ""},  // page controls end inside the tabs
    {"标签12", "label", {510, 1, 64, 16}, "快递100sky"},  // right of the 统计 tab
    {"编辑框7", "masked", {578, 1, 104, 16}, ""},
    {"标签11", "label", {690, 0, 24, 16}, "快递"},
    {"编辑框8", "edit", {724, 0, 112, 16}, ""},
    {"按钮12", "button", {778, 85, 60, 24}, "批量发货"},  // beside 扫描发货, not over the table
    {"分组框1", "group", {16, 48, 392, 208}, "发起提现"},
    {"标签13", "label", {16, 40, 72, 24}, "可提现金额："},
    {"编辑框10", "edit", {88, 40, 112, 24}, ""},
    {"按钮15", "button", {224, 40, 80, 24}, "查询"},
    {"标签14", "label", {18, 89, 72, 24}, "输入金额："},
    {"编辑框11", "edit", {88, 88, 112, 24}, "必须是100的整倍数"},
    {"按钮10", "button", {224, 88, 80, 24}, "发起申请"},
    {"分组框2", "group", {448, 48, 672, 305}, "提现记录"},
    {"按钮9", "button", {88, 16, 72, 24}, "支付完成"},
    {"按钮8", "button", {176, 16, 72, 24}, "待审核"},
    {"超级列表框2", "list", {11, 52, 648, 247}, ""},
    {"编辑框4", "fixed", {8, 32, 736, 321}, nullptr},
    {"编辑框6", "multi", {8, 32, 256, 321}, ""},
    {"编辑框9", "multi", {8, 32, 1120, 321}, ""},
    {"编辑框3", "fixed", {16, 32, 744, 321}, nullptr},
};

bool has_kind(QWidget* w, std::string_view kind) {
  auto colour = [w] { return w->palette().color(QPalette::WindowText); };
  if (kind == "label") return qobject_cast<QLabel*>(w) && colour() == QColor(Qt::black);
  if (kind == "green") return qobject_cast<QLabel*>(w) && colour() == QColor(0, 128, 0);
  if (kind == "red") return qobject_cast<QLabel*>(w) && colour() == QColor(255, 0, 0);
  if (kind == "edit")
    return qobject_cast<QLineEdit*>(w) &&
           static_cast<QLineEdit*>(w)->echoMode() == QLineEdit::Normal;
  if (kind == "masked")
    return qobject_cast<QLineEdit*>(w) &&
           static_cast<QLineEdit*>(w)->echoMode() == QLineEdit::Password;
  if (kind == "button") return qobject_cast<QPushButton*>(w);
  if (kind == "check") return qobject_cast<QCheckBox*>(w);
  if (kind == "picture") return qobject_cast<app::PictureBox*>(w);
  if (kind == "progress") return qobject_cast<QProgressBar*>(w);
  if (kind == "tabs") return qobject_cast<QTabWidget*>(w);
  if (kind == "list") return qobject_cast<QTableView*>(w);
  if (kind == "group") return qobject_cast<QGroupBox*>(w);
  if (kind == "multi") return qobject_cast<QPlainTextEdit*>(w) && w->isEnabled();
  if (kind == "fixed")
    return qobject_cast<QPlainTextEdit*>(w) && !w->isEnabled() &&
           w->palette().color(QPalette::Disabled, QPalette::Base) == QColor(192, 192, 192) &&
           w->font().pixelSize() == 14;
  return false;
}

TEST_F(Window, EveryControlHasItsNameKindPlaceAndText) {
  for (const ControlSpec& c : kControls) {
    SCOPED_TRACE(c.name);
    QWidget* w = find(c.name);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(has_kind(w, c.kind)) << c.kind;
    EXPECT_EQ(w->geometry(), c.geometry);
    if (c.text) {
      EXPECT_EQ(m_window->text(c.name), gbk(c.text));
    }
  }
  EXPECT_EQ(find("按钮14")->font().pixelSize(), 19);
  EXPECT_EQ(find("按钮6")->font().pixelSize(), 12);
  EXPECT_TRUE(m_window->is_checked("选择框1"));
  EXPECT_EQ(find<QProgressBar>("进度条1")->maximum(), 100);
  EXPECT_EQ(find<QProgressBar>("进度条1")->value(), 0);
  EXPECT_EQ(m_window->timer_interval(), 0);
  EXPECT_EQ(m_window->title(), gbk("蔚禾商城订单管理系统 V4.0   qq:604918273"));
  EXPECT_FALSE(m_window->windowIcon().isNull());
  // Controls inside the group boxes belong to them.
  EXPECT_EQ(find("按钮9")->parentWidget(), find("分组框2"));
  EXPECT_EQ(find("编辑框10")->parentWidget(), find("分组框1"));
}

// Every fixed caption can be read whole at the form's geometry: it fits its
// control on one line or wrapped, and 编辑框13 shows a whole sender id.
TEST_F(Window, EveryCaptionFitsItsControl) {
  auto fits = [](QWidget* w, const QString& text, int reserved_width, bool wrap) {
    const QFontMetrics fm(w->font());
    const QRect room = w->contentsRect().adjusted(0, 0, -reserved_width, 0);
    const QRect need = fm.boundingRect(room, (wrap ? Qt::TextWordWrap : 0) | Qt::AlignLeft, text);
    return need.width() <= room.width() && need.height() <= room.height();
  };
  for (const ControlSpec& c : kControls) {
    QWidget* w = find(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty())
      EXPECT_TRUE(fits(w, label->text(), 0, label->wordWrap())) << c.name;
    if (auto* check = qobject_cast<QCheckBox*>(w)) {
      const int box = check->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                      check->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
      EXPECT_TRUE(fits(w, check->text(), box, false)) << c.name;
    }
  }
  // The shipping boxes show their whole text, typed or filled in: a courier
  // code, a tracking number, a sender id.
  m_window->set_text("编辑框13", "3107");
  m_window->set_text("编辑框12", "zhaijisong");
  QTest::keyClicks(find("编辑框14"), QStringLiteral("YT5363946405"));
  EXPECT_EQ(m_window->text("编辑框14"), "YT5363946405");
  for (const char* name : {"编辑框12", "编辑框13", "编辑框14"}) {
    auto* box = find<QLineEdit>(name);
    EXPECT_LT(QFontMetrics(box->font()).horizontalAdvance(box->text()),
              box->contentsRect().width() -
                  2 * box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 4)
        << name;
  }
}

// Qt's own dialogs speak Chinese; the save dialog offers workbooks and adds
// their extension to a bare name.
TEST_F(Window, QtDialogsInChineseAndTheWorkbookSaveDialog) {
  ASSERT_TRUE(app::install_qt_translations());
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u("取消"));
  EXPECT_TRUE(QCoreApplication::translate("QPlatformTheme", "&Yes").startsWith(u("是")));
  EXPECT_TRUE(QCoreApplication::translate("QPlatformTheme", "&No").startsWith(u("否")));
  auto dialog = app::workbook_save_dialog(m_window.get(), u("/tmp/订单"));
  EXPECT_EQ(dialog->nameFilters(), QStringList(u("Excel 工作簿 (*.xlsx)")));
  EXPECT_EQ(dialog->defaultSuffix(), u("xlsx"));
  EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
}

TEST_F(Window, OnlyTheListButtonsStartDisabled) {
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5", "按钮6"})
    EXPECT_FALSE(m_window->is_enabled(b)) << b;
  for (const char* b : {"按钮1", "按钮7", "按钮11", "按钮12", "按钮14", "按钮15", "按钮9"})
    EXPECT_TRUE(m_window->is_enabled(b)) << b;
}

TEST_F(Window, MaskedBoxesHoldTheRealText) {
  m_window->set_text("编辑框2", "p&ss*1");
  EXPECT_EQ(m_window->text("编辑框2"), "p&ss*1");
  EXPECT_EQ(find<QLineEdit>("编辑框7")->echoMode(), QLineEdit::Password);
}

TEST_F(Window, TabPagesAndTheirControls) {
  auto* tabs = find<QTabWidget>("选择夹1");
  const char* titles[] = {"订单管理", "账户提现", "退货管理", "个人信息",
                          "更新内容", "日志",     "快递代码", "帮助", "发货记录", "历史订单", "统计"};
  ASSERT_EQ(tabs->count(), 11);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(tabs->tabText(i), u(titles[i]));
  for (int i : {2, 3}) EXPECT_TRUE(tabs->widget(i)->children().isEmpty());
  m_window->show();
  // Every tab header lies left of the controls beside the headers.
  QTabBar* bar = tabs->tabBar();
  EXPECT_LT(bar->geometry().x() + bar->tabRect(tabs->count() - 1).right(), find("标签12")->geometry().left());
  EXPECT_TRUE(find("超级列表框1")->isVisible());
  EXPECT_FALSE(find("编辑框3")->isVisible());
  tabs->setCurrentIndex(7);
  EXPECT_TRUE(find("编辑框3")->isVisible());
  EXPECT_FALSE(find("超级列表框1")->isVisible());
  EXPECT_FALSE(find("分组框1")->isVisible());
  tabs->setCurrentIndex(8);
  EXPECT_TRUE(find("发货记录")->isVisible());
  EXPECT_FALSE(find("编辑框3")->isVisible());
}

// The order page's own tools (scan mode, search and its count) cover none of
// the form's controls, at the form's size and wider; other pages hide them.
TEST_F(Window, TheOrderPageToolsCoverNoOtherControl) {
  m_window->show();
  auto window_rect = [&](QWidget* w) {
    return QRect(w->mapTo(m_window.get(), QPoint(0, 0)), w->size());
  };
  for (int width : {1136, 1500, 1920}) {
    m_window->resize(width, 504);
    EXPECT_LE(find("发货地址")->width(), 400) << width;  // an address, not the window's width
    for (const char* tool : {"扫描发货", "搜索框", "搜索结果", "按钮12", "发货地址", "打印拣货单",
                             "打印发货单", "取号打印", "取号打印并发货"}) {
      QWidget* t = find(tool);
      ASSERT_TRUE(t->isVisible()) << tool;
      for (QWidget* w : m_window->findChildren<QWidget*>()) {
        if (w == t || w->objectName().isEmpty() || !w->isVisible() || w->isAncestorOf(t) ||
            t->isAncestorOf(w) || w->window() != m_window.get())
          continue;
        EXPECT_FALSE(window_rect(t).intersects(window_rect(w)))
            << tool << " covers " << w->objectName().toStdString() << " at width " << width;
      }
    }
  }
  find<QTabWidget>("选择夹1")->setCurrentIndex(1);
  EXPECT_FALSE(find("搜索框")->isVisible());
}

// Every control ends inside what holds it, at the form's size and larger,
// and the last of 200 rows can be scrolled into view with the horizontal
// scroll bar below it.
TEST_F(Window, EveryPageEndsInsideTheWindowAndTheLastRowIsReachable) {
  m_window->show();
  for (int r = 0; r < 200; ++r) m_window->append_row(kOrderList, {std::to_string(r + 1)});
  auto* view = find<QTableView>("超级列表框1");
  for (QSize size : {QSize(1136, 504), QSize(1920, 1080)}) {
    m_window->resize(size);
    for (QWidget* w : m_window->findChildren<QWidget*>()) {
      QWidget* parent = w->parentWidget();
      const bool control = parent == m_window.get() || qobject_cast<QTabWidget*>(parent) ||
                           qobject_cast<QGroupBox*>(parent);
      if (w->objectName().isEmpty() || w->objectName().startsWith(QStringLiteral("qt_")) ||
          !control || w->window() != m_window.get())
        continue;
      EXPECT_LE(w->geometry().bottom(), parent->height() - 1)
          << w->objectName().toStdString() << " at " << size.height();
    }
    m_window->scroll_to_row(kOrderList, 199);
    const QRect last = view->visualRect(view->model()->index(199, 0));
    EXPECT_TRUE(view->viewport()->rect().contains(last)) << size.height();
    QWidget* bar = view->horizontalScrollBar();
    const QPoint bar_bottom = bar->mapTo(m_window.get(), QPoint(0, bar->height()));
    EXPECT_LE(bar_bottom.y(), m_window->height()) << size.height();
  }
}

// 打开使用说明 beside the system's help text: the guide, as a local file,
// goes to the desktop's viewer; a viewer that cannot open it is said.
TEST_F(Window, HelpPageOpensTheGuide) {
  std::vector<QUrl> opened;
  bool opens = true;
  m_window->set_url_opener([&](const QUrl& url) {
    opened.push_back(url);
    return opens;
  });
  auto* button = find<QPushButton>("打开使用说明");
  ASSERT_NE(button, nullptr);
  button->click();
  ASSERT_EQ(opened.size(), 1u);
  ASSERT_TRUE(opened[0].isLocalFile());
  EXPECT_TRUE(opened[0].toLocalFile().endsWith(u("/使用说明.md")));
  EXPECT_TRUE(fs::is_regular_file(opened[0].toLocalFile().toStdString()));
  EXPECT_TRUE(shown.empty());
  opens = false;
  button->click();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find(gbk("使用说明在：")), Text::npos);
}

TEST_F(Window, FixedTextsAreExact) {
  EXPECT_EQ(m_window->text("编辑框3"),
            gbk("\r\n查询订单：先选择需要操作的订单，待获取完毕后，方可获取详情。\r\n\r\n"
                "导出订单：鼠标右键订单表格，选择导出即可。\r\n\r\n"
                "导入订单：将订单按导出的文档格式的EXCEL拖拽到软件表格即可。\r\n\r\n"
                "删除订单：可选择删除选择行或者清空整个表格订单数据，鼠标右键操作。\r\n\r\n"));
  EXPECT_EQ(m_window->text("编辑框4"),
            gbk("\r\n2017.1.4【3.0更新内容】\r\n\r\n    1、批量查询分类订单数据\r\n"
                "    2、支持批量导入导出订单\r\n    3、优化订单查询\r\n"
                "    4、批量查询物流、单个查询物流\r\n    5、优化启动bug\r\n    6、新增批量发货\r\n"
                "    7、优化账户提现功能\r\n    8、新增新订单定时刷新提醒"));
  m_window->set_courier_codes(gbk("shentong----申通快递\r\nauto----其他"));
  EXPECT_EQ(m_window->text("编辑框9"), gbk("shentong----申通快递\r\nauto----其他"));
}

TEST_F(Window, ListColumnsTitlesAndWidths) {
  const char* titles[] = {"序号",     "订单号", "会员",     "店铺",     "订单总额", "支付金额",
                          "支付时间", "状态",   "ID",       "商品",     "数量",     "规格",
                          "单价",     "总价",   "支付金额", "支付方式", "取件方式", "留言",
                          "收货人",   "电话",   "地址",     "快递单号", "物流信息", "发货状态",
                          "备用",     ""};
  auto* orders = find<QTableView>("超级列表框1");
  ASSERT_EQ(m_window->column_count(kOrderList), 26);
  for (int c = 0; c < 26; ++c) {
    EXPECT_EQ(m_window->column_title(kOrderList, c), gbk(titles[c])) << c;
    EXPECT_EQ(orders->columnWidth(c), (c == 3 || c == 13) ? 0 : 50) << c;
    EXPECT_FALSE(orders->isColumnHidden(c));
  }
  EXPECT_EQ(orders->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(orders->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(orders->showGrid());
  EXPECT_EQ(orders->palette().color(QPalette::Inactive, QPalette::Highlight),
            orders->palette().color(QPalette::Active, QPalette::Highlight));

  auto* withdrawals = find<QTableView>("超级列表框2");
  const int widths[] = {50, 50, 100, 180, 100, 0};  // 操作, always empty, hidden
  ASSERT_EQ(m_window->column_count(app::kWithdrawalList), 6);
  for (int c = 0; c < 6; ++c) EXPECT_EQ(withdrawals->columnWidth(c), widths[c]);
  EXPECT_EQ(m_window->column_title(app::kWithdrawalList, 2), gbk("回购金额"));

  // Zero-width columns hold texts like any other; appended columns come after the 26.
  int r = m_window->append_row(kOrderList, {});
  m_window->set_cell(kOrderList, r, 13, "99.00");
  EXPECT_EQ(m_window->cell(kOrderList, r, 13), "99.00");
  m_window->append_column(kOrderList, gbk("导入列"), 80);
  EXPECT_EQ(m_window->column_count(kOrderList), 27);
  EXPECT_EQ(orders->columnWidth(26), 80);
  EXPECT_EQ(m_window->rows(kOrderList).at(0).size(), 27u);
}

TEST_F(Window, ListOperationsKeepRowIdentity) {
  fill_orders(3);
  EXPECT_EQ(m_window->row_count(kOrderList), 3);
  EXPECT_EQ(m_window->cell(kOrderList, 1, 1), "NO1");
  EXPECT_EQ(m_window->cell(kOrderList, 5, 1), "");  // out of range reads empty
  EXPECT_EQ(m_window->cell(kOrderList, 1, 40), "");
  m_window->set_cell(kOrderList, 9, 1, "x");  // and writes nothing
  app::RowKey key = m_window->row_key(kOrderList, 2);
  m_window->delete_row(kOrderList, 0);
  EXPECT_TRUE(m_window->set_cells_by_key(kOrderList, key, 22, {gbk("已签收"), gbk("发货成功")}));
  EXPECT_EQ(m_window->cell(kOrderList, 1, 23), gbk("发货成功"));
  m_window->delete_row(kOrderList, 1);
  EXPECT_FALSE(m_window->set_cells_by_key(kOrderList, key, 22, {"x"}));
  EXPECT_EQ(m_window->row_key(kOrderList, 7), 0u);
  m_window->replace_rows(kOrderList, {{"a"}, {"b", "c"}});
  EXPECT_EQ(m_window->cell(kOrderList, 1, 1), "c");
  EXPECT_EQ(m_window->append_row("no such list", {}), -1);
}

TEST_F(Window, ContextMenuEntriesInOrder) {
  QMenu* menu = m_window->order_menu();
  EXPECT_EQ(menu->title(), u("a"));
  QStringList texts;
  for (QAction* a : menu->actions()) texts << (a->isSeparator() ? u("—") : a->text());
  EXPECT_EQ(texts, QStringList({u("复制"),
                                u("导出订单"),
                                u("导入订单"),
                                u("选中行发货"),
                                u("导入单号发货"),
                                u("重试发货失败的订单"),
                                u("查询当前订单物流"),
                                u("查询全部订单物流"),
                                u("删除本条订单"),
                                u("清空订单"),
                                u("撤销删除"),
                                u("—"),
                                u("打印拣货单…"),
                                u("打印发货单…"),
                                u("—"),
                                u("打印面单"),
                                u("取消面单"),
                                u("核对面单…"),
                                u("—"),
                                u("隐藏已发货的行")}));
  EXPECT_EQ(find("超级列表框1")->contextMenuPolicy(), Qt::CustomContextMenu);
}

TEST_F(Window, CopyPutsTheSelectedRowOnTheClipboardAsOneSpreadsheetRow) {
  fill_orders(2);
  QGuiApplication::clipboard()->setText(u("before"));
  entry("复制")->trigger();  // nothing selected: nothing copied
  EXPECT_EQ(QGuiApplication::clipboard()->text(), u("before"));
  m_window->set_cell(kOrderList, 1, 17, gbk("请\t尽快\"发货\""));
  select(1);
  entry("复制")->trigger();
  QStringList cells = QGuiApplication::clipboard()->text().split(QLatin1Char('\t'));
  ASSERT_EQ(cells.size(), 27);  // 26 columns, one cell holding a tab
  EXPECT_EQ(cells[0], u("1"));
  EXPECT_EQ(cells[2], u("会员"));
  EXPECT_EQ(cells[17] + u("\t") + cells[18], u("\"请\t尽快\"\"发货\"\"\""));
}

TEST_F(Window, DeleteAndClearEntries) {
  fill_orders(3);
  entry("删除本条订单")->trigger();  // no selection: nothing deleted
  EXPECT_EQ(m_window->row_count(kOrderList), 3);
  EXPECT_EQ(m_window->selected_row(kOrderList), -1);
  select(1);
  EXPECT_EQ(m_window->selected_row(kOrderList), 1);
  entry("删除本条订单")->trigger();
  ASSERT_EQ(m_window->row_count(kOrderList), 2);
  EXPECT_EQ(m_window->cell(kOrderList, 1, 1), "NO2");
  // Nothing is selected after a delete: a second click deletes nothing.
  EXPECT_EQ(m_window->selected_row(kOrderList), -1);
  entry("删除本条订单")->trigger();
  EXPECT_EQ(m_window->row_count(kOrderList), 2);

  // Scrolling to a row appended a moment ago brings it into view.
  auto* view = find<QTableView>("超级列表框1");
  for (int r = 0; r < 300; ++r) m_window->append_row(kOrderList, {std::to_string(r)});
  m_window->scroll_to_row(kOrderList, 301);
  EXPECT_GT(view->verticalScrollBar()->value(), 0);
  EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
  entry("清空订单")->trigger();
  EXPECT_EQ(m_window->row_count(kOrderList), 0);
  EXPECT_EQ(m_window->column_count(kOrderList), 26);
  entry("清空订单")->trigger();
  EXPECT_TRUE(shown.empty());
}

// 删除本条订单 and 清空订单 can be undone until the table is rewritten.
TEST_F(Window, DeleteAndClearCanBeUndoneUntilAListFetch) {
  fill_orders(3);
  const std::vector<app::OrderRow> before = m_window->rows(kOrderList);
  select(1);
  entry("删除本条订单")->trigger();
  entry("清空订单")->trigger();
  EXPECT_EQ(m_window->row_count(kOrderList), 0);
  entry("撤销删除")->trigger();
  EXPECT_EQ(m_window->row_count(kOrderList), 2);
  m_window->show();
  m_window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
  QTest::keyClick(find("超级列表框1"), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(m_window->rows(kOrderList), before);

  select(0);
  entry("删除本条订单")->trigger();
  m_window->clear_rows(kOrderList);  // a list fetch: nothing to put back into
  m_window->append_row(kOrderList, {"9"});
  entry("撤销删除")->trigger();
  EXPECT_EQ(m_window->row_count(kOrderList), 1);
}

// A list that came fits its columns to what they hold; 恢复默认列宽 keeps
// the system's widths from then on.
TEST_F(Window, ColumnsFitWhatTheyHoldUnlessTheSystemsWidthsAreChosen) {
  m_window->show();
  auto* view = find<QTableView>("超级列表框1");
  auto fitted = [&] {
    QTest::qWait(400);  // a burst of rows is fitted a moment after its last row
  };
  app::OrderRow row(26);
  row[1] = "201701191221231001";
  row[20] = gbk(std::string(60, 'x') + "上海市浦东新区世纪大道100号");
  m_window->append_row(kOrderList, row);
  fitted();
  const int number_width = view->fontMetrics().horizontalAdvance(QStringLiteral("201701191221231001"));
  EXPECT_GE(view->columnWidth(1), number_width);
  EXPECT_EQ(view->columnWidth(3), 0);  // 店铺 stays hidden
  m_window->resize(1920, 1080);
  m_window->append_row(kOrderList, row);
  fitted();
  int total = 0;
  for (int c = 0; c < 26; ++c) total += view->columnWidth(c);
  EXPECT_GE(total, view->viewport()->width() - 2);  // the rest went to the address

  // A search that shows no row: the columns still fit the table's rows.
  find<QLineEdit>("搜索框")->setText(u("没有这样的订单"));
  m_window->append_row(kOrderList, row);
  fitted();
  EXPECT_EQ(view->model()->rowCount(), 0);
  EXPECT_GE(view->columnWidth(1), number_width);
  find<QLineEdit>("搜索框")->clear();

  for (QAction* a : m_window->header_menu()->actions())
    if (a->text() == u("恢复默认列宽")) a->trigger();
  m_window->append_row(kOrderList, row);
  fitted();
  EXPECT_EQ(view->columnWidth(1), 50);
}

// Several rows selected: 复制 copies them all, one line each.
TEST_F(Window, CopyTakesEverySelectedRow) {
  fill_orders(3);
  auto* view = find<QTableView>("超级列表框1");
  view->selectionModel()->select(view->model()->index(0, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  view->selectionModel()->select(view->model()->index(2, 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  entry("复制")->trigger();
  const QString copied = QGuiApplication::clipboard()->text();
  const QStringList lines = copied.split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(u("0\tNO0"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].startsWith(u("2\tNO2"))) << lines[1].toStdString();
  // Ctrl+C in the list copies the same, not the current cell alone.
  QGuiApplication::clipboard()->clear();
  m_window->show();
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), copied);
}

// Enter in the password box logs in; Ctrl+F goes to the search box.
TEST_F(Window, EnterLogsInAndCtrlFSearches) {
  int logins = 0;
  app::Operations ops;
  ops.login = [&] { ++logins; };
  m_window->set_operations(ops);
  m_window->show();
  m_window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
  QTest::keyClick(find("编辑框2"), Qt::Key_Return);
  EXPECT_EQ(logins, 1);
  find<QTabWidget>("选择夹1")->setCurrentIndex(2);
  m_window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
  QTest::keyClick(find("选择夹1"), Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(find<QTabWidget>("选择夹1")->currentIndex(), 0);
  EXPECT_TRUE(find("搜索框")->hasFocus());
}

TEST_F(Window, EventsRunTheirOperationsOnTheirThreads) {
  std::atomic<int> ui_runs{0}, worker_runs{0}, wrong_thread{0};
  Text imported;
  QThread* ui = QThread::currentThread();
  auto on_ui = [&] { ui == QThread::currentThread() ? ++ui_runs : ++wrong_thread; };
  auto on_worker = [&] { ui != QThread::currentThread() ? ++worker_runs : ++wrong_thread; };
  app::Operations ops;
  ops.login = ops.fetch_all_orders = ops.toggle_new_order_reminder = ops.fetch_from_address_id =
      ops.ship_selected_order = ops.query_tracking = ops.fetch_withdrawable_amount =
          ops.export_orders = ops.poll_new_orders = on_ui;
  ops.fetch_unpaid_orders = ops.fetch_orders_to_ship = ops.fetch_orders_to_receive =
      ops.fetch_order_details = ops.ship_all_orders = ops.list_paid_withdrawals = on_worker;
  m_window->set_operations(ops);
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5", "按钮6"})
    m_window->set_enabled(b, true);

  for (const char* b : {"按钮1", "按钮2", "按钮7", "按钮11", "按钮15"})
    find<QPushButton>(b)->click();
  for (const char* e : {"导出订单", "选中行发货", "查询当前订单物流"}) entry(e)->trigger();
  find<QTabWidget>("选择夹1")->setCurrentIndex(7);  // any page change fetches the amount
  EXPECT_EQ(ui_runs, 9);
  for (const char* b : {"按钮3", "按钮4", "按钮5", "按钮6", "按钮12", "按钮9"})
    find<QPushButton>(b)->click();
  for (const char* b : {"按钮8", "按钮10", "按钮13"}) find<QPushButton>(b)->click();
  ASSERT_TRUE(m_window->wait_for_workers(std::chrono::seconds(10)));
  EXPECT_EQ(worker_runs, 6);
  EXPECT_EQ(ui_runs, 9);

  // 导入单号发货 asks first; only Yes ships, as a worker.
  answer = Answer::No;
  entry("导入单号发货")->trigger();
  answer = Answer::Yes;
  entry("导入单号发货")->trigger();
  ASSERT_TRUE(m_window->wait_for_workers(std::chrono::seconds(10)));
  EXPECT_EQ(worker_runs, 7);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, gbk("请确保已经导入过快递单号"));
  EXPECT_EQ(shown[0].title, gbk("询问"));
  EXPECT_EQ(shown[0].buttons, Buttons::YesNo);

  // The timer's tick polls; an interval already set changes nothing.
  m_window->set_timer_interval(5);
  m_window->set_timer_interval(5);
  EXPECT_EQ(m_window->timer_interval(), 5);
  for (int i = 0; i < 500 && ui_runs < 11; ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  EXPECT_GE(ui_runs, 11);
  m_window->set_timer_interval(-1);
  EXPECT_EQ(m_window->timer_interval(), 0);
  EXPECT_EQ(wrong_thread, 0);
}

TEST_F(Window, ImportHintAndDefaultTitle) {
  entry("导入订单")->trigger();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, gbk("直接将Excel表格拖到软件中"));
  EXPECT_EQ(shown[0].title, gbk("信息："));
  EXPECT_EQ(shown[0].buttons, Buttons::Ok);
}

TEST_F(Window, DroppedFilesReachTheImport) {
  std::vector<Text> imports;
  app::Operations ops;
  ops.import_orders = [&](const Text& paths) { imports.push_back(paths); };
  m_window->set_operations(ops);

  auto drop_on = [&](QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    // As the window system delivers a drop: the drag enters the widget, then drops there.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents();
  };
  drop_on(find<QPlainTextEdit>("编辑框6")->viewport(),
          {QUrl::fromLocalFile(u("/tmp/订单 1.xlsx"))});
  drop_on(find<QTableView>("超级列表框1")->viewport(),
          {QUrl::fromLocalFile(u("/tmp/a.xlsx")), QUrl::fromLocalFile(u("/tmp/b.xls"))});
  drop_on(find("编辑框1"), {QUrl(u("http://example.com/x.xlsx"))});  // not a file
  ASSERT_EQ(imports.size(), 2u);
  EXPECT_EQ(imports[0], gbk("/tmp/订单 1.xlsx"));
  EXPECT_EQ(imports[1], "/tmp/a.xlsx\r\n/tmp/b.xls\r\n");
  EXPECT_EQ(m_window->text("编辑框6"), "");  // the path did not land in the box
}

TEST_F(Window, CreationFillsTheFourBoxesFromSettings) {
  m_settings->write_setting(gbk("账号"), gbk("商家甲"));
  m_settings->write_setting(gbk("密码"), "pw");
  m_settings->write_setting(gbk("快递100sky"), "key1");
  m_settings->write_setting(gbk("快递类型"), "yunda");
  make_window();
  EXPECT_EQ(m_window->text("编辑框1"), gbk("商家甲"));
  EXPECT_EQ(m_window->text("编辑框2"), "pw");
  EXPECT_EQ(m_window->text("编辑框7"), "key1");
  EXPECT_EQ(m_window->text("编辑框8"), "yunda");
}

// The shipping courier and the chosen sender survive a restart. Before
// anything is kept, the courier is the one parcels are tracked with.
TEST_F(Window, TheShippingChoiceIsKeptAcrossARestart) {
  EXPECT_EQ(m_window->text("编辑框12"), "huitong");
  m_settings->write_setting(gbk("快递类型"), "yuantong");
  make_window();
  EXPECT_EQ(m_window->text("编辑框12"), "yuantong");
  m_window->set_text("编辑框12", "zhongtong");
  m_window->set_text("编辑框13", "17");
  m_window->close();
  make_window();
  EXPECT_EQ(m_window->text("编辑框12"), "zhongtong");
  EXPECT_EQ(m_window->text("编辑框13"), "17");
}

TEST_F(Window, TipWindowIsAFixedModalPicture) {
  app::TipWindow tip(m_window.get());
  EXPECT_EQ(tip.size(), QSize(282, 362));
  EXPECT_EQ(tip.minimumSize(), tip.maximumSize());
  EXPECT_TRUE(tip.windowTitle().trimmed().isEmpty());
  tip.show();
  ASSERT_NE(tip.windowHandle(), nullptr);
  EXPECT_EQ(tip.windowHandle()->title().trimmed(), QString());  // not the program's name
  tip.hide();
  EXPECT_TRUE(tip.isModal());
  EXPECT_FALSE(tip.picture().isNull());
  EXPECT_TRUE(tip.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(tip.windowFlags() & Qt::WindowMinimizeButtonHint);

  // 按钮14 opens it modally and returns when it is closed.
  bool was_modal = false;
  QTimer::singleShot(50, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    was_modal = qobject_cast<app::TipWindow*>(modal) != nullptr;
    if (modal) modal->close();
  });
  find<QPushButton>("按钮14")->click();
  EXPECT_TRUE(was_modal);
}

TEST_F(Window, BatchQuestionOffersReadyOnlyByDefaultAllAndCancel) {
  const std::vector<app::BatchProblem> problems{
      {gbk("201701191221231001"), "", gbk("没有快递单号"), false},
      {gbk("201701191221231002"), "SF100000000009", gbk("快递单号不像yuantong的单号"), true}};
  // Answers the open question with the button whose caption starts with `caption`
  // (empty: Enter, the default; "Esc": closes it).
  auto answer_with = [&](const char* caption) {
    QTimer::singleShot(50, [&, caption] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      if (std::string(caption) == "Esc") return modal->close(), void();
      for (auto* b : modal->findChildren<QPushButton*>())
        if (*caption ? b->text().startsWith(u(caption)) : b->isDefault()) return b->click();
    });
    return app::ask_batch_dialog(m_window.get(), 2, 3, problems);
  };
  EXPECT_EQ(answer_with(""), app::BatchChoice::ReadyOnly);
  EXPECT_EQ(answer_with("连提醒的一起发"), app::BatchChoice::WithWarned);
  EXPECT_EQ(answer_with("全部照发"), app::BatchChoice::All);
  EXPECT_EQ(answer_with("取消"), app::BatchChoice::Cancel);
  EXPECT_EQ(answer_with("Esc"), app::BatchChoice::Cancel);
}

TEST_F(Window, TrackingCellsShowTheirGistWithTheReplyAsTooltip) {
  const Text reply = gbk(
      R"({"status":"1","state":"3","data":[{"time":"2024-05-23 06:36:16","context":"[杭州市] 快件已签收! 感谢"}]})");
  fill_orders(2);
  m_window->set_cell(kOrderList, 0, app::kColTrackingInfo, reply);
  m_window->set_cell(kOrderList, 1, app::kColTrackingInfo, gbk("查询失败：快递单号不能为空"));
  m_window->set_cell_summary(kOrderList, app::kColTrackingInfo, fulfilment::tracking_cell_summary);
  QAbstractItemModel* model = find<QTableView>("超级列表框1")->model();
  const QModelIndex readable = model->index(0, app::kColTrackingInfo);
  EXPECT_EQ(model->data(readable).toString(), u("签收 · 05-23 06:36 · [杭州市] 快件已签收"));
  EXPECT_EQ(model->data(readable, Qt::ToolTipRole).toString().toStdString(), web::gbk_to_utf8(reply));
  const QModelIndex error = model->index(1, app::kColTrackingInfo);
  EXPECT_EQ(model->data(error).toString(), u("查询失败：快递单号不能为空"));  // shown as it is
  EXPECT_EQ(m_window->cell(kOrderList, 0, app::kColTrackingInfo), reply);  // the cell is untouched
}

TEST_F(Window, LogAppendsExactlyAtTheEnd) {
  m_window->append_log(gbk("=======开启新订单提醒======\r\n"));
  m_window->append_log(gbk("共3单"));
  m_window->append_log(gbk("，新增1单\r\n"));
  EXPECT_EQ(m_window->text("编辑框6"), gbk("=======开启新订单提醒======\r\n共3单，新增1单\r\n"));
}

}  // namespace
