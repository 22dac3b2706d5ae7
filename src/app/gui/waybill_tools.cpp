#include "app/gui/waybill_tools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/gui/qt_text.h"
#include "waybill/couriers.h"

namespace app {

namespace {

QString provider_caption(const std::string& provider) {
  if (provider == "kuaidi100") return u("快递100");
  if (provider == "kdniao") return u("快递鸟");
  return QString::fromStdString(provider);
}

}  // namespace

WaybillAnswer ask_waybill_dialog(QWidget* parent, const waybill::WaybillPlan& plan, bool ship,
                                 const QStringList& printers, const QString& chosen) {
  QDialog dialog(parent);
  dialog.setWindowTitle(ship ? u("取号打印并发货") : u("取号打印"));
  auto* layout = new QVBoxLayout(&dialog);
  const int ready = static_cast<int>(plan.ready.size());
  QString said =
      u("%1单中%2单可以取号打印%3").arg(plan.total).arg(ready).arg(ship ? u("并发货") : QString());
  if (plan.total > ready) said += u("，%1单不能（原因见下）").arg(plan.total - ready);
  auto* summary = new QLabel(said + u("。"), &dialog);
  summary->setWordWrap(true);
  layout->addWidget(summary);

  auto* form = new QFormLayout;
  const QString courier =
      QString::fromStdString(plan.courier_name.empty() ? plan.courier : plan.courier_name);
  form->addRow(u("面单账户："),
               new QLabel(provider_caption(plan.provider) + u("，") + courier + u("（") +
                              QString::fromStdString(plan.courier) + u("）"),
                          &dialog));
  auto* printer = new QComboBox(&dialog);
  printer->setObjectName(QStringLiteral("label_printer"));
  printer->setEditable(true);  // a printer not listed (or a .pdf file) may be typed
  printer->addItems(printers);
  if (!chosen.isEmpty() && printer->findText(chosen) < 0) printer->addItem(chosen);
  if (!chosen.isEmpty()) printer->setCurrentText(chosen);
  form->addRow(u("标签打印机："), printer);
  auto* preview = new QCheckBox(u("打印前先预览"), &dialog);
  preview->setObjectName(QStringLiteral("preview"));
  form->addRow(QString(), preview);
  layout->addLayout(form);

  if (!plan.problems.empty()) {
    auto* table = new QTableWidget(static_cast<int>(plan.problems.size()), 2, &dialog);
    table->setHorizontalHeaderLabels({u("订单号"), u("不能取号的原因")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    for (int r = 0; r < static_cast<int>(plan.problems.size()); ++r) {
      table->setItem(r, 0, new QTableWidgetItem(qs(plan.problems[r].order_no)));
      table->setItem(r, 1, new QTableWidgetItem(qs(plan.problems[r].reason)));
    }
    table->resizeColumnsToContents();
    layout->addWidget(table);
  }

  auto* buttons = new QHBoxLayout;
  auto* go = new QPushButton(
      (ship ? u("取号打印并发货（%1单）") : u("取号打印（%1单）")).arg(ready), &dialog);
  go->setObjectName(QStringLiteral("go"));
  go->setDefault(true);
  go->setEnabled(ready > 0);
  auto* cancel = new QPushButton(u("取消"), &dialog);
  buttons->addStretch();
  buttons->addWidget(go);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  QObject::connect(go, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  dialog.resize(560, plan.problems.empty() ? 180 : 360);
  WaybillAnswer answer;
  answer.go = dialog.exec() == QDialog::Accepted && ready > 0;
  answer.printer = printer->currentText().trimmed();
  answer.preview = preview->isChecked();
  return answer;
}

bool print_waybill_labels(QWidget* parent, const std::vector<printing::LabelData>& labels,
                          const QString& name, printing::Paper paper, bool mask_phone, bool preview,
                          QString* error) {
  if (labels.empty()) return true;
  QPrinter printer(QPrinter::HighResolution);
  if (name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(name);
  } else if (!name.isEmpty()) {
    printer.setPrinterName(name);
    if (!printer.isValid()) {
      if (error) *error = u("找不到标签打印机 %1").arg(name);
      return false;
    }
  }
  printer.setDocName(u("电子面单"));
  printer.setFullPage(false);
  printer.setPageLayout(printing::page_layout(paper));
  auto paint = [&](QPrinter* device) {
    QPainter painter(device);
    printing::paint_labels(*device, painter, labels, paper, mask_phone);
  };
  if (preview) {
    QPrintPreviewDialog dialog(&printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, paint);
    if (dialog.exec() != QDialog::Accepted) {
      if (error) *error = u("面单没有打印（预览里取消了）");
      return false;
    }
    return true;
  }
  QPainter painter;
  if (!painter.begin(&printer)) {
    if (error) *error = u("标签打印机 %1 用不了").arg(name.isEmpty() ? u("（默认）") : name);
    return false;
  }
  printing::paint_labels(printer, painter, labels, paper, mask_phone);
  painter.end();
  return true;
}

}  // namespace app
