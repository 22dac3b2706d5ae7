#include "app/gui/history_page.h"


#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/gui/column_fit.h"
#include "app/gui/date_box.h"
#include "app/gui/dialogs.h"
#include "app/gui/qt_text.h"
#include "app/gui/row_window.h"
#include "app/wiring/operations.h"
#include "archive/archive_workbooks.h"
#include "core/archive_keeping.h"
#include "core/columns.h"
#include "core/context.h"
#include "exchange/export.h"
#include "store/database.h"
#include "web/markup.h"

namespace app {

HistoryPage::HistoryPage(QWidget* parent) : QWidget(parent) {
  m_typing.setSingleShot(true);
  m_typing.setInterval(250);  // one search after a burst of typing
  connect(&m_typing, &QTimer::timeout, this, [this] { search(); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* filters = new QHBoxLayout;
  m_text = new QLineEdit(this);
  m_text->setObjectName(QStringLiteral("历史订单搜索"));
  m_text->setPlaceholderText(QString::fromUtf8("订单号、ID、会员、收货人、电话、地址、商品、留言、快递单号"));
  m_text->setClearButtonEnabled(true);
  m_state = new QComboBox(this);
  m_state->setObjectName(QStringLiteral("历史订单状态"));
  for (const char* s : {"全部状态", "待付款", "待发货", "待收货", "已完成"})
    m_state->addItem(QString::fromUtf8(s));
  m_use_dates = new QCheckBox(QString::fromUtf8("支付时间"), this);
  // Dates typed whole ("20240501", "2024-05-01") are taken, as on 统计.
  m_since = new DateBox(this);
  m_until = new DateBox(this);
  m_since->setDate(QDate::currentDate().addMonths(-1));
  m_until->setDate(QDate::currentDate());
  for (QDateEdit* d : {m_since, m_until}) d->setEnabled(false);
  m_count = new QLabel(this);
  m_count->setObjectName(QStringLiteral("历史订单数"));
  auto* load = new QPushButton(QString::fromUtf8("载入到订单列表"), this);
  load->setObjectName(QStringLiteral("载入到订单列表"));
  auto* save = new QPushButton(QString::fromUtf8("导出"), this);
  auto* bring = new QPushButton(QString::fromUtf8("导入旧表格…"), this);
  bring->setObjectName(QStringLiteral("导入旧表格"));
  bring->setToolTip(QString::fromUtf8("把以前导出的订单表格存进历史订单（订单列表不变）"));
  auto* forget = new QPushButton(QString::fromUtf8("清除存档…"), this);
  forget->setObjectName(QStringLiteral("清除存档"));
  filters->addWidget(m_text, 2);
  filters->addWidget(m_state);
  filters->addWidget(m_use_dates);
  filters->addWidget(m_since);
  filters->addWidget(new QLabel(QString::fromUtf8("至"), this));
  filters->addWidget(m_until);
  filters->addWidget(m_count, 1);
  filters->addWidget(load);
  filters->addWidget(save);
  filters->addWidget(bring);
  filters->addWidget(forget);
  layout->addLayout(filters);

  QStringList titles;
  for (const ListColumn& c : order_columns()) titles << QString::fromUtf8(c.title);
  titles << QString::fromUtf8("首次看到") << QString::fromUtf8("最后看到");
  m_table = new QTableWidget(0, static_cast<int>(titles.size()), this);
  m_table->setObjectName(QStringLiteral("历史订单表"));
  m_table->setHorizontalHeaderLabels(titles);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->verticalHeader()->hide();
  // Rows as compact as the order list's, so a search shows as many orders.
  m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_table->verticalHeader()->setDefaultSectionSize(18);
  m_table->setWordWrap(false);
  for (int c = 0; c < static_cast<int>(order_columns().size()); ++c)
    if (order_columns()[c].width == 0) m_table->hideColumn(c);
  layout->addWidget(m_table);

  connect(m_text, &QLineEdit::textChanged, this, [this] { m_typing.start(); });
  connect(m_state, &QComboBox::currentIndexChanged, this, [this] { search(); });
  connect(m_use_dates, &QCheckBox::toggled, this, [this](bool on) {
    m_since->setEnabled(on);
    m_until->setEnabled(on);
    search();
  });
  for (QDateEdit* d : {m_since, m_until})
    connect(d, &QDateEdit::dateChanged, this, [this] { search(); });
  connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { open_order(row); });
  connect(load, &QPushButton::clicked, this, [this] { load_into_order_list(); });
  connect(save, &QPushButton::clicked, this, [this] { export_found(); });
  connect(bring, &QPushButton::clicked, this, [this] { import_workbooks(); });
  connect(forget, &QPushButton::clicked, this, [this] { forget_old_orders(); });
}

void HistoryPage::set_context(Context* ctx) {
  m_ctx = ctx;
}

void HistoryPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  search();
  offer_states();
}

void HistoryPage::offer_states() {
  if (!m_ctx || !m_ctx->archive) return;
  store::OrderArchive* archive = m_ctx->archive;
  m_ctx->form.start_worker([this, archive] {
    std::string error;
    std::vector<std::string> states = archive->states(&error);
    QMetaObject::invokeMethod(
        this,
        [this, states = std::move(states)] {
          // The usual four stay first; states of this back office's own follow.
          for (const std::string& s : states)
            if (m_state->findText(q8(s)) < 0) m_state->addItem(q8(s));
        },
        Qt::QueuedConnection);
  });
}

store::ArchiveQuery HistoryPage::query() const {
  store::ArchiveQuery q;
  q.text = m_text->text().trimmed().toStdString();
  if (m_state->currentIndex() > 0) q.state = m_state->currentText().toStdString();
  if (m_use_dates->isChecked()) {
    q.since = m_since->date().toString(Qt::ISODate).toStdString();
    q.until = m_until->date().toString(Qt::ISODate).toStdString();
  }
  q.limit = kShown;
  return q;
}

void HistoryPage::search() {
  const int generation = ++m_generation;  // what an older search finds is dropped
  if (!m_ctx || !m_ctx->archive) {
    show_found(generation, {}, 0, "没有订单存档");
    return;
  }
  const store::ArchiveQuery q = query();
  if (!q.since.empty() && q.until < q.since) {
    show_found(generation, {}, 0, "结束日期在开始日期之前");
    return;
  }
  m_count->setText(QString::fromUtf8("正在查找……"));
  // A search of one or two characters may read every record: off the
  // window's thread, and the one before it stopped.
  if (m_ctx->database) m_ctx->database->interrupt_read();
  store::OrderArchive* archive = m_ctx->archive;
  m_ctx->form.start_worker([this, archive, q, generation] {
    std::string error;
    std::vector<store::ArchivedOrder> found = archive->search(q, &error);
    auto total = static_cast<std::int64_t>(found.size());
    if (error.empty() && total == kShown) total = archive->count(q, &error).value_or(total);
    QMetaObject::invokeMethod(
        this,
        [this, generation, found = std::move(found), total, error] {
          show_found(generation, found, total, error);
        },
        Qt::QueuedConnection);
  });
}

void HistoryPage::show_found(int generation, const std::vector<store::ArchivedOrder>& found,
                             std::int64_t total, const std::string& error) {
  if (generation != m_generation) return;
  m_table->setRowCount(0);
  m_found.clear();
  if (!error.empty()) {
    m_count->setText(m_ctx && m_ctx->archive ? QString::fromUtf8("查不了：") + q8(error) : q8(error));
    return;
  }
  m_found = found;
  m_table->setUpdatesEnabled(false);
  m_table->setRowCount(static_cast<int>(m_found.size()));
  for (int r = 0; r < static_cast<int>(m_found.size()); ++r) {
    const store::ArchivedOrder& o = m_found[r];
    for (int c = 1; c < store::kArchivedColumns; ++c)
      // 会员 as the order list shows it: without the list page's markup.
      m_table->setItem(r, c, new QTableWidgetItem(q8(c == app::kColMember ? web::gbk_to_utf8(web::without_markup(web::utf8_to_gbk(o.cells[c])))
                                                                       : o.cells[c])));
    m_table->setItem(r, 0, new QTableWidgetItem(QString::number(r + 1)));
    m_table->setItem(r, store::kArchivedColumns, new QTableWidgetItem(q8(archive::seen_time_text(o.first_seen))));
    m_table->setItem(r, store::kArchivedColumns + 1, new QTableWidgetItem(q8(archive::seen_time_text(o.last_seen))));
  }
  fit_order_columns(m_table);  // the order list's columns, fitted as there
  for (int c = store::kArchivedColumns; c < m_table->columnCount(); ++c) m_table->resizeColumnToContents(c);
  m_table->setUpdatesEnabled(true);
  m_count->setText(total > static_cast<std::int64_t>(m_found.size())
                       ? QString::fromUtf8("找到 %1 笔，显示最新的 %2 笔").arg(total).arg(m_found.size())
                       : QString::fromUtf8("找到 %1 笔").arg(total));
}

void open_archived_order(QWidget* parent, const store::ArchivedOrder& order, int serial) {
  std::vector<Text> titles;
  for (const ListColumn& c : order_columns()) titles.push_back(web::gbk(c.title));
  OrderRow cells = table_row_of(order);
  cells[kColSerial] = std::to_string(serial);
  show_row_window(parent, titles, cells, extras_of_archived(order));
}

void HistoryPage::open_order(int row) {
  if (row < 0 || row >= static_cast<int>(m_found.size())) return;
  open_archived_order(this, m_found[row], row + 1);
}

void HistoryPage::show_pay_range(const QDate& since, const QDate& until) {
  const QSignalBlocker quiet_text(m_text), quiet_state(m_state), quiet_dates(m_use_dates),
      quiet_since(m_since), quiet_until(m_until);
  m_typing.stop();
  m_text->clear();
  m_state->setCurrentIndex(0);
  m_use_dates->setChecked(true);
  m_since->setEnabled(true);
  m_until->setEnabled(true);
  m_since->setDate(since);
  m_until->setDate(until);
  search();
}

void HistoryPage::load_into_order_list() {
  if (!m_ctx) return;
  if (m_found.empty()) {
    QMessageBox::information(this, QString::fromUtf8("信息："), QString::fromUtf8("没有找到的订单可以载入"));
    return;
  }
  archive::load_into_order_list(*m_ctx, m_found);
}

void HistoryPage::export_found() {
  auto dialog = workbook_save_dialog(this, export_path_for(QString::fromUtf8("历史订单.xlsx")));
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
  const QString path = dialog->selectedFiles().first();
  exchange::remember_export_path(tx(path));
  const std::string why = archive::write_orders(path.toStdString(), m_found);
  QMessageBox::information(this, QString::fromUtf8("信息："),
                           why.empty() ? QString::fromUtf8("导出成功！")
                                       : QString::fromUtf8("导出失败：") + q8(why));
}

void HistoryPage::import_workbooks() {
  if (!m_ctx) return;
  const QStringList files = QFileDialog::getOpenFileNames(
      this, QString::fromUtf8("导入旧表格到历史订单"), QString(),
      QString::fromUtf8("Excel 工作簿 (*.xlsx *.xls);;所有文件 (*)"));
  if (files.isEmpty()) return;
  std::vector<std::string> paths;
  for (const QString& f : files) paths.push_back(f.toStdString());
  const archive::ImportCounts counts = archive::import_workbooks(*m_ctx, paths);
  QString text = QString::fromUtf8("存入历史订单 %1 笔（%2 个文件）").arg(counts.orders).arg(counts.files_read);
  if (counts.without_id > 0) text += QString::fromUtf8("，%1 行没有ID，跳过了").arg(counts.without_id);
  for (const std::string& f : counts.failures) text += QString::fromUtf8("\n没有导入：") + q8(f);
  QMessageBox::information(this, QString::fromUtf8("信息："), text);
  search();
}

void HistoryPage::forget_old_orders() {
  if (!m_ctx || !m_ctx->archive) return;
  bool ok = false;
  const QString date = QInputDialog::getText(
      this, QString::fromUtf8("清除存档"),
      QString::fromUtf8("清除这一天以前支付（未支付的：以前首次看到）的订单：\nYYYY-MM-DD"), QLineEdit::Normal,
      QDate::currentDate().addYears(-1).toString(Qt::ISODate), &ok);
  if (!ok) return;
  const QDate parsed = QDate::fromString(date.trimmed(), Qt::ISODate);
  if (!parsed.isValid()) {
    QMessageBox::warning(this, QString::fromUtf8("信息："), QString::fromUtf8("日期应写成 YYYY-MM-DD"));
    return;
  }
  const std::string day = parsed.toString(Qt::ISODate).toStdString();
  if (QMessageBox::question(this, QString::fromUtf8("清除存档"),
                            QString::fromUtf8("确定清除 %1 以前的订单存档吗？清除后不能恢复。").arg(q8(day))) !=
      QMessageBox::Yes)
    return;
  std::string error;
  const auto forgotten = m_ctx->archive->forget_before(day, &error);
  QMessageBox::information(this, QString::fromUtf8("信息："),
                           forgotten ? QString::fromUtf8("清除了 %1 笔订单").arg(*forgotten)
                                     : QString::fromUtf8("没有清除：") + q8(error));
  search();
}

}  // namespace app
