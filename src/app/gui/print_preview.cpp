#include "app/gui/print_preview.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QStandardPaths>
#include <QToolBar>

#include <algorithm>

#include "app/gui/qt_text.h"
#include "core/settings.h"
#include "exchange/export.h"
#include "printing/documents.h"

namespace app {

namespace {

// Fine enough that a barcode's module widths come out exact.
constexpr int kPrinterDpi = 600;

}  // namespace

PrintPreview::PrintPreview(QWidget* parent, Settings& settings, printing::PrintJob job)
    : QPrintPreviewDialog(parent), m_settings(settings), m_job(std::move(job)) {
  m_printer = printer();  // the dialog's own
  m_printer->setResolution(kPrinterDpi);
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName(QStringLiteral("打印预览"));
  const QString title = printing::document_title(m_job.document);
  setWindowTitle(u("%1 — 打印预览（%2笔订单）").arg(title).arg(m_job.orders.size()));
  m_options.paper = printing::remembered_paper(settings);
  m_options.mask_phone = printing::masks_phone(settings);
  m_printer->setDocName(title);
  // Slips and pick lists go to the paper printer, never the label printer.
  if (const QString chosen = printing::remembered_printer(settings, "paper_printer");
      !chosen.isEmpty()) {
    m_printer->setPrinterName(chosen);
    if (!m_printer->isValid()) m_printer->setPrinterName(QString());  // gone: the default
  }
  m_printer->setPageLayout(printing::page_layout(m_options.paper));
  m_preview = findChild<QPrintPreviewWidget*>();
  connect(this, &QPrintPreviewDialog::paintRequested, this, &PrintPreview::paint);

  // The documents' own choices on a bar of their own under Qt's, which is full.
  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("打印选项"));
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  if (auto* box = qobject_cast<QBoxLayout*>(layout()))
    box->insertWidget(0, bar);
  else
    bar->show();
  bar->addWidget(new QLabel(u("纸张："), bar));
  m_paper_choice = new QComboBox(bar);
  m_paper_choice->setObjectName(QStringLiteral("纸张"));
  m_paper_choice->setToolTip(u("纸张：A4、A5，或快递面单打印机的热敏标签"));
  for (printing::Paper p : printing::kPapers) {
    m_paper_choice->addItem(printing::paper_caption(p));
    if (p == m_options.paper) m_paper_choice->setCurrentIndex(m_paper_choice->count() - 1);
  }
  connect(m_paper_choice, &QComboBox::activated, this, &PrintPreview::choose_paper);
  bar->addWidget(m_paper_choice);
  if (m_job.document == printing::Document::PickList) {
    auto* numbers = new QCheckBox(u("列出订单号"), bar);
    connect(numbers, &QCheckBox::toggled, this, [this](bool on) {
      m_options.order_numbers = on;
      show_again();
    });
    bar->addWidget(numbers);
    auto* sort = new QComboBox(bar);
    sort->addItems({u("按商品名排序"), u("按数量排序")});
    connect(sort, &QComboBox::activated, this, [this](int index) {
      m_options.sort = index == 1 ? printing::PickSort::ByQuantity : printing::PickSort::ByName;
      show_again();
    });
    bar->addWidget(sort);
  }
  bar->addSeparator();
  QAction* pdf = bar->addAction(u("保存为PDF"));
  pdf->setObjectName(QStringLiteral("保存为PDF"));
  connect(pdf, &QAction::triggered, this, &PrintPreview::ask_and_save_pdf);
  resize(960, 780);
}

void PrintPreview::paint(QPrinter* printer) {
  // FreeType makes the bold of a face that has none (WenQuanYi Micro Hei)
  // by thickening each glyph by a share of the size the text is laid out
  // at, and only below 64 pixels. The preview records the pages at the
  // printer's resolution and draws them scaled down to the screen: at 600
  // dpi small bold text came out as black blobs and larger bold text not
  // bold at all. The preview's pages are laid out at the screen's
  // resolution, where bold is made as the window shows it; printing (and
  // 保存为PDF, which writes its own) still gets 600 dpi.
  const bool previewing =
      printer->paintEngine() && printer->paintEngine()->type() == QPaintEngine::Picture;
  printer->setResolution(previewing ? std::max(96, logicalDpiY()) : kPrinterDpi);
  // The printer the pages really went to is the paper printer next time.
  if (!previewing && printer->outputFormat() == QPrinter::NativeFormat &&
      !printer->printerName().isEmpty())
    printing::remember_printer(m_settings, "paper_printer", printer->printerName());
  // Qt's page set-up may have chosen another paper or turned the page.
  m_options.orientation = printer->pageLayout().orientation();
  if (const auto paper = printing::paper_of(printer->pageLayout().pageSize())) m_options.paper = *paper;
  QPainter painter(printer);
  printing::paint_document(*printer, painter, m_job, m_options);
}

void PrintPreview::choose_paper(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(printing::kPapers))) return;
  m_options.paper = printing::kPapers[index];
  printing::remember_paper(m_settings, m_options.paper);
  m_printer->setPageLayout(printing::page_layout(m_options.paper, m_printer->pageLayout().orientation()));
  show_again();
}

void PrintPreview::show_again() {
  if (m_preview) m_preview->updatePreview();
}

bool PrintPreview::save_pdf(const QString& path) {
  QString error;
  if (printing::write_pdf(path, m_job, m_options, &error)) return true;
  QMessageBox::critical(this, u("保存为PDF"), error);
  return false;
}

void PrintPreview::ask_and_save_pdf() {
  // Where the last export went (the desktop at first), as every export proposes.
  const QString folder = QString::fromStdString(exchange::export_folder().string());
  const QString suggested =
      folder + QLatin1Char('/') + printing::document_title(m_job.document) + QLatin1Char('-') +
      QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".pdf");
  QString path = QFileDialog::getSaveFileName(this, u("保存为PDF"), suggested, u("PDF 文件 (*.pdf)"));
  if (path.isEmpty()) return;
  if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
  if (!save_pdf(path)) return;
  exchange::remember_export_path(web::utf8_to_gbk(path.toStdString()));
  QMessageBox::information(this, u("保存为PDF"), u("已保存：%1").arg(path));
}

}  // namespace app
