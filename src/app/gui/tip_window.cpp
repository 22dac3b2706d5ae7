#include "app/gui/tip_window.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "app/gui/picture.h"

namespace app {

namespace {
// Client area of the designed outer size 288 x 391.
constexpr int kWidth = 282;
constexpr int kHeight = 362;
}  // namespace

TipWindow::TipWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("tip_window"));
  // An empty title would make the platform show the program's name instead;
  // one space shows an empty title bar.
  setWindowTitle(QStringLiteral(" "));
  setFixedSize(kWidth, kHeight);
  setModal(true);
  QFile file(QStringLiteral(":/app/tip.jpg"));
  if (file.open(QIODevice::ReadOnly)) m_picture = decode_picture(file.readAll().toStdString());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - 288) / 2, area.y() + (area.height() - 391) / 2);
  }
}

void TipWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (m_picture.isNull()) {
    painter.fillRect(rect(), Qt::white);
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), m_picture);
}

}  // namespace app
