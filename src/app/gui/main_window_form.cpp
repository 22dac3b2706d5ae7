// The Form side of the main window: every control operation, marshalled to
// the UI thread when called from a worker.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableView>
#include <QTextBlock>
#include <QThread>

#include <exception>
#include <set>
#include <thread>

#include "app/gui/batch_dialog.h"
#include "app/gui/caption_fit.h"
#include "app/gui/desktop_notifier.h"
#include "app/gui/dialogs.h"
#include "app/gui/journal_page.h"
#include "app/gui/main_window.h"
#include "app/gui/order_filter.h"
#include "app/gui/picture.h"
#include "app/gui/picture_box.h"
#include "app/gui/qt_text.h"
#include "app/gui/report_model.h"
#include "app/gui/tracking_window.h"
#include "app/gui/waybill_tools.h"
#include "core/speech.h"
#include "printing/paper.h"

namespace app {

namespace {

// Multi-line boxes hold LF internally; the system's texts use CR LF.
QString to_box(const Text& text) {
  QString s = qs(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}
Text from_box(const QString& text) {
  QString s = text;
  s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return tx(s);
}

}  // namespace

template <class F, class R>
R MainWindow::on_ui(F&& f, R fallback) {
  if (QThread::currentThread() == thread()) return f();
  if (m_closed) return fallback;
  R result = fallback;
  QMetaObject::invokeMethod(
      this,
      [&] {
        if (!m_closed) result = f();
      },
      Qt::BlockingQueuedConnection);
  return result;
}

template <class F>
void MainWindow::on_ui_void(F&& f) {
  if (QThread::currentThread() == thread()) return f();
  if (m_closed) return;
  QMetaObject::invokeMethod(
      this,
      [&] {
        if (!m_closed) f();
      },
      Qt::BlockingQueuedConnection);
}

QWidget* MainWindow::control(std::string_view name) const {
  auto it = m_controls.find(name);
  return it == m_controls.end() ? nullptr : it->second;
}

int MainWindow::List::table_row(const QModelIndex& view_index) const {
  if (!view_index.isValid()) return -1;
  return filter ? filter->source_row(view_index) : view_index.row();
}

QModelIndex MainWindow::List::view_index(int table_row) const {
  return filter ? filter->view_index(table_row) : model->index(table_row, 0);
}

MainWindow::List* MainWindow::list(std::string_view name) {
  auto it = m_lists.find(name);
  return it == m_lists.end() ? nullptr : &it->second;
}

Text MainWindow::text(std::string_view name) {
  return on_ui([&]() -> Text {
    QWidget* w = control(name);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return tx(e->text());
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return from_box(e->toPlainText());
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return tx(b->text());
    if (auto* l = qobject_cast<QLabel*>(w)) return tx(l->text());
    if (auto* g = qobject_cast<QGroupBox*>(w)) return tx(g->title());
    return {};
  });
}

void MainWindow::set_text(std::string_view name, const Text& value) {
  on_ui_void([&] {
    QWidget* w = control(name);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
      e->setText(qs(value));
    } else if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
      e->setPlainText(to_box(value));
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      b->setText(qs(value));
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
      l->setText(qs(value));
      fit_caption(l);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      g->setTitle(qs(value));
    }
  });
}

Text MainWindow::title() {
  return on_ui([&] { return tx(windowTitle()); });
}

void MainWindow::set_title(const Text& value) {
  on_ui_void([&] { setWindowTitle(qs(value)); });
}

void MainWindow::set_enabled(std::string_view name, bool enabled) {
  on_ui_void([&] {
    if (QWidget* w = control(name)) w->setEnabled(enabled);
  });
}

bool MainWindow::is_enabled(std::string_view name) {
  return on_ui([&] {
    QWidget* w = control(name);
    return w && w->isEnabled();
  });
}

bool MainWindow::is_checked(std::string_view name) {
  return on_ui([&] {
    auto* c = qobject_cast<QCheckBox*>(control(name));
    return c && c->isChecked();
  });
}

void MainWindow::set_progress(int position) {
  on_ui_void([&] {
    static_cast<QProgressBar*>(control("进度条1"))->setValue(std::clamp(position, 0, 100));
  });
}

void MainWindow::set_timer_interval(int milliseconds) {
  on_ui_void([&] {
    if (milliseconds <= 0) {
      m_timer.stop();
      m_timer.setInterval(0);
    } else if (!m_timer.isActive() || m_timer.interval() != milliseconds) {
      m_timer.start(milliseconds);
    }
  });
}

int MainWindow::timer_interval() {
  return on_ui([&] { return m_timer.isActive() ? m_timer.interval() : 0; });
}

void MainWindow::set_picture(const Bytes& image) {
  QImage picture = decode_picture(image);  // decoded on the caller's thread
  on_ui_void([&] { m_picture->set_picture(picture); });
}

void MainWindow::set_picture_mode(int mode) {
  on_ui_void([&] { m_picture->set_mode(mode); });
}

int MainWindow::row_count(std::string_view name) {
  return on_ui([&] {
    List* l = list(name);
    return l ? l->model->size() : 0;
  });
}

int MainWindow::append_row(std::string_view name, const std::vector<Text>& cells) {
  // A worker appends row after row: the view learns of them once a frame.
  const bool from_worker = QThread::currentThread() != thread();
  return on_ui(
      [&] {
        List* l = list(name);
        return l ? l->model->append_row(cells, !from_worker) : -1;
      },
      -1);
}

Text MainWindow::cell(std::string_view name, int row, int column) {
  return on_ui([&] {
    List* l = list(name);
    return l ? l->model->cell(row, column) : Text();
  });
}

std::vector<int> MainWindow::rows_where(std::string_view name, int column, const Text& text) {
  return on_ui([&] {
    std::vector<int> found;
    if (List* l = list(name))
      for (int r = 0, n = l->model->size(); r < n; ++r)
        if (l->model->cell(r, column) == text) found.push_back(r);
    return found;
  });
}

void MainWindow::set_tooltip(std::string_view control, const Text& text) {
  on_ui_void([&] {
    if (QWidget* w = findChild<QWidget*>(QString::fromUtf8(control.data(), static_cast<int>(control.size()))))
      w->setToolTip(qs(text));
  });
}

void MainWindow::set_cell(std::string_view name, int row, int column, const Text& value) {
  on_ui_void([&] {
    if (List* l = list(name)) l->model->set_cell(row, column, value);
  });
}

void MainWindow::delete_row(std::string_view name, int row) {
  on_ui_void([&] {
    List* l = list(name);
    if (!l) return;
    QItemSelectionModel* selection = l->view->selectionModel();
    const QModelIndex shown = l->view_index(row);
    const bool was_selected = selection && shown.isValid() && selection->isRowSelected(shown.row(), {});
    l->model->delete_row(row);
    // The view would move the selection to the next row, and a second
    // "删除本条订单" would then delete an order nobody chose.
    if (was_selected) selection->clear();
  });
}

void MainWindow::clear_rows(std::string_view name) {
  on_ui_void([&] {
    if (name == kOrderList) m_removed.clear();  // rewritten: nothing to put back into
    if (List* l = list(name)) l->model->clear_rows();
  });
}

void MainWindow::scroll_to_row(std::string_view name, int row) {
  on_ui_void([&] {
    List* l = list(name);
    if (!l || row < 0 || row >= l->model->size()) return;
    l->model->show_appended_rows();
    // Rows announced a moment ago are laid out by the view only later: lay
    // them out now, or the scroll range would not reach them yet.
    l->view->doItemsLayout();
    if (const QModelIndex shown = l->view_index(row); shown.isValid()) l->view->scrollTo(shown);
  });
}

int MainWindow::selected_row(std::string_view name) {
  return on_ui(
      [&] {
        List* l = list(name);
        if (!l || !l->view->selectionModel()) return -1;
        if (m_acting_key && name == kOrderList) return l->model->row_of_key(m_acting_key);
        const QModelIndexList rows = l->view->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : l->table_row(rows.first());
      },
      -1);
}

int MainWindow::column_count(std::string_view name) {
  return on_ui([&] {
    List* l = list(name);
    return l ? l->model->columnCount() : 0;
  });
}

Text MainWindow::column_title(std::string_view name, int column) {
  return on_ui([&] {
    List* l = list(name);
    if (!l || column < 0 || column >= l->model->columnCount()) return Text();
    return l->model->columns()[column].title;
  });
}

void MainWindow::append_column(std::string_view name, const Text& title, int width) {
  on_ui_void([&] {
    if (List* l = list(name)) {
      l->model->append_column(title, width);
      l->view->setColumnWidth(l->model->columnCount() - 1, std::max(0, width));
    }
  });
}

std::vector<OrderRow> MainWindow::rows(std::string_view name) {
  return on_ui([&] {
    List* l = list(name);
    return l ? l->model->rows() : std::vector<OrderRow>();
  });
}

void MainWindow::replace_rows(std::string_view name, const std::vector<OrderRow>& new_rows) {
  on_ui_void([&] {
    if (name == kOrderList) m_removed.clear();
    if (List* l = list(name)) l->model->replace_rows(new_rows);
  });
}

std::vector<RowKey> MainWindow::row_keys(std::string_view name) {
  return on_ui([&] {
    std::vector<RowKey> keys;
    if (List* l = list(name))
      for (int r = 0, n = l->model->size(); r < n; ++r) keys.push_back(l->model->row_key(r));
    return keys;
  });
}

RowKey MainWindow::row_key(std::string_view name, int row) {
  return on_ui([&] {
    List* l = list(name);
    return l ? l->model->row_key(row) : RowKey(0);
  });
}

int MainWindow::row_of_key(std::string_view name, RowKey key) {
  return on_ui([&] {
    List* l = list(name);
    return l ? l->model->row_of_key(key) : -1;
  });
}

bool MainWindow::set_cells_by_key(std::string_view name, RowKey key, int first_column,
                                  const std::vector<Text>& texts) {
  return on_ui([&] {
    List* l = list(name);
    int row = l ? l->model->row_of_key(key) : -1;
    if (row < 0) return false;
    for (std::size_t i = 0; i < texts.size(); ++i)
      l->model->set_cell(row, first_column + static_cast<int>(i), texts[i]);
    // A shipment's outcome is in the journal by now: the 发货记录 page, when
    // shown, reads it again (once for a burst of outcomes).
    const bool outcome = first_column <= kColShipStatus &&
                         first_column + static_cast<int>(texts.size()) > kColShipStatus;
    if (outcome && name == kOrderList && m_journal_page->isVisible()) m_journal_page->refresh_soon();
    return true;
  });
}

void MainWindow::append_log(const Text& value) {
  on_ui_void([&] {
    auto* log = static_cast<QPlainTextEdit*>(control("编辑框6"));
    QTextCursor cursor = log->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(to_box(value));
    log->setTextCursor(cursor);
    log->ensureCursorVisible();
    log->verticalScrollBar()->setValue(log->verticalScrollBar()->maximum());
  });
}

Answer MainWindow::message_box(const Text& value, const Text& title, Buttons buttons) {
  const Answer closed_answer = buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
  return on_ui(
      [&] {
        const Text shown_title = title.empty() ? web::gbk("信息：") : title;
        if (m_message_handler) return m_message_handler(value, shown_title, buttons);
        // No owner window; application-modal, so no window takes input until it is answered.
        QMessageBox box(QMessageBox::NoIcon, qs(shown_title), qs(value), QMessageBox::NoButton);
        box.setWindowModality(Qt::ApplicationModal);
        if (buttons == Buttons::YesNo) {
          box.addButton(QMessageBox::Yes)->setText(QString::fromUtf8("是(&Y)"));
          box.addButton(QMessageBox::No)->setText(QString::fromUtf8("否(&N)"));
          // Every question here is about shipping: Enter must not ship.
          box.setDefaultButton(QMessageBox::No);
          box.setEscapeButton(QMessageBox::No);
          return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
        }
        box.addButton(QMessageBox::Ok)->setText(QString::fromUtf8("确定"));
        box.exec();
        return Answer::Ok;
      },
      closed_answer);
}

void MainWindow::set_sender_addresses(const std::vector<SenderAddress>& addresses) {
  on_ui_void([&] {
    m_sender_choice->clear();
    const QString chosen = qs(text("编辑框13"));
    for (const SenderAddress& a : addresses) {
      const QString caption = a.text.empty() ? u("发货地址 ID %1").arg(qs(a.id))
                                             : qs(a.text) + u("（ID %1）").arg(qs(a.id));
      m_sender_choice->addItem(caption, qs(a.id));
      m_sender_choice->setItemData(m_sender_choice->count() - 1, caption, Qt::ToolTipRole);
    }
    m_sender_choice->setCurrentIndex(m_sender_choice->findData(chosen));
    m_sender_choice->setToolTip(m_sender_choice->currentText());
  });
}

void MainWindow::show_status(const Text& value) {
  on_ui_void([&] {
    m_status->setText(qs(value));
    m_status->setToolTip(qs(value));
  });
}

void MainWindow::show_failure(const Text& value) {
  on_ui_void([&] {
    show_status(value);
    // Operations that log a failure themselves do so just before showing it
    // (with several shops the status line adds the shop's label in front):
    // the log keeps each failure once.
    QTextBlock last = static_cast<QPlainTextEdit*>(control("编辑框6"))->document()->lastBlock();
    while (last.isValid() && last.text().trimmed().isEmpty()) last = last.previous();
    const QString logged = last.isValid() ? last.text().trimmed() : QString();
    if (logged.isEmpty() || !qs(value).endsWith(logged)) append_log(value + "\r\n");
  });
}

void MainWindow::show_new_orders(const std::vector<Text>& order_ids) {
  on_ui_void([&] {
    ReportModel& model = *m_lists.at(std::string(kOrderList)).model;
    std::set<Text> marked = model.marked();
    marked.insert(order_ids.begin(), order_ids.end());
    model.set_marked(kColId, marked);
    m_new_orders->setText(u("新订单 %1 笔").arg(marked.size()));
    m_new_orders->setToolTip(u("上次看订单列表以后新来的订单，在表格里标黄；点这里去看"));
    m_new_orders->setVisible(!marked.empty());
  });
}

void MainWindow::mark_new_orders_seen() {
  m_lists.at(std::string(kOrderList)).model->set_marked(kColId, {});
  m_new_orders->hide();
}

bool MainWindow::speak(const Text& value) {
  return m_speech && m_speech->speak(value);
}

void MainWindow::start_worker(std::function<void()> operation) {
  if (!operation) return;
  {
    std::lock_guard lock(m_workers_mutex);
    ++m_workers;
  }
  try {
    std::thread([this, operation = std::move(operation)]() mutable {
      try {
        operation();
      } catch (...) {
        // An operation reports its own failures; nothing may escape the thread.
      }
      // What the operation holds goes before the count drops: once it reads 0
      // the window and everything the operations use may be torn down.
      operation = nullptr;
      worker_ended();
    }).detach();
  } catch (const std::system_error&) {
    worker_ended();  // the thread could not be created: the operation does not run
  }
}

void MainWindow::worker_ended() {
  // Everything happens under the lock: once the count reads 0 the window may
  // be destroyed, so nothing of it is touched after the unlock.
  std::lock_guard lock(m_workers_mutex);
  --m_workers;
  m_workers_changed.notify_all();
  QMetaObject::invokeMethod(
      this, [] {}, Qt::QueuedConnection);  // wakes wait_for_workers
}

int MainWindow::running_workers() {
  std::lock_guard lock(m_workers_mutex);
  return m_workers;
}

bool MainWindow::wait_for_workers(std::chrono::milliseconds timeout) {
  if (QThread::currentThread() != thread()) {
    std::unique_lock lock(m_workers_mutex);
    return m_workers_changed.wait_for(lock, timeout, [this] { return m_workers == 0; });
  }
  // On the UI thread, keep serving the workers' control calls while waiting;
  // a worker's end and the deadline both wake the loop.
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.start(timeout);
  while (running_workers() > 0 && deadline.isActive())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return running_workers() == 0;
}

void MainWindow::process_events() {
  // An operation on the UI thread owns the window until it returns: it may
  // repaint and serve workers here, but a click or a drop waits until it is
  // over instead of starting a second operation inside this one (which could
  // then wait for the table the first one holds, forever).
  if (QThread::currentThread() == thread())
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::wait(const std::function<void()>& job) {
  if (QThread::currentThread() != thread()) return job();
  // The busy cursor tells the merchant why clicks do nothing meanwhile.
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  const auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
  std::atomic<bool> done{false};
  std::exception_ptr failure;
  QObject waker;
  std::thread helper([&] {
    try {
      job();
    } catch (...) {
      failure = std::current_exception();
    }
    done = true;
    QMetaObject::invokeMethod(
        &waker, [] {}, Qt::QueuedConnection);  // wakes the loop below
  });
  // Keep painting and serving workers' control calls, but take no user input.
  while (!done)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::WaitForMoreEvents);
  helper.join();
  if (failure) std::rethrow_exception(failure);
}

Text MainWindow::ask_save_path(const Text& suggested) {
  return on_ui([&] {
    if (m_save_path_handler) return m_save_path_handler(suggested);
    auto dialog = workbook_save_dialog(this, qs(suggested));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return Text();
    return tx(dialog->selectedFiles().first());
  });
}

BatchChoice MainWindow::ask_batch(int ready, int total, const std::vector<BatchProblem>& problems) {
  return on_ui([&] { return ask_batch_dialog(this, ready, total, problems); }, BatchChoice::Cancel);
}

void MainWindow::order_waybills_and_print(bool ship) {
  if (!m_ops.plan_waybills || !m_ops.order_waybills) return;
  if (m_waybill_run) return show_status(web::gbk("正在取号，请稍候"));
  const List& orders = m_lists.at(std::string(kOrderList));
  if (orders.model->size() == 0) {
    message_box(web::gbk("表格里没有订单：请先获取待发货订单"));
    return;
  }
  std::vector<RowKey> keys;
  const QModelIndexList selected = orders.view->selectionModel()->selectedRows();
  if (selected.size() > 1)
    for (const QModelIndex& shown : selected)
      if (const int row = orders.table_row(shown); row >= 0)
        keys.push_back(row_key(kOrderList, row));
  m_waybill_run = true;
  // Everything but the question and the printing runs on the worker: the
  // table stays usable while the provider answers.
  start_worker([this, keys, ship] {
    const auto done_guard = qScopeGuard([this] { on_ui_void([this] { m_waybill_run = false; }); });
    const waybill::WaybillPlan plan = m_ops.plan_waybills(keys);
    if (!plan.refusal.empty()) {
      message_box(web::utf8_to_gbk(plan.refusal + "（没有取任何面单）"));
      return;
    }
    if (plan.total == 0) {
      message_box(web::gbk("没有要取号的订单（已发货的不取）"));
      return;
    }
    const WaybillAnswer answer = on_ui([&] {
      return ask_waybill_dialog(this, plan, ship, QPrinterInfo::availablePrinterNames(),
                                printing::remembered_printer(m_settings, "label_printer"));
    });
    if (!answer.go) return;
    on_ui_void([&] { printing::remember_printer(m_settings, "label_printer", answer.printer); });
    run_waybills(plan.ready, ship, answer.printer, answer.preview);
  });
}

void MainWindow::run_waybills(const std::vector<RowKey>& keys, bool ship, const QString& printer,
                              bool preview) {
  const std::vector<waybill::WaybillOutcome> done = m_ops.order_waybills(keys, ship);
  std::vector<printing::LabelData> labels;
  int unknown = 0, failed = 0, shipped = 0;
  for (const waybill::WaybillOutcome& o : done) {
    if (!o.label.waybill_number.isEmpty()) labels.push_back(o.label);
    if (o.result == "unknown") ++unknown;
    if (o.waybill.empty() && o.result != "unknown") ++failed;
    if (o.shipped) ++shipped;
  }
  QString error;
  const bool printed = on_ui([&] {
    return print_waybill_labels(this, labels, printer, printing::remembered_label_paper(m_settings),
                                printing::masks_phone(m_settings), preview, &error);
  });
  if (printed) m_ops.mark_labels_printed(done);
  std::string said = "面单：打印" + std::to_string(printed ? labels.size() : 0) + "张";
  if (ship) said += "，发货" + std::to_string(shipped) + "笔";
  if (unknown) said += "，面单不明" + std::to_string(unknown) + "笔（请核对）";
  if (failed) said += "，取号失败" + std::to_string(failed) + "笔";
  if (!printed) said += "；" + error.toStdString();
  if (unknown || failed || !printed || (ship && shipped < static_cast<int>(labels.size())))
    show_failure(web::utf8_to_gbk(said));
  else
    show_status(web::utf8_to_gbk(said));
}

void MainWindow::print_row_waybill() {
  const int row = selected_row(kOrderList);
  if (row < 0 || !m_ops.waybill_label) return;
  const std::string id = web::gbk_to_utf8(cell(kOrderList, row, kColId));
  const printing::LabelData label = m_ops.waybill_label(id);
  const QString printer = printing::remembered_printer(m_settings, "label_printer");
  if (!label.waybill_number.isEmpty()) {
    QString error;
    if (print_waybill_labels(this, {label}, printer, printing::remembered_label_paper(m_settings),
                             printing::masks_phone(m_settings), false, &error)) {
      waybill::WaybillOutcome printed;
      printed.order_id = id;
      printed.waybill = label.waybill_number.toStdString();
      m_ops.mark_labels_printed({printed});
      show_status(web::utf8_to_gbk("面单 " + label.waybill_number.toStdString() + " 已打印"));
    } else {
      show_failure(tx(error));
    }
    return;
  }
  // None yet: this order's waybill is ordered as 取号打印 would, with no question.
  if (m_waybill_run) return show_status(web::gbk("正在取号，请稍候"));
  m_waybill_run = true;
  const RowKey key = row_key(kOrderList, row);
  start_worker([this, key, printer] {
    const auto done_guard = qScopeGuard([this] { on_ui_void([this] { m_waybill_run = false; }); });
    const waybill::WaybillPlan plan = m_ops.plan_waybills({key});
    if (!plan.refusal.empty() || plan.ready.empty()) {
      message_box(plan.refusal.empty() ? web::gbk("这一单不能取号：") + plan.problems.front().reason
                                       : web::utf8_to_gbk(plan.refusal));
      return;
    }
    run_waybills(plan.ready, false, printer, false);
  });
}

void MainWindow::cancel_row_waybill() {
  const int row = selected_row(kOrderList);
  if (row < 0 || !m_ops.cancel_waybill) return;
  const std::string id = web::gbk_to_utf8(cell(kOrderList, row, kColId));
  if (message_box(
          web::utf8_to_gbk("取消订单 " + web::gbk_to_utf8(cell(kOrderList, row, kColOrderNo)) +
                           " 的面单？取消后这个面单号不能再用。"),
          web::gbk("取消面单"), Buttons::YesNo) != Answer::Yes)
    return;
  std::string said;
  const bool done = m_ops.cancel_waybill(id, &said);
  message_box(web::utf8_to_gbk(said), done ? Text() : web::gbk("面单没有取消"));
}

void MainWindow::settle_row_waybill() {
  const int row = selected_row(kOrderList);
  if (row < 0) return;
  settle_waybill(web::gbk_to_utf8(cell(kOrderList, row, kColId)),
                 web::gbk_to_utf8(cell(kOrderList, row, kColOrderNo)));
}

void MainWindow::settle_waybill(const std::string& id, const std::string& no) {
  if (!m_ops.settle_waybill) return;
  bool ok = false;
  const QString typed =
      QInputDialog::getText(this, u("核对面单"),
                            u("订单 %1 上次取号没有收到回答。\n请在面单账户的后台查这一单：\n"
                              "查到了面单，填它的面单号；确认没有取到，留空。")
                                .arg(QString::fromStdString(no)),
                            QLineEdit::Normal, QString(), &ok)
          .trimmed();
  if (!ok) return;
  if (typed.isEmpty() &&
      message_box(web::gbk("确认面单账户里没有这一单的面单？确认后可以重新取号。"),
                  web::gbk("核对面单"), Buttons::YesNo) != Answer::Yes)
    return;
  std::string said;
  const bool done = m_ops.settle_waybill(id, typed.toStdString(), &said);
  message_box(web::utf8_to_gbk(said), done ? Text() : web::gbk("没有核对"));
}

void MainWindow::notify(const Text& title, const Text& body) {
  on_ui_void([&] { m_notifier->notify(qs(title), qs(body)); });
}

void MainWindow::show_to_ship_count(int count) {
  on_ui_void([&] { m_notifier->set_to_ship_count(count); });
}

void MainWindow::show_tracking(const TrackingTimeline& timeline) {
  on_ui_void([&] { show_tracking_window(this, timeline); });
}

}  // namespace app
