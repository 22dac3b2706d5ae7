// The main window's life and events: creation, the event table, the context
// menu's own entries, drops of files, closing.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QCloseEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <QUrl>

#include <algorithm>

#include "app/gui/layout_memory.h"
#include "app/gui/main_window.h"
#include "app/gui/order_filter.h"
#include "app/gui/print_preview.h"
#include "app/gui/qt_text.h"
#include "app/gui/report_model.h"
#include "app/gui/row_window.h"
#include "app/gui/scan_mode.h"
#include "app/gui/tip_window.h"
#include "app/gui/user_guide.h"
#include "app/gui/qt_text.h"
#include "app/gui/waybill_tools.h"
#include "core/startup.h"
#include "printing/paper.h"
#include "printing/print_gathering.h"

// The window's pictures live in a static library, so their registration is asked for.
static void load_window_resources() {
  Q_INIT_RESOURCE(app);
}

namespace app {

namespace {

// A cell as one field of a tab-separated line: quoted when it holds a tab,
// a line break or a quote, so a spreadsheet still pastes it as one cell.
QString tsv_field(const Text& cell) {
  QString s = qs(cell);
  if (!s.contains(QLatin1Char('\t')) && !s.contains(QLatin1Char('\n')) &&
      !s.contains(QLatin1Char('\r')) && !s.contains(QLatin1Char('"')))
    return s;
  s.replace(QStringLiteral("\""), QStringLiteral("\"\""));
  return QLatin1Char('"') + s + QLatin1Char('"');
}

// Local files among dropped URLs, in drop order.
QStringList dropped_files(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

}  // namespace

MainWindow::MainWindow(Settings& settings, Speech* speech, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_speech(speech) {
  load_window_resources();
  build();
  wire();
  window_created();
}

MainWindow::~MainWindow() {
  close_down();
  qApp->removeEventFilter(this);
}

void MainWindow::set_operations(Operations operations) {
  m_ops = std::move(operations);
}

void MainWindow::set_shop_choice(const std::vector<Text>& labels, int chosen,
                                 std::function<void(int)> choose) {
  auto* box = static_cast<QComboBox*>(control("店铺选择"));
  box->disconnect(this);
  const QSignalBlocker quiet(box);
  box->clear();
  for (const Text& label : labels) box->addItem(qs(label));
  box->setCurrentIndex(chosen);
  box->setToolTip(box->currentText());
  // 全部店铺 (the last choice of several) shows whose each row is.
  const int all = labels.size() > 1 ? static_cast<int>(labels.size()) - 1 : -1;
  auto show_shops = [this, all](int index) {
    if (List* l = list(kOrderList)) l->view->setColumnWidth(kColStore, index == all ? 72 : 0);
  };
  show_shops(chosen);
  connect(box, &QComboBox::activated, this, [this, box, choose, show_shops](int index) {
    if (index == box->property("served").toInt()) return;
    const int rows = row_count(kOrderList);
    // The rows belong to the shop they were listed for: another shop's
    // operations must never act on them.
    if (rows > 0 && message_box(web::gbk("换店铺会清空订单表格里的") + std::to_string(rows) +
                                    web::gbk("笔订单（它们属于原来的店铺），继续吗？"),
                                web::gbk("询问"), Buttons::YesNo) != Answer::Yes) {
      const QSignalBlocker again(box);
      box->setCurrentIndex(box->property("served").toInt());
      return;
    }
    clear_rows(kOrderList);
    box->setProperty("served", index);
    box->setToolTip(box->currentText());
    show_shops(index);
    choose(index);
  });
  box->setProperty("served", chosen);
}

void MainWindow::set_settings_action(std::function<void()> open) {
  auto* button = static_cast<QPushButton*>(control("按钮设置"));
  button->disconnect(this);
  connect(button, &QPushButton::clicked, this, [open] { open(); });
}

void MainWindow::set_url_opener(std::function<bool(const QUrl&)> open) {
  m_url_opener = std::move(open);
}

void MainWindow::open_user_guide() {
  const std::filesystem::path guide = user_guide_path();
  if (guide.empty()) {
    message_box(web::gbk("没有找到使用说明。\r\n它随程序一起安装在 /usr/share/doc/weihe-orders/"
                         "使用说明.md；重新安装程序就能找回它。"));
    return;
  }
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(guide.string()));
  const bool opened = m_url_opener ? m_url_opener(url) : QDesktopServices::openUrl(url);
  if (!opened)
    message_box(web::gbk("这台电脑上没有能打开使用说明的程序。\r\n使用说明在：") +
                web::utf8_to_gbk(guide.string()));
}

void MainWindow::set_courier_codes(const Text& codes) {
  set_text("编辑框9", codes);
}

void MainWindow::set_message_handler(MessageHandler handler) {
  m_message_handler = std::move(handler);
}

void MainWindow::set_save_path_handler(std::function<Text(const Text&)> handler) {
  m_save_path_handler = std::move(handler);
}

void MainWindow::open_to_ship_orders() {
  showNormal();
  raise();
  activateWindow();
  if (auto* tabs = findChild<QTabWidget*>(QString::fromUtf8("选择夹1"))) tabs->setCurrentIndex(0);
  run_worker(m_ops.fetch_orders_to_ship);
}

void MainWindow::set_cell_summary(std::string_view list_name, int column,
                                  std::function<Text(const Text&)> summary) {
  if (List* l = list(list_name)) l->model->set_summary(column, std::move(summary));
}

void MainWindow::run_ui(const std::function<void()>& operation) {
  if (operation) operation();
}

void MainWindow::run_worker(const std::function<void()>& operation) {
  if (operation) start_worker(operation);
}

void MainWindow::wire() {
  auto click = [this](const char* name, auto handler) {
    connect(static_cast<QAbstractButton*>(control(name)), &QAbstractButton::clicked, this, handler);
  };
  // Each entry is read when the event comes, so operations bound later count.
  click("按钮1", [this] { run_ui(m_ops.login); });
  click("按钮3", [this] { run_worker(m_ops.fetch_unpaid_orders); });
  click("按钮4", [this] { run_worker(m_ops.fetch_orders_to_ship); });
  click("按钮5", [this] { run_worker(m_ops.fetch_orders_to_receive); });
  click("按钮2", [this] { run_ui(m_ops.fetch_all_orders); });
  click("按钮6", [this] { run_worker(m_ops.fetch_order_details); });
  click("按钮7", [this] { run_ui(m_ops.toggle_new_order_reminder); });
  click("按钮11", [this] { run_ui(m_ops.fetch_from_address_id); });
  click("按钮12", [this] { run_worker(m_ops.ship_all_orders); });
  click("按钮15", [this] { run_ui(m_ops.fetch_withdrawable_amount); });
  click("按钮9", [this] { run_worker(m_ops.list_paid_withdrawals); });
  click("按钮10", [this] { run_ui(m_ops.request_withdrawal); });
  click("按钮14", [this] { open_tip_window(); });
  click("打开使用说明", [this] { open_user_guide(); });
  // 按钮8 and 按钮13 do nothing.
  connect(&m_timer, &QTimer::timeout, this, [this] { run_ui(m_ops.poll_new_orders); });
  QTableView* orders = m_lists.at(std::string(kOrderList)).view;
  connect(m_tabs, &QTabWidget::currentChanged, this, [this, orders](int page) {
    show_page(page);
    // Back on the orders page (a click, 载入到订单列表, a 统计 bar) the next
    // scan or keystroke goes to the list, never into 账号 where Qt would put it.
    if (!orders->isHidden()) orders->setFocus(Qt::OtherFocusReason);
    run_ui(m_ops.fetch_withdrawable_amount);
  });

  connect(orders, &QWidget::customContextMenuRequested, this, [this, orders](QPoint at) {
    // The order under the pointer is held by its key: a poll may refill the
    // table while the menu is open, and the entry must not take whatever
    // row then sits at the same place.
    const List& list = m_lists.at(std::string(kOrderList));
    int row = list.table_row(orders->indexAt(at));
    if (row < 0) row = selected_row(kOrderList);
    m_menu_key = row >= 0 ? list.model->row_key(row) : 0;
    m_menu->popup(orders->viewport()->mapToGlobal(at) + QPoint(3, 3));
  });
  connect(orders, &QAbstractItemView::doubleClicked, this, &MainWindow::open_row_window);
  // The merchant looks at the list: a click in it, or a list asked for.
  connect(orders, &QAbstractItemView::pressed, this, [this] { mark_new_orders_seen(); });
  for (const char* list_button : {"按钮2", "按钮3", "按钮4", "按钮5"})
    click(list_button, [this] { mark_new_orders_seen(); });
  OrderFilter* filter = m_lists.at(std::string(kOrderList)).filter;
  connect(m_search, &QLineEdit::textChanged, filter, &OrderFilter::set_search);
  connect(filter, &OrderFilter::shown_changed, this, &MainWindow::show_search_count);
  connect(m_scan_button, &QPushButton::clicked, this, &MainWindow::open_scan_mode);
  connect(m_print_pick_list, &QPushButton::clicked, this,
          [this] { print_orders(printing::Document::PickList); });
  connect(m_print_slips, &QPushButton::clicked, this,
          [this] { print_orders(printing::Document::PackingSlips); });
  connect(m_waybill_print, &QPushButton::clicked, this,
          [this] { order_waybills_and_print(false); });
  connect(m_waybill_ship, &QPushButton::clicked, this, [this] { order_waybills_and_print(true); });
  connect(new QShortcut(QKeySequence(Qt::Key_F8), this), &QShortcut::activated, this,
          &MainWindow::open_scan_mode);
  connect(new QShortcut(QKeySequence::Undo, this), &QShortcut::activated, this,
          &MainWindow::undo_removal);
  connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
    m_tabs->setCurrentIndex(0);
    m_search->setFocus();
    m_search->selectAll();
  });
  // Enter in the password box logs in.
  connect(static_cast<QLineEdit*>(control("编辑框2")), &QLineEdit::returnPressed, this,
          [this] { run_ui(m_ops.login); });
  QList<QAction*> entries = m_menu->actions();
  entries.removeIf([](const QAction* a) { return a->isSeparator(); });
  QAction* undo = entries[10];  // 撤销删除
  connect(m_menu, &QMenu::aboutToShow, this, [this, undo] { undo->setEnabled(!m_removed.empty()); });

  const std::function<void()> handlers[] = {
      on_clicked_row([this] { copy_selected_rows(); }),
      [this] { run_ui(m_ops.export_orders); },
      [this] { message_box(web::gbk("直接将Excel表格拖到软件中")); },
      on_clicked_row([this] { run_ui(m_ops.ship_selected_order); }),
      [this] { confirm_and_ship_all(); },
      [this] { run_worker(m_ops.retry_failed_shipments); },
      on_clicked_row([this] { run_ui(m_ops.query_tracking); }),
      [this] { run_worker(m_ops.query_all_tracking); },
      on_clicked_row([this] { delete_selected_row(); }),
      [this] { clear_orders(); },
      [this] { undo_removal(); },
      [this] { print_orders(printing::Document::PickList); },
      [this] { print_orders(printing::Document::PackingSlips); },
      on_clicked_row([this] { print_row_waybill(); }),
      on_clicked_row([this] { cancel_row_waybill(); }),
      on_clicked_row([this] { settle_row_waybill(); }),
      [this, hide = entries[16]] {
        m_lists.at(std::string(kOrderList)).filter->set_hide_shipped(hide->isChecked());
      }};
  static_assert(std::size(handlers) == 17);
  for (int i = 0; i < entries.size(); ++i)
    connect(entries[i], &QAction::triggered, this, handlers[i]);
}

std::function<void()> MainWindow::on_clicked_row(std::function<void()> entry) {
  return [this, entry = std::move(entry)] {
    const RowKey key = std::exchange(m_menu_key, 0);
    if (key && m_lists.at(std::string(kOrderList)).model->row_of_key(key) < 0) {
      message_box(web::gbk("右键点中的订单已经不在表格里了（表格刚刷新过），这次什么也没做"));
      return;
    }
    const RowKey outer = std::exchange(m_acting_key, key);
    entry();
    m_acting_key = outer;
  };
}

void MainWindow::print_orders(printing::Document document) {
  if (!m_ops.gather_for_print) return;
  const List& orders = m_lists.at(std::string(kOrderList));
  if (orders.model->size() == 0) {
    message_box(web::gbk("表格里没有订单，没有什么可以打印：请先获取订单或导入表格"));
    return;
  }
  std::vector<RowKey> keys;
  const QModelIndexList selected = orders.view->selectionModel()->selectedRows();
  if (selected.size() > 1)
    for (const QModelIndex& shown : selected)
      if (const int row = orders.table_row(shown); row >= 0) keys.push_back(row_key(kOrderList, row));
  // One at a time: a second click while the details come would open a second preview.
  if (m_gathering_print) return show_status(web::gbk("正在准备打印，请稍候"));
  m_gathering_print = true;
  start_worker([this, document, keys] {
    const printing::PrintJob job = m_ops.gather_for_print(document, keys);
    QMetaObject::invokeMethod(
        this,
        [this, job] {
          m_gathering_print = false;
          show_print_job(job);
        },
        Qt::QueuedConnection);
  });
}

void MainWindow::show_print_job(const printing::PrintJob& job) {
  if (m_closed) return;
  const Text left_out = printing::left_out_sentence(job);
  if (!left_out.empty()) show_failure(left_out);
  if (job.orders.empty()) {
    message_box(left_out.empty() ? web::gbk("没有可以打印的订单") : left_out);
    return;
  }
  if (!left_out.empty()) message_box(left_out + web::gbk("（其余的照常打印）"));
  auto* preview = new PrintPreview(this, m_settings, job);
  preview->open();
}

void MainWindow::copy_selected_rows() {
  const List& orders = m_lists.at(std::string(kOrderList));
  const int clicked = selected_row(kOrderList);
  if (clicked < 0) return;
  // The selected rows as shown, when the clicked one is among them; else it alone.
  std::vector<int> rows;
  for (const QModelIndex& shown : orders.view->selectionModel()->selectedRows())
    rows.push_back(shown.row());
  std::sort(rows.begin(), rows.end());
  for (int& r : rows) r = orders.table_row(orders.view->model()->index(r, 0));
  if (std::find(rows.begin(), rows.end(), clicked) == rows.end()) rows = {clicked};
  QStringList lines;
  for (int row : rows) {
    QStringList fields;
    for (const Text& cell : orders.model->row(row)) fields << tsv_field(cell);
    lines << fields.join(QLatin1Char('\t'));
  }
  if (QClipboard* clipboard = QGuiApplication::clipboard())
    clipboard->setText(lines.join(QLatin1Char('\n')));
}

void MainWindow::delete_selected_row() {
  const int row = selected_row(kOrderList);
  if (row < 0) return;
  m_removed.push_back({{row, m_lists.at(std::string(kOrderList)).model->row(row)}});
  delete_row(kOrderList, row);
  show_status(web::gbk("删除了1行（Ctrl+Z 撤销）"));
}

void MainWindow::clear_orders() {
  ReportModel& model = *m_lists.at(std::string(kOrderList)).model;
  std::vector<std::pair<int, OrderRow>> rows;
  for (int r = 0; r < model.size(); ++r) rows.emplace_back(r, model.row(r));
  if (rows.empty()) return;
  model.clear_rows();
  show_status(web::gbk("清空了") + std::to_string(rows.size()) + web::gbk("行（Ctrl+Z 撤销）"));
  m_removed.push_back(std::move(rows));
}

void MainWindow::undo_removal() {
  if (m_removed.empty()) return show_status(web::gbk("没有可以撤销的删除"));
  const std::vector<std::pair<int, OrderRow>> rows = std::move(m_removed.back());
  m_removed.pop_back();
  ReportModel& model = *m_lists.at(std::string(kOrderList)).model;
  for (const auto& [place, row] : rows) model.insert_row(place, row);  // ascending places
  show_status(web::gbk("撤销删除：放回了") + std::to_string(rows.size()) + web::gbk("行"));
}

void MainWindow::open_row_window(const QModelIndex& view_index) {
  const List& orders = m_lists.at(std::string(kOrderList));
  const int row = orders.table_row(view_index);
  if (row < 0) return;
  std::vector<Text> titles;
  for (const ReportColumn& c : orders.model->columns()) titles.push_back(c.title);
  const OrderRow cells = orders.model->row(row);
  show_row_window(this, titles, cells, m_ops.order_extras ? m_ops.order_extras(cells) : OrderExtras{});
}

void MainWindow::select_table_row(int row) {
  List& orders = m_lists.at(std::string(kOrderList));
  orders.model->show_appended_rows();
  QModelIndex shown = orders.view_index(row);
  if (!shown.isValid() && !m_search->text().isEmpty()) {  // the search hides it
    m_search->clear();
    shown = orders.view_index(row);
  }
  if (!shown.isValid()) return;
  orders.view->selectRow(shown.row());
  orders.view->scrollTo(shown);
}

void MainWindow::open_scan_mode() {
  if (findChild<ScanMode*>()) return;  // already scanning
  // With an e-waybill account the parcels go with its courier.
  if (m_ops.waybill_courier)
    if (const Text courier = m_ops.waybill_courier(); !courier.empty())
      set_text("编辑框12", courier);
  if (m_ops.shipping_refusal) {
    if (const Text why = m_ops.shipping_refusal(); !why.empty()) {
      message_box(why);
      return;
    }
  }
  // Every row can be scanned, so none stays hidden by a search.
  m_search->clear();
  auto* scan = new ScanMode(this, *m_lists.at(std::string(kOrderList)).model, m_ops,
                            [this](int row) { select_table_row(row); }, *this);
  scan->set_label_printer([this](const printing::LabelData& label, QString* error) {
    return print_waybill_labels(this, {label},
                                printing::remembered_printer(m_settings, "label_printer"),
                                printing::remembered_label_paper(m_settings),
                                printing::masks_phone(m_settings), false, error);
  });
  connect(scan, &QDialog::finished, scan, &QObject::deleteLater);
  scan->open();
}

void MainWindow::confirm_and_ship_all() {
  if (m_ops.confirm_and_ship_all) return m_ops.confirm_and_ship_all();
  // Until the shipping subsystem supplies its own, ask here and ship as a worker.
  if (message_box(web::gbk("请确保已经导入过快递单号"), web::gbk("询问"), Buttons::YesNo) ==
      Answer::Yes)
    run_worker(m_ops.ship_all_orders);
}

void MainWindow::files_dropped(const QStringList& paths) {
  if (paths.isEmpty() || !m_ops.import_orders) return;
  QString joined;
  if (paths.size() == 1) {
    joined = paths.first();
  } else {
    for (const QString& p : paths) joined += p + QStringLiteral("\r\n");
  }
  m_ops.import_orders(web::utf8_to_gbk(joined.toStdString()));
}

void MainWindow::open_tip_window() {
  TipWindow tip(this);
  tip.exec();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_search && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !m_search->text().isEmpty()) {
    m_search->clear();
    return true;
  }
  // Ctrl+C in the order list copies the selected rows, as 复制 does; the
  // view itself would copy only its current cell.
  if (event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy))
    if (const List* orders = list(kOrderList); orders && watched == orders->view) {
      copy_selected_rows();
      return true;
    }
  // Files dropped anywhere on the window (edit boxes included) mean an import.
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
    return QWidget::eventFilter(watched, event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return QWidget::eventFilter(watched, event);
  auto* drop = static_cast<QDropEvent*>(event);
  const QStringList paths = dropped_files(drop->mimeData());
  if (paths.isEmpty()) return QWidget::eventFilter(watched, event);
  drop->acceptProposedAction();
  if (type == QEvent::Drop) {
    // Handled after the drop completes, so the import may show dialogs freely.
    QMetaObject::invokeMethod(
        this, [this, paths] { files_dropped(paths); }, Qt::QueuedConnection);
  }
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing is never refused; from now on workers' control calls are no-ops.
  save_layout(m_settings, this, m_lists.at(std::string(kOrderList)).view);
  save_shipping_choice(*this, m_settings);
  close_down();
  m_timer.stop();
  event->accept();
}

void MainWindow::close_down() {
  m_closed = true;
}

}  // namespace app
