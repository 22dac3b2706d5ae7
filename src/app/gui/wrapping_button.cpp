#include "app/gui/wrapping_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace app {

void WrappingButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();  // the frame alone; the caption is drawn below, wrapped
  painter.drawControl(QStyle::CE_PushButton, option);
  const QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
  painter.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(area, Qt::AlignCenter | Qt::TextWrapAnywhere, text());
}

}  // namespace app
