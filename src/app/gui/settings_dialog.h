#pragma once
// The 设置 dialog: every setting a merchant may change, so none of them
// needs the settings file edited by hand. 店铺: the shops (add, rename,
// remove; hosts, account, password) with 测试连接; 其他: the tracking key and
// courier, requests at once, the tracking limits, the reminder's interval,
// printing's paper and telephone masking, the report's late hours and the
// archive's retention. Values are checked as typed; 保存 stays disabled
// while one is refused (a courier written as its name is), what is only
// doubtful (no tracking key, a code not in the list) is said in another
// colour; 保存 writes the settings file in its own format. The 店铺 page
// says where the passwords are kept (the keyring, else the file). 电子面单:
// the e-waybill account (provider, endpoint, courier, its keys; the secrets
// kept where the passwords are), the label paper and printer, the paper
// printer, and 测试, which orders nothing. 多台电脑: the store the packing
// stations share (app/gui/store_page.h).
//
// Usage: SettingsDialog d(settings, check, parent);
//        if (d.exec() == QDialog::Accepted) reload();

#include <QDialog>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/shops.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace app {

class StorePage;

class SettingsDialog : public QDialog {
 public:
  // `check` logs in to a shop as typed (on a worker: it blocks) and says what it found.
  using Check = std::function<std::pair<bool, Text>(const Shop&)>;
  SettingsDialog(Settings& settings, Check check, QWidget* parent = nullptr);

  // The reminder's interval as saved (key interval_ms of section reminder),
  // or `fallback` when none is.
  static int reminder_interval(const Settings& settings, int fallback);

  // Why the values as they stand cannot be saved; empty when they can.
  QString problem() const;
  // What may well be wrong but can be saved (shown when there is no problem).
  QString warning() const;
  // Writes everything; false (with the reason shown) when it could not.
  bool save();

 private:
  struct Entry {
    Shop shop;
    Text saved_label;  // the label in the file; empty for a shop added here
  };
  QWidget* build_shops();
  QWidget* build_others();
  QWidget* build_waybill();
  void show_waybill_fields();  // the chosen provider's keys only
  void test_waybill();
  QString waybill_problem() const;
  QString waybill_warning() const;
  bool save_waybill();
  void show_entry(int row);
  void take_fields();  // the fields into the shown entry
  void add_shop();
  void remove_shop();
  void test_connection();
  void revalidate();

  Settings& m_settings;
  Check m_check;
  std::vector<Entry> m_entries;
  std::vector<Text> m_removed;  // labels of saved shops removed here
  int m_shown = -1;

  QListWidget* m_list = nullptr;
  QLineEdit *m_label, *m_backoffice, *m_images, *m_tracking, *m_account, *m_password;
  QPushButton *m_remove, *m_test;
  QLabel* m_test_result;
  QLabel* m_password_kept;
  QLineEdit *m_key, *m_courier;
  QSpinBox *m_connections, *m_reuse, *m_interval_ms, *m_reminder, *m_late, *m_keep;
  QComboBox* m_paper;
  QCheckBox* m_mask;
  QComboBox *m_wb_provider, *m_label_paper, *m_label_printer, *m_paper_printer;
  std::map<std::string, QLineEdit*> m_wb;  // section waybill's keys
  QComboBox* m_wb_pay;                     // PayType 1..4
  QPushButton* m_wb_test;
  QLabel* m_wb_result;
  StorePage* m_store;  // 多台电脑
  QLabel* m_problem;
  QPushButton* m_save;
};

}  // namespace app
