#include "app/gui/report_page.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <ctime>

#include "app/gui/date_box.h"
#include "app/gui/dialogs.h"
#include "app/gui/history_page.h"
#include "app/gui/qt_text.h"
#include "charts/report_charts.h"
#include "charts/report_pdf.h"
#include "core/archive_keeping.h"
#include "core/context.h"
#include "exchange/export.h"
#include "report/report_output.h"
#include "store/database.h"

namespace app {

namespace {

constexpr report::Preset kPresets[] = {report::Preset::Today,      report::Preset::Yesterday,
                                       report::Preset::Last7Days,  report::Preset::Last30Days,
                                       report::Preset::ThisMonth, report::Preset::LastMonth};

// A view owns the chart it shows but lets go of the one before: deleted here.
void show_chart(QChartView* view, QChart* chart) {
  QChart* before = view->chart();
  view->setChart(chart);
  delete before;
}

QChartView* chart_view(QWidget* parent) {
  auto* view = new QChartView(parent);
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(160, 120);
  return view;
}

}  // namespace

ReportPage::ReportPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("统计"));
  m_preset = new QComboBox(this);
  m_preset->setObjectName(QStringLiteral("统计范围"));
  for (report::Preset p : kPresets) m_preset->addItem(QString::fromUtf8(report::preset_caption(p)));
  m_preset->addItem(QString::fromUtf8("自定义"));
  m_preset->setCurrentIndex(3);  // 近30天
  m_since = new DateBox(this);
  m_until = new DateBox(this);
  for (QDateEdit* d : {m_since, m_until})
    d->setToolTip(QString::fromUtf8("可以直接输入日期，如 20240501 或 2024-05-01，回车生效"));
  m_by = new QComboBox(this);
  m_by->setObjectName(QStringLiteral("统计周期"));
  m_by->addItems({QString::fromUtf8("按天"), QString::fromUtf8("按周"), QString::fromUtf8("按月")});
  auto* save = new QPushButton(QString::fromUtf8("导出"), this);
  auto* menu = new QMenu(save);
  save->setMenu(menu);

  // Whose figures these are: the store's name as the back office gives it.
  m_shop = new QLabel(this);
  m_shop->setObjectName(QStringLiteral("统计店铺"));
  m_shop->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; }"));

  auto* bar = new QHBoxLayout;
  bar->addWidget(m_shop);
  bar->addWidget(m_preset);
  bar->addWidget(m_since);
  bar->addWidget(new QLabel(QString::fromUtf8("至"), this));
  bar->addWidget(m_until);
  bar->addWidget(m_by);
  bar->addStretch(1);
  bar->addWidget(save);

  auto* figures = new QHBoxLayout;
  for (int i = 0; i < 7; ++i) {
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("QLabel { border: 1px solid #d0d0d0; padding: 2px 4px; background: white; }"));
    figures->addWidget(label, i == 3 || i == 5 ? 3 : 2);
    m_figures.push_back(label);
  }
  m_sentence = new QLabel(this);
  m_sentence->setObjectName(QStringLiteral("统计说明"));
  m_sentence->setWordWrap(true);
  m_sentence->hide();

  m_periods = chart_view(this);
  m_goods = chart_view(this);
  m_hours = chart_view(this);
  m_late = new QTableWidget(0, 3, this);
  m_late->setObjectName(QStringLiteral("超时未发货"));
  m_late->setHorizontalHeaderLabels({QString::fromUtf8("超时未发货"), QString::fromUtf8("支付时间"),
                                     QString::fromUtf8("小时")});
  m_late->verticalHeader()->hide();
  m_late->verticalHeader()->setDefaultSectionSize(18);
  m_late->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_late->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_late->setToolTip(QString::fromUtf8("付款已久还没发货的订单；点一下打开"));
  auto* charts = new QHBoxLayout;
  charts->addWidget(m_periods, 5);
  charts->addWidget(m_goods, 3);
  charts->addWidget(m_hours, 3);
  charts->addWidget(m_late, 2);

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(4, 4, 4, 4);
  page->setSpacing(4);
  page->addLayout(bar);
  page->addLayout(figures);
  page->addWidget(m_sentence);
  page->addLayout(charts, 1);

  // Nothing is counted (or drawn) until the page is first shown.
  show_preset_dates(m_preset->currentIndex());
  connect(m_preset, &QComboBox::activated, this, &ReportPage::choose_preset);
  // A date chosen or typed makes the range the merchant's own (自定义).
  for (QDateEdit* d : {m_since, m_until})
    connect(d, &QDateEdit::dateChanged, this, [this] {
      m_preset->setCurrentIndex(m_preset->count() - 1);
      refresh();
    });
  connect(m_by, &QComboBox::activated, this, [this] { refresh(); });
  connect(m_late, &QTableWidget::cellClicked, this, [this](int row, int) { open_late_order(row); });
  connect(menu->addAction(QString::fromUtf8("整页PDF…")), &QAction::triggered, this, [this] { export_page(); });
  connect(menu->addAction(QString::fromUtf8("数据工作簿…")), &QAction::triggered, this, [this] {
    auto dialog = workbook_save_dialog(this, export_path_for(QString::fromUtf8("统计.xlsx")));
    dialog->setWindowTitle(QString::fromUtf8("导出统计"));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
    const QString path = dialog->selectedFiles().first();
    exchange::remember_export_path(tx(path));
    QString error;
    if (!save_workbook(path, &error)) QMessageBox::critical(this, QString::fromUtf8("导出"), error);
  });
}

void ReportPage::set_context(Context* ctx, bool all_shops) {
  m_ctx = ctx;
  m_all_shops = all_shops;
}

void ReportPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  choose_preset(m_preset->currentIndex());  // 今天 is another day after midnight
}

void ReportPage::choose_preset(int index) {
  show_preset_dates(index);
  refresh();
}

void ReportPage::show_preset_dates(int index) {
  const bool custom = index >= static_cast<int>(std::size(kPresets));
  if (!custom) {
    const report::Range r = report::preset_range(kPresets[index], report::today());
    const QSignalBlocker a(m_since), b(m_until);
    m_since->setDate(QDate::fromString(q8(r.since), Qt::ISODate));
    m_until->setDate(QDate::fromString(q8(r.until), Qt::ISODate));
  }
}

QString ReportPage::shop_name() const {
  if (!m_ctx) return {};
  if (m_all_shops) return QString::fromUtf8("全部店铺");
  const Text store = m_ctx->store_name.get();
  return qs(store.empty() ? m_ctx->shop_label : store);
}

void ReportPage::refresh() {
  const int generation = ++m_generation;  // an older count's figures are dropped
  // A login since the last count may have named the store.
  m_shop->setText(shop_name());
  if (!m_ctx || !m_ctx->archive) return show_report(generation, std::nullopt, "没有订单存档");
  report::ReportRequest request;
  request.range = {m_since->date().toString(Qt::ISODate).toStdString(),
                   m_until->date().toString(Qt::ISODate).toStdString()};
  if (const auto problem = report::range_problem(request.range))
    return show_report(generation, std::nullopt, *problem);
  request.by = static_cast<report::Grouping>(m_by->currentIndex());
  request.now = std::time(nullptr);
  request.late_hours = report::late_hours_setting(m_ctx->settings);
  m_sentence->setText(QString::fromUtf8("正在统计……"));
  m_sentence->show();
  store::OrderArchive* archive = m_ctx->archive;
  const std::string shop = m_all_shops ? std::string() : shop_of(*m_ctx);  // empty: every shop's
  m_ctx->form.start_worker([this, archive, shop, request, generation] {
    std::string error;
    std::optional<report::Report> r = report::make_report(*archive, shop, request, &error);
    QMetaObject::invokeMethod(
        this, [this, generation, r = std::move(r), error] { show_report(generation, r, error); },
        Qt::QueuedConnection);
  });
}

void ReportPage::show_report(int generation, std::optional<report::Report> r, const std::string& error) {
  if (generation != m_generation) return;
  m_report = std::move(r);
  const std::string why = m_report ? report::empty_report_sentence(*m_report)
                                   : (m_ctx && m_ctx->archive ? "统计不了：" : "") + error;
  m_sentence->setText(q8(why));
  m_sentence->setVisible(!why.empty());
  const report::Report empty;
  const report::Report& shown = m_report ? *m_report : empty;
  const auto figures = report::headline_figures(shown);
  for (std::size_t i = 0; i < m_figures.size() && i < figures.size(); ++i) {
    // The value large, what it means under it (the note is also the tooltip).
    m_figures[i]->setText(
        QStringLiteral("<span style='color:#606060'>%1</span><br><b style='font-size:13pt'>%2</b>"
                       "<br><span style='color:#606060'>%3</span>")
            .arg(q8(figures[i].caption).toHtmlEscaped(), q8(figures[i].value).toHtmlEscaped(),
                 q8(figures[i].note).toHtmlEscaped()));
    m_figures[i]->setToolTip(q8(figures[i].note));
  }

  QChart* periods = charts::period_chart(shown);
  if (auto* bars = qobject_cast<QBarSeries*>(periods->series().value(0)); bars && !bars->barSets().isEmpty())
    connect(bars->barSets().front(), &QBarSet::clicked, this, [this, shown_periods = shown.periods](int index) {
      if (index < 0 || index >= static_cast<int>(shown_periods.size()) || !on_period_chosen) return;
      const auto& p = shown_periods[static_cast<std::size_t>(index)].period;
      on_period_chosen(QDate::fromString(q8(p.since), Qt::ISODate), QDate::fromString(q8(p.until), Qt::ISODate));
    });
  show_chart(m_periods, periods);
  show_chart(m_goods, charts::top_goods_chart(shown));
  show_chart(m_hours, charts::ship_hours_chart(shown));

  m_late->setRowCount(static_cast<int>(shown.late.size()));
  for (int row = 0; row < m_late->rowCount(); ++row) {
    const report::LateOrder& o = shown.late[static_cast<std::size_t>(row)];
    m_late->setItem(row, 0, new QTableWidgetItem(q8(o.order_no.empty() ? o.id : o.order_no)));
    m_late->setItem(row, 1, new QTableWidgetItem(q8(o.pay_time)));
    m_late->setItem(row, 2, new QTableWidgetItem(QString::number(o.hours)));
  }
  m_late->resizeColumnsToContents();
}

void ReportPage::open_late_order(int row) {
  if (!m_ctx || !m_ctx->archive || !m_report || row < 0 || row >= static_cast<int>(m_report->late.size())) return;
  if (const auto order = m_ctx->archive->find(shop_of(*m_ctx), m_report->late[static_cast<std::size_t>(row)].id))
    open_archived_order(this, *order, row + 1);
}

bool ReportPage::save_pdf(const QString& path, QString* error) const {
  if (!m_report) return *error = QString::fromUtf8("还没有统计结果"), false;
  return charts::write_report_pdf(path, *m_report, shop_name(), error);
}

bool ReportPage::save_workbook(const QString& path, QString* error) const {
  if (!m_report) return *error = QString::fromUtf8("还没有统计结果"), false;
  const std::string why = report::write_report_workbook(path.toStdString(), *m_report);
  if (!why.empty()) *error = q8(why);
  return why.empty();
}

void ReportPage::export_page() {
  const QString path = QFileDialog::getSaveFileName(this, QString::fromUtf8("导出统计"),
                                                    export_path_for(QString::fromUtf8("统计.pdf")),
                                                    QString::fromUtf8("PDF 文件 (*.pdf)"));
  if (path.isEmpty()) return;
  exchange::remember_export_path(tx(path));
  QString error;
  if (!save_pdf(path, &error)) QMessageBox::critical(this, QString::fromUtf8("导出"), error);
}

}  // namespace app
