#include "app/gui/batch_dialog.h"

#include <algorithm>

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
  const int warned = static_cast<int>(std::count_if(
      problems.begin(), problems.end(), [](const BatchProblem& p) { return p.warning_only; }));
  const int blocked = total - ready - warned;
  auto* summary = new QLabel(
      QString::fromUtf8("%1行中%2行可以发货，%3行有提醒（默认不发，看过下面的原因再决定），%4行不能发。"
                        "批量发货发的是表格里的全部行，不论是否显示。")
          .arg(total)
          .arg(ready)
          .arg(warned)
          .arg(blocked),
      &dialog);
  summary->setWordWrap(true);
  layout->addWidget(summary);

  // The warned rows first: they are the ones the merchant decides about.
  std::vector<const BatchProblem*> listed;
  for (const BatchProblem& p : problems)
    if (p.warning_only) listed.push_back(&p);
  for (const BatchProblem& p : problems)
    if (!p.warning_only) listed.push_back(&p);
  auto* table = new QTableWidget(static_cast<int>(listed.size()), 3, &dialog);
  table->setHorizontalHeaderLabels(
      {QString::fromUtf8("订单号"), QString::fromUtf8("快递单号"), QString::fromUtf8("原因")});
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  for (int r = 0; r < static_cast<int>(listed.size()); ++r) {
    const BatchProblem& p = *listed[r];
    table->setItem(r, 0, new QTableWidgetItem(qs(p.order_no)));
    table->setItem(r, 1, new QTableWidgetItem(qs(p.tracking_no)));
    table->setItem(r, 2, new QTableWidgetItem(
                             QString::fromUtf8(p.warning_only ? "提醒：" : "不能发：") + qs(p.reason)));
  }
  table->resizeColumnsToContents();
  layout->addWidget(table);

  auto* buttons = new QHBoxLayout;
  auto* ready_only = new QPushButton(QString::fromUtf8("只发可以发的（%1行）").arg(ready), &dialog);
  auto* with_warned =
      new QPushButton(QString::fromUtf8("连提醒的一起发（%1行）").arg(ready + warned), &dialog);
  with_warned->setObjectName(QStringLiteral("with_warned"));
  auto* all = new QPushButton(QString::fromUtf8("全部照发（%1行）").arg(total), &dialog);
  auto* cancel = new QPushButton(QString::fromUtf8("取消"), &dialog);
  ready_only->setDefault(true);
  ready_only->setEnabled(ready > 0);
  with_warned->setVisible(warned > 0);
  all->setEnabled(total > 0);
  for (QPushButton* b : {ready_only, with_warned, all, cancel}) buttons->addWidget(b);
  layout->addLayout(buttons);
  BatchChoice choice = BatchChoice::Cancel;
  auto answer = [&](QPushButton* button, BatchChoice given) {
    QObject::connect(button, &QPushButton::clicked, &dialog, [&choice, &dialog, given] {
      choice = given;
      dialog.accept();
    });
  };
  answer(ready_only, BatchChoice::ReadyOnly);
  answer(with_warned, BatchChoice::WithWarned);
  answer(all, BatchChoice::All);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  dialog.resize(640, 360);
  dialog.exec();
  return choice;
}

}  // namespace app
