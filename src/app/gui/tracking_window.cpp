#include "app/gui/tracking_window.h"

#include <QDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/gui/dialog_buttons.h"
#include "app/gui/qt_text.h"

namespace app {

void show_tracking_window(QWidget* parent, const TrackingTimeline& timeline) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("物流轨迹"));
  dialog.setWindowTitle(QString::fromUtf8("物流轨迹"));
  auto* layout = new QVBoxLayout(&dialog);

  auto* facts = new QFormLayout;
  facts->addRow(QString::fromUtf8("快递单号："), new QLabel(qs(timeline.tracking_no), &dialog));
  facts->addRow(QString::fromUtf8("快递公司："), new QLabel(qs(timeline.courier), &dialog));
  auto* state = new QLabel(timeline.state_name.empty() ? QString::fromUtf8("（未给出）")
                                                       : qs(timeline.state_name),
                           &dialog);
  QFont bold = state->font();
  bold.setBold(true);
  state->setFont(bold);
  facts->addRow(QString::fromUtf8("状态："), state);
  layout->addLayout(facts);

  auto* events = new QTreeWidget(&dialog);
  events->setObjectName(QStringLiteral("轨迹"));
  events->setRootIsDecorated(false);
  events->setWordWrap(true);
  events->setHeaderLabels(
      {QString::fromUtf8("时间"), QString::fromUtf8("地点"), QString::fromUtf8("动态")});
  for (const TrackingTimeline::Event& e : timeline.events)
    events->addTopLevelItem(
        new QTreeWidgetItem(QStringList{qs(e.time), qs(e.location), qs(e.context)}));
  events->resizeColumnToContents(0);
  events->resizeColumnToContents(1);
  events->header()->setStretchLastSection(true);
  layout->addWidget(events);

  layout->addLayout(copy_and_close_row(dialog, u("复制原始回复"), qs(timeline.reply)));
  dialog.resize(680, 420);
  dialog.exec();
}

}  // namespace app
