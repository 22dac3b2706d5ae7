// The window's controls, placed as the form lays them out: positions are in
// the client area, in the tab control for page controls, in the group box for
// the controls it holds.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>

#include "app/gui/caption_fit.h"
#include "app/gui/column_fit.h"
#include "app/gui/desktop_notifier.h"
#include "app/gui/fixed_texts.h"
#include "app/gui/history_page.h"
#include "app/gui/journal_page.h"
#include "app/gui/layout_memory.h"
#include "app/gui/main_window.h"
#include "app/gui/order_filter.h"
#include "app/gui/picture_box.h"
#include "app/gui/qt_text.h"
#include "app/gui/report_model.h"
#include "app/gui/report_page.h"
#include "app/gui/wrapping_button.h"
#include "core/archive_keeping.h"
#include "core/settings.h"
#include "core/startup.h"
#include "web/markup.h"

namespace app {

namespace {

const QColor kSilver(192, 192, 192);

bool starts_with(const Text& cell, const char* utf8) {
  return cell.rfind(web::gbk(utf8), 0) == 0;
}

// 发货状态 at a glance: shipped green, failed and in doubt red, skipped grey.
QColor ship_status_colour(const Text& cell) {
  if (starts_with(cell, "发货成功")) return kGreen;
  if (starts_with(cell, "发货失败") || starts_with(cell, "发货不明") ||
      starts_with(cell, "面单不明") || starts_with(cell, "取号失败"))
    return kRed;
  if (starts_with(cell, "跳过")) return kGrey;
  return {};
}

// Client area of the window at its designed outer size of 1142 x 533.
constexpr int kClientWidth = 1136;
constexpr int kClientHeight = 504;
// The status line takes the bottom 20 pixels of the form; the tab control
// ends above it.
constexpr int kStatusHeight = 20;
const QRect kTabsGeometry(0, 128, 1136, 376 - kStatusHeight);
// Page controls end inside the tab control (less 3 for its frame): the
// form's own sizes ran past it, so the last rows of a long list and the
// horizontal scroll bar could not be reached.
constexpr int kPageBottom = 376 - kStatusHeight - 3;
const QRect kOrderListGeometry(0, 27, 1128, kPageBottom - 27);
const QRect kJournalGeometry(8, 30, 1120, kPageBottom - 30);

void set_text_colour(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, colour);
  w->setPalette(p);
}

void set_pixel_font(QWidget* w, int pixels) {
  QFont f = w->font();
  f.setPixelSize(pixels);
  w->setFont(f);
}

// Shows each character as "*" while holding the real text.
void mask_input(QLineEdit* e) {
  e->setEchoMode(QLineEdit::Password);
  e->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

QPlainTextEdit* fixed_box(QPlainTextEdit* e) {
  e->setEnabled(false);
  QPalette p = e->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    p.setColor(group, QPalette::Base, kSilver);
  p.setColor(QPalette::Disabled, QPalette::Text, QColor(109, 109, 109));  // greyed, yet legible
  e->setPalette(p);
  set_pixel_font(e, 14);
  e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return e;
}

QPlainTextEdit* multi_line(QWidget* parent, bool scroll) {
  auto* e = new QPlainTextEdit(parent);
  e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  e->setVerticalScrollBarPolicy(scroll ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  return e;
}

QString multi_line_text(const Text& text) {
  return qs(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

template <class W>
W* MainWindow::add(W* widget, const char* name, QRect geometry, int page) {
  widget->setObjectName(u(name));
  widget->setGeometry(geometry);
  m_controls.emplace(name, widget);
  if (page >= 0) m_page_controls[page].push_back(widget);
  return widget;
}

void MainWindow::build() {
  setObjectName(QStringLiteral("main_window"));
  QFont f = font();
  f.setPixelSize(12);
  setFont(f);
  setWindowTitle(u("蔚禾商城订单管理系统 V4.0   qq:604918273"));
  setWindowIcon(QIcon(QStringLiteral(":/app/icon.png")));
  m_notifier = new DesktopNotifier(this, windowIcon(), [this] { open_to_ship_orders(); });
  resize(kClientWidth, kClientHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - 1142) / 2, area.y() + (area.height() - 533) / 2);
  }
  m_page_controls.resize(11);
  build_top();
  build_pages();
  build_menu();
  build_status_line();
  m_timer.setObjectName(u("时钟1"));
  for (auto* label : findChildren<QLabel*>()) fit_caption(label);
  for (auto* check : findChildren<QCheckBox*>()) fit_caption(check);
  // The form's shipping boxes are narrow for a courier code or a tracking
  // number: a smaller font shows it whole instead of scrolling its start away.
  for (const char* box : {"编辑框12", "编辑框13", "编辑框14"})
    keep_text_fitted(static_cast<QLineEdit*>(m_controls.at(box)));
}

void MainWindow::build_top() {
  add(new QLabel(u("账号："), this), "标签1", {21, 12, 32, 16});
  add(new QLineEdit(this), "编辑框1", {58, 9, 80, 22});
  add(new QLabel(u("密码："), this), "标签2", {21, 45, 32, 16});
  mask_input(add(new QLineEdit(this), "编辑框2", {58, 42, 80, 22}));
  add(new QPushButton(u("登陆"), this), "按钮1", {154, 8, 40, 55});
  // Which shop the window serves (a label, or 全部店铺), and every setting.
  auto* shops = add(new QComboBox(this), "店铺选择", {197, 8, 56, 24});
  shops->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  shops->view()->setMinimumWidth(120);
  set_pixel_font(shops, 11);  // a label of four characters fits beside the arrow
  add(new QPushButton(u("设置"), this), "按钮设置", {197, 38, 56, 24});
  m_picture = add(new PictureBox(this), "图片框1", {8, 72, 56, 56});
  const std::tuple<const char*, const char*, QRect> green[] = {
      {"标签7", "销售中：", {69, 72, 72, 24}},
      {"标签9", "待审核：", {162, 72, 64, 24}},
      {"标签8", "违规下架：", {69, 104, 72, 24}},
      {"标签10", "仓库中：", {162, 104, 64, 24}}};
  for (auto& [name, caption, r] : green)
    set_text_colour(add(new QLabel(u(caption), this), name, r), kGreen);
  add(new QPushButton(u("开启新订单提醒"), this), "按钮7", {256, 6, 96, 24});
  add(new QLineEdit(u("10000"), this), "编辑框5", {352, 6, 48, 24});
  add(new QPushButton(u("毫秒"), this), "按钮13", {400, 6, 32, 24});
  add(new QCheckBox(u("勾选弹出物流框"), this), "选择框1", {435, 12, 112, 16})->setChecked(true);
  set_pixel_font(add(new WrappingButton(u("打赏作者"), this), "按钮14", {576, 8, 56, 48}), 19);
  add(new QPushButton(u("取发货ID："), this), "按钮11", {245, 85, 72, 24});
  add(new QLineEdit(this), "编辑框13", {319, 85, 33, 24});
  add(new QLabel(u("发货快递："), this), "标签15", {359, 85, 56, 24});
  add(new QLineEdit(u("huitong"), this), "编辑框12", {423, 85, 57, 24});
  add(new QLabel(u("发货单号："), this), "标签16", {480, 85, 48, 24});
  add(new QLineEdit(this), "编辑框14", {536, 85, 88, 24});
  set_pixel_font(add(new QPushButton(u("取详情"), this), "按钮6", {765, 8, 48, 32}), 12);
  const std::tuple<const char*, const char*, QRect, const char*, QRect> lists[] = {
      {"按钮3", "待付款", {825, 8, 56, 32}, "标签3", {824, 48, 56, 16}},
      {"按钮4", "待发货", {897, 8, 56, 32}, "标签4", {896, 48, 56, 16}},
      {"按钮5", "待收货", {969, 8, 56, 32}, "标签5", {968, 48, 56, 16}},
      {"按钮2", "总订单", {1041, 8, 56, 32}, "标签6", {1040, 48, 56, 16}}};
  for (auto& [button, caption, br, label, lr] : lists) {
    add(new QPushButton(u(caption), this), button, br);
    set_text_colour(add(new QLabel(this), label, lr), kRed);
  }
  auto* progress = add(new QProgressBar(this), "进度条1", {848, 127, 272, 16});
  progress->setRange(0, 100);
  progress->setValue(0);
  progress->setTextVisible(false);
}

void MainWindow::build_pages() {
  m_tabs = add(new QTabWidget(this), "选择夹1", kTabsGeometry);
  for (const char* title :
       {"订单管理", "账户提现", "退货管理", "个人信息", "更新内容", "日志", "快递代码", "帮助",
        "发货记录", "历史订单", "统计"})
    m_tabs->addTab(new QWidget(), u(title));
  // Compact headers, so all eleven fit left of the controls that sit beside them.
  if (auto* bar = m_tabs->findChild<QTabBar*>())
    bar->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 3px 1px; border: 1px solid #a0a0a0; border-bottom: none;"
        " background: #e8e8e8; margin-top: 2px; }"
        "QTabBar::tab:selected { background: white; margin-top: 0px; }"));

  // Page controls are children of the tab control itself (so their positions
  // are relative to it, and some sit beside the tab headers); the page change
  // shows the current page's controls and hides the others.
  QWidget* t = m_tabs;
  List orders = report_view(t, "超级列表框1", kOrderListGeometry, app::order_columns());
  m_page_controls[0].push_back(orders.view);
  orders.view->setContextMenuPolicy(Qt::CustomContextMenu);
  orders.model->set_colour(kColShipStatus, ship_status_colour);
  // 会员 may come with the back office's markup ("<b>韩梅梅</b>"): shown as
  // read, while the cell keeps it for the workbooks.
  orders.model->set_summary(kColMember, [](const Text& cell) {
    Text plain = web::without_markup(cell);
    return plain == cell ? Text() : plain;
  });
  build_order_tools(orders);
  // Moved right of where the system has them, to make room for the 统计 tab.
  add(new QLabel(u("快递100sky"), t), "标签12", {510, 1, 64, 16}, 0);
  mask_input(add(new QLineEdit(t), "编辑框7", {578, 1, 104, 16}, 0));
  add(new QLabel(u("快递"), t), "标签11", {690, 0, 24, 16}, 0);
  add(new QLineEdit(t), "编辑框8", {724, 0, 112, 16}, 0);

  auto* g1 = add(new QGroupBox(u("发起提现"), t), "分组框1", {16, 48, 392, 208}, 1);
  add(new QLabel(u("可提现金额："), g1), "标签13", {16, 40, 72, 24});
  add(new QLineEdit(g1), "编辑框10", {88, 40, 112, 24});
  add(new QPushButton(u("查询"), g1), "按钮15", {224, 40, 80, 24});
  add(new QLabel(u("输入金额："), g1), "标签14", {18, 89, 72, 24});
  add(new QLineEdit(u("必须是100的整倍数"), g1), "编辑框11", {88, 88, 112, 24});
  add(new QPushButton(u("发起申请"), g1), "按钮10", {224, 88, 80, 24});
  auto* g2 = add(new QGroupBox(u("提现记录"), t), "分组框2", {448, 48, 672, kPageBottom - 48}, 1);
  add(new QPushButton(u("支付完成"), g2), "按钮9", {88, 16, 72, 24});
  add(new QPushButton(u("待审核"), g2), "按钮8", {176, 16, 72, 24});
  report_view(g2, "超级列表框2", {11, 52, 648, kPageBottom - 48 - 52 - 6}, app::withdrawal_columns());

  auto* notes = fixed_box(add(multi_line(t, true), "编辑框4", {8, 32, 736, kPageBottom - 32}, 4));
  notes->setPlainText(multi_line_text(release_notes_text()));
  add(multi_line(t, false), "编辑框6", {8, 32, 256, kPageBottom - 32}, 5);
  add(multi_line(t, true), "编辑框9", {8, 32, 1120, kPageBottom - 32}, 6);
  auto* help = fixed_box(add(multi_line(t, true), "编辑框3", {16, 32, 744, kPageBottom - 32}, 7));
  help->setPlainText(multi_line_text(help_text()));
  // Beside the system's own help text, which stays as it is: the guide.
  add(new QPushButton(u("打开使用说明"), t), "打开使用说明", {776, 32, 112, 28}, 7)
      ->setToolTip(u("用电脑上的阅读程序打开《使用说明》（带图片的详细说明）"));
  m_journal_page = add(new JournalPage(t), "发货记录", kJournalGeometry, 8);
  m_history_page = add(new HistoryPage(t), "历史订单", kJournalGeometry, 9);
  m_report_page = add(new ReportPage(t), "统计", kJournalGeometry, 10);
  m_report_page->on_period_chosen = [this](const QDate& since, const QDate& until) {
    m_tabs->setCurrentIndex(9);
    m_history_page->show_pay_range(since, until);
  };
  show_page(0);
}

MainWindow::List MainWindow::report_view(QWidget* parent, const char* name, QRect geometry,
                                         std::span<const ListColumn> columns) {
  std::vector<ReportColumn> report_columns;
  for (const ListColumn& c : columns) report_columns.push_back({web::gbk(c.title), c.width});
  List list;
  list.model = new ReportModel(std::move(report_columns), this);
  list.view = add(new QTableView(parent), name, geometry);
  QTableView* v = list.view;
  if (name == kOrderList) {
    list.filter = new OrderFilter(list.model, this);
    v->setModel(list.filter);
  } else {
    v->setModel(list.model);
  }
  v->setSelectionBehavior(QAbstractItemView::SelectRows);
  // Several rows with shift and ctrl (复制 copies them all); one-row entries
  // take the row that was right-clicked.
  v->setSelectionMode(QAbstractItemView::ExtendedSelection);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  v->setShowGrid(true);
  v->setWordWrap(false);
  v->verticalHeader()->hide();
  v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  v->verticalHeader()->setDefaultSectionSize(18);
  v->horizontalHeader()->setMinimumSectionSize(0);
  v->horizontalHeader()->setHighlightSections(false);
  v->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  for (int c = 0; c < static_cast<int>(columns.size()); ++c)
    v->setColumnWidth(c, columns[c].width);
  // White background; the selected row stays highlighted without the focus.
  QPalette p = v->palette();
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Inactive, QPalette::Highlight,
             p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText,
             p.color(QPalette::Active, QPalette::HighlightedText));
  v->setPalette(p);
  m_lists.emplace(name, list);
  return list;
}

// In the free space at the right of the window's top part, on the row of the
// sender-id box (the tab headers' row is full, up to the progress bar): the
// scan mode's button, the search box and how many rows it shows. They belong
// to the order page, shown with it. The order list's header sorts, moves its
// columns and offers the default widths again.
void MainWindow::build_order_tools(List& orders) {
  QWidget* t = this;
  // The sender addresses fetched at login, by their text: a choice sets 编辑框13.
  m_sender_choice = add(new QComboBox(t), "发货地址", {}, 0);
  m_sender_choice->setToolTip(u("发货地址：登录后从后台取来，选一个即填好发货ID"));
  m_sender_choice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  m_sender_choice->setPlaceholderText(u("发货地址"));
  connect(m_sender_choice, &QComboBox::activated, this, [this](int index) {
    const QString id = m_sender_choice->itemData(index).toString();
    static_cast<QLineEdit*>(control("编辑框13"))->setText(id);
    m_sender_choice->setToolTip(m_sender_choice->itemText(index));
  });
  // Beside the scan mode, never over the table.
  add(new QPushButton(u("批量发货"), t), "按钮12", {}, 0)
      ->setToolTip(u("发表格里的全部行：搜索时没有显示出来的行也会发"));
  m_scan_button = add(new QPushButton(u("扫描发货"), t), "扫描发货", {}, 0);
  m_scan_button->setToolTip(u("用扫描枪发货：先扫订单号，再扫快递单号，扫完即发（F8）"));
  m_print_pick_list = add(new QPushButton(u("打印拣货单…"), t), "打印拣货单", {}, 0);
  m_print_pick_list->setToolTip(u("选中的订单（选了几行时），否则表格里的全部订单：按商品汇总的拣货单"));
  m_print_slips = add(new QPushButton(u("打印发货单…"), t), "打印发货单", {}, 0);
  m_print_slips->setToolTip(u("每笔订单一张发货单，带订单号条码（扫描发货时扫它即选中订单）"));
  m_waybill_print = add(new QPushButton(u("取号打印…"), t), "取号打印", {}, 0);
  m_waybill_print->setToolTip(
      u("选中的订单（选了几行时），否则表格里没发货的订单：向电子面单账户取号，在标签打印机上打印面"
        "单"));
  m_waybill_ship = add(new QPushButton(u("取号打印并发货…"), t), "取号打印并发货", {}, 0);
  m_waybill_ship->setToolTip(u("同取号打印，再用各自的面单号发货"));
  m_search = add(new QLineEdit(t), "搜索框", {}, 0);
  m_search->setPlaceholderText(u("搜索订单"));
  m_search->setToolTip(
      u("按订单号、会员、收货人、电话、地址、快递单号或ID查找，不分大小写和全角半角；Esc清空"));
  m_search->setClearButtonEnabled(true);
  m_search_count = add(new QLabel(t), "搜索结果", {}, 0);
  place_order_tools();

  QHeaderView* header = orders.view->horizontalHeader();
  header->setSectionsMovable(true);
  orders.filter->follow_header(header);
  header->setContextMenuPolicy(Qt::CustomContextMenu);
  m_header_menu = new QMenu(this);
  m_header_menu->setObjectName(QStringLiteral("header_menu"));
  QTableView* view = orders.view;
  connect(m_header_menu->addAction(u("恢复默认列宽")), &QAction::triggered, this, [this, view] {
    m_fit_columns = false;  // the system's widths stay, also for the next lists
    save_column_fitting(m_settings, false);
    restore_default_columns(view);
  });
  connect(m_header_menu->addAction(u("按内容调整列宽")), &QAction::triggered, this, [this, view] {
    m_fit_columns = true;
    save_column_fitting(m_settings, true);
    fit_order_columns(view);
  });
  // Fitted when a list has come, or its details: a burst of rows or cells
  // is fitted once, a moment after its last change.
  m_fit_timer.setSingleShot(true);
  m_fit_timer.setInterval(150);
  connect(&m_fit_timer, &QTimer::timeout, this, [this, view] {
    if (m_fit_columns) fit_order_columns(view);
  });
  ReportModel* model = orders.model;
  auto refit = [this] { m_fit_timer.start(); };
  connect(model, &QAbstractItemModel::rowsInserted, this, refit);
  connect(model, &QAbstractItemModel::modelReset, this, refit);
  connect(model, &QAbstractItemModel::dataChanged, this,
          [refit](const QModelIndex& from, const QModelIndex& to) {
            if (from.column() <= kColTrackingNo && to.column() >= kColGoods) refit();  // details
          });
  connect(header, &QWidget::customContextMenuRequested, this,
          [this, header](QPoint at) { m_header_menu->popup(header->mapToGlobal(at)); });
}

void MainWindow::place_order_tools() {
  if (!m_scan_button) return;
  const int right = width();
  control("按钮12")->setGeometry(right - 358, 85, 60, 24);
  // Beside the shipping boxes it belongs with, as wide as an address needs
  // at most, however wide the window.
  constexpr int kSenderWidest = 400;
  m_sender_choice->setGeometry(630, 85, std::min(right - 358 - 6 - 630, kSenderWidest), 24);
  m_scan_button->setGeometry(right - 294, 85, 60, 24);
  // The packing table's paper, above the shipping tools: in the free strip
  // between 打赏作者 and the dashboard's counts, which keep their places.
  m_print_pick_list->setGeometry(650, 58, 80, 23);
  m_print_slips->setGeometry(734, 58, 80, 23);
  // Under the dashboard's counts (标签3 to 标签5 end at y 63), above the
  // shipping tools' row (y 85): never over a figure.
  m_waybill_print->setGeometry(818, 64, 76, 21);
  m_waybill_ship->setGeometry(898, 64, 110, 21);
  m_search->setGeometry(right - 230, 86, 140, 22);
  m_search_count->setGeometry(right - 86, 86, 82, 22);
}

// The bottom line: the last outcome in words at the left, the new orders
// the merchant has not looked at yet at the right (a click shows them).
void MainWindow::build_status_line() {
  m_status = add(new QLabel(this), "状态栏", {}, -1);
  m_status->setTextFormat(Qt::PlainText);
  m_status->setStyleSheet(QStringLiteral("QLabel { border-top: 1px solid #c0c0c0; padding-left: 4px; }"));
  m_new_orders = add(new QPushButton(this), "新订单", {}, -1);
  m_new_orders->setFlat(true);
  m_new_orders->setStyleSheet(QStringLiteral("QPushButton { color: #c00000; font-weight: bold; }"));
  m_new_orders->hide();
  connect(m_new_orders, &QPushButton::clicked, this, [this] {
    m_tabs->setCurrentIndex(0);
    mark_new_orders_seen();
  });
  place_status_line();
}

void MainWindow::place_status_line() {
  if (!m_status) return;
  m_status->setGeometry(0, height() - kStatusHeight, width() - 140, kStatusHeight);
  m_new_orders->setGeometry(width() - 140, height() - kStatusHeight, 136, kStatusHeight);
}

void MainWindow::show_search_count() {
  const OrderFilter* filter = m_lists.at(std::string(kOrderList)).filter;
  m_search_count->setText(filter->searching() || filter->hiding_shipped() ? u("显示%1/%2行")
                                                    .arg(filter->shown_rows())
                                                    .arg(filter->table_rows())
                                              : QString());
}

void MainWindow::build_menu() {
  m_menu = new QMenu(u("a"), this);
  m_menu->setObjectName(QStringLiteral("order_menu"));
  for (const char* entry : {"复制", "导出订单", "导入订单", "选中行发货", "导入单号发货",
                            "重试发货失败的订单", "查询当前订单物流", "查询全部订单物流", "删除本条订单",
                            "清空订单", "撤销删除"})
    m_menu->addAction(u(entry));
  // The packing table's paper, after the system's own entries.
  m_menu->addSeparator();
  for (const char* entry : {"打印拣货单…", "打印发货单…"}) m_menu->addAction(u(entry));
  m_menu->addSeparator();
  for (const char* entry : {"打印面单", "取消面单", "核对面单…"}) m_menu->addAction(u(entry));
  m_menu->addSeparator();
  m_menu->addAction(u("隐藏已发货的行"))->setCheckable(true);
}

void MainWindow::window_created() {
  for (const char* b : {"按钮2", "按钮3", "按钮4", "按钮5", "按钮6"}) control(b)->setEnabled(false);
  static_cast<QProgressBar*>(control("进度条1"))->setRange(0, 100);
  setAcceptDrops(true);
  qApp->installEventFilter(this);
  fill_settings_boxes(*this, m_settings);
  restore_shipping_choice(*this, m_settings);
  restore_layout(m_settings, this, m_lists.at(std::string(kOrderList)).view);
  m_fit_columns = column_fitting(m_settings);
}

void MainWindow::show_page(int index) {
  for (int page = 0; page < static_cast<int>(m_page_controls.size()); ++page)
    for (QWidget* w : m_page_controls[page]) w->setVisible(page == index);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!m_tabs) return;
  // The tab control and the order list grow with the window, never below their design size.
  const int grow_x = std::max(0, width() - kClientWidth);
  const int grow_y = std::max(0, height() - kClientHeight);
  m_tabs->setGeometry(kTabsGeometry.adjusted(0, 0, grow_x, grow_y));
  place_order_tools();
  place_status_line();
  if (m_fit_columns && !m_fit_timer.isActive() && list(kOrderList)->model->size() > 0)
    m_fit_timer.start();  // the address column takes the room there now is
  if (List* orders = list(kOrderList))
    orders->view->setGeometry(kOrderListGeometry.adjusted(0, 0, grow_x, grow_y));
  if (m_journal_page) m_journal_page->setGeometry(kJournalGeometry.adjusted(0, 0, grow_x, grow_y));
  if (m_history_page) m_history_page->setGeometry(kJournalGeometry.adjusted(0, 0, grow_x, grow_y));
  if (m_report_page) m_report_page->setGeometry(kJournalGeometry.adjusted(0, 0, grow_x, grow_y));
}

void MainWindow::set_history_context(Context* ctx, bool all_shops) {
  m_history_page->set_context(ctx);
  m_report_page->set_context(ctx, all_shops);
  m_journal_page->set_shop([ctx] { return shop_of(*ctx); });
}

void MainWindow::set_database(store::Database* database) {
  m_journal_page->set_database(database);
  m_journal_page->set_settle([this] { run_ui(m_ops.settle_unknown_shipments); });
  m_journal_page->set_settle_waybill(
      [this](const std::string& id, const std::string& no) { settle_waybill(id, no); });
}

}  // namespace app
