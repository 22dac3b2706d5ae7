#pragma once
// A push button whose caption wraps onto several lines when it is wider than
// the button (a large caption on a small button, as 按钮14 has).
//
// Usage: auto* b = new WrappingButton(QString::fromUtf8("打赏作者"), parent);

#include <QPushButton>

namespace app {

class WrappingButton : public QPushButton {
  Q_OBJECT

 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace app
