#pragma once
// The tip window: a fixed-size modal window with an empty title and only a
// close button, whose whole client area shows one stored JPEG picture.
//
// Usage: app::TipWindow tip(&main_window);  tip.exec();

#include <QDialog>
#include <QImage>

namespace app {

class TipWindow : public QDialog {
  Q_OBJECT

 public:
  explicit TipWindow(QWidget* parent = nullptr);
  const QImage& picture() const { return m_picture; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_picture;
};

}  // namespace app
