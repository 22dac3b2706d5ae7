#pragma once
// The picture box 图片框1: shows one picture in one of three display modes.
// 0 draws it at its own size from the top-left corner, 1 stretches it over the
// whole box, 2 centres it, shrunk to fit (aspect kept) when larger than the box.
//
// Usage: box->set_picture(app::decode_picture(bytes));  box->set_mode(2);

#include <QImage>
#include <QWidget>

namespace app {

class PictureBox : public QWidget {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  void set_picture(const QImage& picture);
  const QImage& picture() const { return m_picture; }
  // Values other than 0, 1, 2 are taken as the nearest of 0 and 2.
  void set_mode(int mode);
  int mode() const { return m_mode; }
  // Where the picture is drawn inside the box (empty when there is none).
  QRect target_rect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage m_picture;
  int m_mode = 0;
};

}  // namespace app
