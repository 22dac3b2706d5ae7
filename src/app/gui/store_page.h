#pragma once
// The 设置 dialog's 多台电脑 page: the store several packing stations of one
// shop share (section "store": the PostgreSQL connection string, this
// station's name, the claim lease) with 测试连接, which connects beside the
// dialog and says whether the store answers, its schema's version and the
// stations it has seen. An empty connection string keeps everything on this
// PC. Saved with the dialog; in force from the next start.
//
// Usage: auto* page = new StorePage(settings);  tabs->addTab(page, "多台电脑");
//        ok = ok && page->save();

#include <QWidget>

#include "core/settings.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace app {

class StorePage : public QWidget {
 public:
  explicit StorePage(Settings& settings, QWidget* parent = nullptr);
  // Why the values cannot be saved (a url libpq cannot read); empty when they can.
  QString problem() const;
  bool save();

 private:
  void test();

  Settings& m_settings;
  QLineEdit *m_url, *m_station;
  QSpinBox* m_lease;
  QPushButton* m_test;
  QLabel* m_result;
};

}  // namespace app
