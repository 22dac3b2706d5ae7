#include "app/gui/picture_box.h"

#include <QPainter>

namespace app {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {}

void PictureBox::set_picture(const QImage& picture) {
  m_picture = picture;
  update();
}

void PictureBox::set_mode(int mode) {
  m_mode = mode == 1 ? 1 : (mode <= 0 ? 0 : 2);
  update();
}

QRect PictureBox::target_rect() const {
  if (m_picture.isNull()) return {};
  const QSize own = m_picture.size();
  switch (m_mode) {
    case 1:
      return rect();
    case 2: {
      QSize size = own;
      if (own.width() > width() || own.height() > height())
        size = own.scaled(this->size(), Qt::KeepAspectRatio);
      return QRect((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
                   size.height());
    }
    default:
      return QRect(QPoint(0, 0), own);
  }
}

void PictureBox::paintEvent(QPaintEvent*) {
  if (m_picture.isNull()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target_rect(), m_picture);
}

}  // namespace app
