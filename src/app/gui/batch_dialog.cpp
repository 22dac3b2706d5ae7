#include "app/gui/batch_dialog.h"

#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/gui/qt_text.h"

namespace app {

BatchChoice ask_batch_dialog(QWidget* parent, int ready, int total,
                             const std::vector<BatchProblem>& problems) {
  QDialog dialog(parent);
  dialog.setWindowTitle(QString::fromUtf8("发货前检查"));
  auto* layout = new QVBoxLayout(&dialog);
  const int blocked = total - ready;
  layout->addWidget(new QLabel(
      QString::fromUtf8("%1行中%2行可以发货；下面%3行有问题（标“提醒”的也会发）。批量发货发的是表格里的全部行，不论是否显示。")
          .arg(total)
          .arg(ready)
          .arg(static_cast<int>(problems.size())),
      &dialog));

  auto* table = new QTableWidget(static_cast<int>(problems.size()), 3, &dialog);
  table->setHorizontalHeaderLabels(
      {QString::fromUtf8("订单号"), QString::fromUtf8("快递单号"), QString::fromUtf8("原因")});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  for (int r = 0; r < static_cast<int>(problems.size()); ++r) {
    const BatchProblem& p = problems[r];
    table->setItem(r, 0, new QTableWidgetItem(qs(p.order_no)));
    table->setItem(r, 1, new QTableWidgetItem(qs(p.tracking_no)));
    table->setItem(r, 2, new QTableWidgetItem((p.warning_only ? QString::fromUtf8("提醒：") : QString()) +
                                              qs(p.reason)));
  }
  table->resizeColumnsToContents();
  layout->addWidget(table);

  auto* buttons = new QHBoxLayout;
  auto* ready_only = new QPushButton(QString::fromUtf8("只发可以发的（%1行）").arg(ready), &dialog);
  auto* all = new QPushButton(QString::fromUtf8("全部照发（%1行）").arg(total), &dialog);
  auto* cancel = new QPushButton(QString::fromUtf8("取消"), &dialog);
  ready_only->setDefault(true);
  ready_only->setEnabled(ready > 0);
  all->setEnabled(blocked > 0 || ready > 0);
  for (QPushButton* b : {ready_only, all, cancel}) buttons->addWidget(b);
  layout->addLayout(buttons);
  BatchChoice choice = BatchChoice::Cancel;
  QObject::connect(ready_only, &QPushButton::clicked, &dialog, [&] {
    choice = BatchChoice::ReadyOnly;
    dialog.accept();
  });
  QObject::connect(all, &QPushButton::clicked, &dialog, [&] {
    choice = BatchChoice::All;
    dialog.accept();
  });
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  dialog.resize(640, 360);
  dialog.exec();
  return choice;
}

}  // namespace app
