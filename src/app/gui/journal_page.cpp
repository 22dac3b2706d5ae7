#include "app/gui/journal_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "app/gui/dialogs.h"
#include "exchange/workbook_writer.h"
#include "store/shipping_journal.h"
#include "store/waybill_journal.h"

namespace app {

namespace {

const char* const kTitles[] = {"时间",       "批次", "ID",   "订单号", "快递",
                               "快递单号",   "发货地址ID", "结果", "消息",   "发货台"};

const char* const kWaybillTitles[] = {"面单号", "服务商", "状态", "时间",
                                      "订单号", "ID",     "消息", ""};

QString waybill_state_name(const std::string& state) {
  const std::pair<const char*, const char*> names[] = {
      {"sending", "正在取号"}, {"ordered", "已取号"},  {"printed", "已打印"},
      {"shipped", "已发货"},   {"failed", "取号失败"}, {"unknown", "面单不明"},
      {"cancelled", "已取消"}};
  for (const auto& [state_key, name] : names)
    if (state == state_key) return QString::fromUtf8(name);
  return QString::fromStdString(state);
}

QString outcome_name(const std::string& outcome) {
  if (outcome == "shipped") return QString::fromUtf8("发货成功");
  if (outcome == "failed") return QString::fromUtf8("发货失败");
  return QString::fromUtf8("不明");
}

// "2026-12-09T11:19:01+08:00" as this machine's local time, "2026-12-09 11:19:01".
QString local_time(const std::string& stored) {
  const QDateTime t = QDateTime::fromString(QString::fromStdString(stored), Qt::ISODate);
  return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                     : QString::fromStdString(stored);
}

}  // namespace

JournalPage::JournalPage(QWidget* parent) : QWidget(parent) {
  m_soon.setSingleShot(true);
  m_soon.setInterval(300);
  connect(&m_soon, &QTimer::timeout, this, [this] { refresh(); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* filters = new QHBoxLayout;
  m_outcome = new QComboBox(this);
  m_outcome->addItem(QString::fromUtf8("全部结果"), QString());
  m_outcome->addItem(QString::fromUtf8("发货成功"), QStringLiteral("shipped"));
  m_outcome->addItem(QString::fromUtf8("发货失败"), QStringLiteral("failed"));
  m_outcome->addItem(QString::fromUtf8("不明"), QStringLiteral("unknown"));
  m_use_date = new QCheckBox(QString::fromUtf8("起始日期"), this);
  m_since = new QDateEdit(QDate::currentDate(), this);
  m_since->setCalendarPopup(true);
  m_since->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  m_since->setEnabled(false);
  auto* reload = new QPushButton(QString::fromUtf8("刷新"), this);
  auto* save = new QPushButton(QString::fromUtf8("导出"), this);
  auto* settle = new QPushButton(QString::fromUtf8("核对未确认的发货"), this);
  settle->setObjectName(QStringLiteral("核对未确认的发货"));
  settle->setToolTip(QString::fromUtf8("结果不明的发货，到后台的订单页面上看发出去没有"));
  m_status = new QLabel(this);
  filters->addWidget(m_outcome);
  filters->addWidget(m_use_date);
  filters->addWidget(m_since);
  filters->addWidget(reload);
  filters->addWidget(save);
  filters->addWidget(settle);
  filters->addWidget(m_status, 1);
  layout->addLayout(filters);

  m_table = new QTableWidget(0, static_cast<int>(std::size(kTitles)), this);
  QStringList titles;
  for (const char* t : kTitles) titles << QString::fromUtf8(t);
  m_table->setHorizontalHeaderLabels(titles);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->verticalHeader()->hide();
  m_table->horizontalHeader()->setStretchLastSection(true);
  m_waybills = new QTableWidget(0, static_cast<int>(std::size(kWaybillTitles)), this);
  m_waybills->setObjectName(QStringLiteral("电子面单记录"));
  QStringList waybill_titles;
  for (const char* t : kWaybillTitles) waybill_titles << QString::fromUtf8(t);
  m_waybills->setHorizontalHeaderLabels(waybill_titles);
  m_waybills->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_waybills->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_waybills->verticalHeader()->hide();
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(m_table);
  split->addWidget(m_waybills);
  layout->addWidget(split);

  connect(m_outcome, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
  connect(m_use_date, &QCheckBox::toggled, this, [this](bool on) {
    m_since->setEnabled(on);
    refresh();
  });
  connect(m_since, &QDateEdit::dateChanged, this, [this] { refresh(); });
  connect(reload, &QPushButton::clicked, this, [this] { refresh(); });
  connect(save, &QPushButton::clicked, this, [this] { export_shown(); });
  connect(settle, &QPushButton::clicked, this, [this] {
    if (m_settle) m_settle();
    refresh();
  });
}

void JournalPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
}

void JournalPage::set_database(store::Database* database) {
  m_database = database;
  refresh();
}

void JournalPage::refresh() {
  m_table->setRowCount(0);
  if (!m_database || !m_database->ok()) {
    m_status->setText(m_database ? QString::fromStdString(m_database->error()) : QString());
    return;
  }
  const std::string since =
      m_use_date->isChecked() ? m_since->date().toString(Qt::ISODate).toStdString() : std::string();
  const auto entries = store::ShippingJournal(*m_database, m_shop ? m_shop() : std::string())
                           .entries(since, m_outcome->currentData().toString().toStdString());
  m_table->setRowCount(static_cast<int>(entries.size()));
  for (int r = 0; r < static_cast<int>(entries.size()); ++r) {
    const store::Shipment& e = entries[r];
    const std::string cells[] = {e.time,        e.batch,     e.order_id, e.order_no, e.courier,
                                 e.tracking_no, e.sender_id, "",         e.message,  e.station};
    for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
      const QString text = c == 0   ? local_time(e.time)
                           : c == 7 ? outcome_name(e.outcome)
                                    : QString::fromStdString(cells[c]);
      m_table->setItem(r, c, new QTableWidgetItem(text));
    }
  }
  m_table->resizeColumnsToContents();
  m_status->setText(QString::fromUtf8("共%1条").arg(entries.size()));
  show_waybills();
}

void JournalPage::show_waybills() {
  m_waybills->setRowCount(0);
  std::vector<store::WaybillRecord> records =
      store::WaybillJournal(*m_database, m_shop ? m_shop() : std::string()).entries();
  // The unknown ones wait for the merchant: first, newest first like the rest.
  std::stable_partition(records.begin(), records.end(),
                        [](const store::WaybillRecord& r) { return r.state == "unknown"; });
  m_waybills->setRowCount(static_cast<int>(records.size()));
  for (int r = 0; r < static_cast<int>(records.size()); ++r) {
    const store::WaybillRecord& w = records[r];
    const QString cells[] = {QString::fromStdString(w.waybill.number),
                             w.provider == "kuaidi100" ? QString::fromUtf8("快递100")
                             : w.provider == "kdniao"  ? QString::fromUtf8("快递鸟")
                                                       : QString::fromStdString(w.provider),
                             waybill_state_name(w.state),
                             local_time(w.updated),
                             QString::fromStdString(w.order_no),
                             QString::fromStdString(w.order_id),
                             QString::fromStdString(w.message)};
    for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (w.state == "unknown") item->setForeground(QColor(0xc0, 0, 0));
      m_waybills->setItem(r, c, item);
    }
    if (w.state != "unknown") continue;
    auto* settle = new QPushButton(QString::fromUtf8("核对"), m_waybills);
    settle->setToolTip(QString::fromUtf8("在面单账户的后台查到的面单号填进来，或确认没有取到"));
    connect(settle, &QPushButton::clicked, this, [this, id = w.order_id, no = w.order_no] {
      if (m_settle_waybill) m_settle_waybill(id, no);
      refresh();
    });
    m_waybills->setCellWidget(r, static_cast<int>(std::size(cells)), settle);
  }
  m_waybills->resizeColumnsToContents();
}

void JournalPage::export_shown() {
  auto dialog = workbook_save_dialog(this, QString::fromUtf8("发货记录.xlsx"));
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
  const std::string path = dialog->selectedFiles().first().toStdString();
  std::vector<std::string> titles(std::begin(kTitles), std::end(kTitles));
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < m_table->rowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < m_table->columnCount(); ++c)
      row.push_back(m_table->item(r, c) ? m_table->item(r, c)->text().toStdString() : std::string());
    rows.push_back(std::move(row));
  }
  const std::string why = exchange::write_workbook(path, titles, rows);
  QMessageBox::information(this, QString::fromUtf8("信息："),
                           why.empty() ? QString::fromUtf8("导出成功！")
                                       : QString::fromUtf8("导出失败：") + QString::fromStdString(why));
}

}  // namespace app
