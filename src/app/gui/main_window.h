#pragma once
// The main window: every control laid out under its form name (the Qt object
// name), the order list's context menu, drops of files, the timer, and the
// Form the operations use. Calls from worker threads are handed to the UI
// thread and waited for, so each takes effect as a whole; once the window has
// been closed they return defaults without touching any control.
//
// Usage: app::MainWindow window(settings, &voice);
//        app::Context ctx{window, settings, hosts};
//        window.set_operations(app::bind_operations(ctx));
//        window.show();  app.exec();  window.close_down();
//        window.wait_for_workers(std::chrono::seconds(2));

#include <QTimer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "core/columns.h"
#include "core/form.h"
#include "app/wiring/operations.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTableView;
class QUrl;

namespace store {
class Database;
}

namespace app {

class HistoryPage;
class ReportPage;
class JournalPage;
struct Context;
class OrderFilter;

class PictureBox;
class ReportModel;
class DesktopNotifier;
class Settings;
class Speech;

class MainWindow : public QWidget, public Form {
  Q_OBJECT

 public:
  // `speech` may be null (speak then reports false).
  MainWindow(Settings& settings, Speech* speech, QWidget* parent = nullptr);
  ~MainWindow() override;

  void set_operations(Operations operations);
  void set_courier_codes(const Text& text);  // 编辑框9, the page 快递代码

  // Answers message boxes and save dialogs without showing them (tests, demos).
  using MessageHandler = std::function<Answer(const Text& text, const Text& title, Buttons)>;
  void set_message_handler(MessageHandler handler);
  void set_save_path_handler(std::function<Text(const Text& suggested)> handler);
  // What the list shows of a column's cells (see ReportModel::set_summary).
  void set_cell_summary(std::string_view list, int column, std::function<Text(const Text&)> summary);

  QMenu* order_menu() const { return m_menu; }
  // The order list's header menu (恢复默认列宽).
  QMenu* header_menu() const { return m_header_menu; }
  // 扫描发货: refused with a message when shipping cannot start; otherwise
  // the scan mode opens over the window (and returns at once).
  void open_scan_mode();
  // Opens the tip window, modal; returns when it is closed.
  void open_tip_window();

  // After the event loop ends: workers' calls no longer reach the controls.
  void close_down();
  bool closed() const { return m_closed.load(); }
  // Keeps handling events until every worker ended or `timeout` passed.
  bool wait_for_workers(std::chrono::milliseconds timeout);
  int running_workers();

  // Form
  Text text(std::string_view control) override;
  void set_text(std::string_view control, const Text& text) override;
  Text title() override;
  void set_title(const Text& title) override;
  void set_enabled(std::string_view control, bool enabled) override;
  bool is_enabled(std::string_view control) override;
  bool is_checked(std::string_view control) override;
  void set_progress(int position) override;
  void set_timer_interval(int milliseconds) override;
  int timer_interval() override;
  void set_picture(const Bytes& image) override;
  void set_picture_mode(int mode) override;
  int row_count(std::string_view list) override;
  int append_row(std::string_view list, const std::vector<Text>& cells = {}) override;
  Text cell(std::string_view list, int row, int column) override;
  void set_cell(std::string_view list, int row, int column, const Text& text) override;
  void delete_row(std::string_view list, int row) override;
  void clear_rows(std::string_view list) override;
  void scroll_to_row(std::string_view list, int row) override;
  int selected_row(std::string_view list) override;
  int column_count(std::string_view list) override;
  Text column_title(std::string_view list, int column) override;
  void append_column(std::string_view list, const Text& title, int width) override;
  std::vector<OrderRow> rows(std::string_view list) override;
  void replace_rows(std::string_view list, const std::vector<OrderRow>& rows) override;
  RowKey row_key(std::string_view list, int row) override;
  std::vector<int> rows_where(std::string_view list, int column, const Text& text) override;
  std::vector<RowKey> row_keys(std::string_view list) override;
  void set_tooltip(std::string_view control, const Text& text) override;
  int row_of_key(std::string_view list, RowKey key) override;
  bool set_cells_by_key(std::string_view list, RowKey key, int first_column,
                        const std::vector<Text>& texts) override;
  void append_log(const Text& text) override;
  Answer message_box(const Text& text, const Text& title = {},
                     Buttons buttons = Buttons::Ok) override;
  bool speak(const Text& text) override;
  void start_worker(std::function<void()> operation) override;
  void process_events() override;
  void wait(const std::function<void()>& job) override;
  Text ask_save_path(const Text& suggested) override;
  BatchChoice ask_batch(int ready, int total, const std::vector<BatchProblem>& problems) override;
  void show_tracking(const TrackingTimeline& timeline) override;
  void notify(const Text& title, const Text& body) override;
  void show_to_ship_count(int count) override;
  void set_sender_addresses(const std::vector<SenderAddress>& addresses) override;
  void show_status(const Text& text) override;
  void show_failure(const Text& text) override;
  void show_new_orders(const std::vector<Text>& order_ids) override;
  // The merchant has looked at the list: the new orders are no longer marked.
  void mark_new_orders_seen();
  // Brings the window to the front and lists the orders waiting to be shipped
  // (a notification's default action).
  void open_to_ship_orders();

  // The database whose shipping journal the 发货记录 page shows.
  void set_database(store::Database* database);
  // The context whose order archive the 历史订单 page searches and 统计 counts.
  // `all_shops`: 全部店铺 is chosen, and 统计 counts every shop's orders.
  void set_history_context(Context* ctx, bool all_shops = false);
  // The shop choice beside 按钮1: its labels, the one chosen, and what a
  // new choice does (after the merchant agreed to an emptied order table).
  void set_shop_choice(const std::vector<Text>& labels, int chosen, std::function<void(int)> choose);
  // What the 设置 button opens.
  void set_settings_action(std::function<void()> open);
  // What opens the guide for "打开使用说明" (tests); by default the
  // desktop's viewer (QDesktopServices::openUrl). False: it could not.
  void set_url_opener(std::function<bool(const QUrl&)> open);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct List {
    QTableView* view = nullptr;
    ReportModel* model = nullptr;
    // The order list's search and sort; null where the view shows the model as it is.
    OrderFilter* filter = nullptr;
    int table_row(const QModelIndex& view_index) const;  // -1 for none
    QModelIndex view_index(int table_row) const;          // invalid when not shown
  };

  // Layout (main_window_layout.cpp).
  void build();
  void build_top();
  void build_pages();
  void build_menu();
  void window_created();
  template <class W>
  W* add(W* widget, const char* name, QRect geometry, int page = -1);
  List report_view(QWidget* parent, const char* name, QRect geometry,
                   std::span<const ListColumn> columns);
  void build_order_tools(List& orders);
  void place_order_tools();
  void build_status_line();
  void place_status_line();
  void show_search_count();

  // Events (main_window_events.cpp).
  void wire();
  void run_ui(const std::function<void()>& operation);
  void run_worker(const std::function<void()>& operation);
  void show_page(int index);
  void copy_selected_rows();
  void delete_selected_row();
  void clear_orders();
  // 撤销删除 (Ctrl+Z): puts back what the last 删除本条订单 or 清空订单
  // removed, until a list fetch, an import or a poll rewrites the table.
  void undo_removal();
  // A menu entry for one row: runs `entry` on the row that was right-clicked
  // (held by its key since the menu opened), or says it is gone.
  std::function<void()> on_clicked_row(std::function<void()> entry);
  void open_row_window(const QModelIndex& view_index);
  void select_table_row(int row);
  void confirm_and_ship_all();
  // 打印拣货单… / 打印发货单…: the selected rows when several are, else every
  // row; details are fetched on a worker, then the preview opens.
  void print_orders(printing::Document document);
  void show_print_job(const printing::PrintJob& job);
  // 取号打印… / 取号打印并发货…: the selected rows when several are, else
  // every row not shipped; asks first, orders on a worker, prints the labels.
  void order_waybills_and_print(bool ship);
  // On a worker: orders the waybills of `keys`, prints their labels on
  // `printer`, says what came of it.
  void run_waybills(const std::vector<RowKey>& keys, bool ship, const QString& printer,
                    bool preview);
  // The order menu's 打印面单 (a reprint when the order has one), 取消面单, 核对面单….
  void print_row_waybill();
  void cancel_row_waybill();
  void settle_row_waybill();
  // 核对面单 of the order `id` (number `no`, UTF-8): asks for the number found.
  void settle_waybill(const std::string& id, const std::string& no);
  void files_dropped(const QStringList& paths);
  // 打开使用说明: the guide in the desktop's viewer, or why not.
  void open_user_guide();

  // Runs `f` on the UI thread and returns its result (`fallback` once closed).
  template <class F, class R = std::invoke_result_t<F&>>
  R on_ui(F&& f, R fallback = R());
  template <class F>
  void on_ui_void(F&& f);
  QWidget* control(std::string_view name) const;
  List* list(std::string_view name);
  void worker_ended();

  Settings& m_settings;
  Speech* m_speech;
  Operations m_ops;
  std::map<std::string, QWidget*, std::less<>> m_controls;
  std::map<std::string, List, std::less<>> m_lists;
  std::vector<std::vector<QWidget*>> m_page_controls;
  QTabWidget* m_tabs = nullptr;
  PictureBox* m_picture = nullptr;
  QMenu* m_menu = nullptr;
  QMenu* m_header_menu = nullptr;
  // The order right-clicked when the menu opened, and the one a menu entry
  // is acting on (selected_row answers it while the entry runs); 0: none.
  RowKey m_menu_key = 0;
  RowKey m_acting_key = 0;
  // What the merchant removed from the order list, newest last: each row
  // with the place it had.
  std::vector<std::vector<std::pair<int, OrderRow>>> m_removed;
  QLineEdit* m_search = nullptr;
  QLabel* m_search_count = nullptr;
  QPushButton* m_scan_button = nullptr;
  QPushButton* m_print_pick_list = nullptr;
  QPushButton* m_print_slips = nullptr;
  bool m_gathering_print = false;  // a print's rows are being gathered on a worker
  QPushButton* m_waybill_print = nullptr;
  QPushButton* m_waybill_ship = nullptr;
  bool m_waybill_run = false;  // 取号打印 is running (UI thread only)
  QComboBox* m_sender_choice = nullptr;
  QLabel* m_status = nullptr;
  // Columns fitted to what they hold once a list or its details came.
  bool m_fit_columns = true;
  QTimer m_fit_timer;
  QPushButton* m_new_orders = nullptr;
  JournalPage* m_journal_page = nullptr;
  HistoryPage* m_history_page = nullptr;
  ReportPage* m_report_page = nullptr;
  QTimer m_timer;
  MessageHandler m_message_handler;
  DesktopNotifier* m_notifier = nullptr;
  std::function<Text(const Text&)> m_save_path_handler;
  std::function<bool(const QUrl&)> m_url_opener;

  std::atomic<bool> m_closed{false};
  std::mutex m_workers_mutex;
  std::condition_variable m_workers_changed;
  int m_workers = 0;
};

}  // namespace app
