#pragma once
// The 发货记录 page: the shipping journal, newest first, filtered by outcome
// and by a first date, with an export to a workbook (the order export's
// writer). Below it the e-waybills (电子面单): number, provider, state,
// when and which order, the unknown ones first, each with 核对. It reads the
// database directly: nothing of it is an operation.
//
// Usage: auto* page = new JournalPage(tabs);  page->set_database(&db);  page->refresh();

#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

class QComboBox;
class QDateEdit;
class QCheckBox;
class QTableWidget;
class QLabel;

namespace store {
class Database;
}

namespace app {

class JournalPage : public QWidget {
 public:
  explicit JournalPage(QWidget* parent);
  void set_database(store::Database* database);
  void refresh();  // reads the journal again with the filters shown
  // Reads it again a moment after the last of a burst of calls (outcomes of a batch).
  void refresh_soon() { m_soon.start(); }
  // What "核对未确认的发货" runs (settles the unknown entries); the page is
  // read again afterwards.
  void set_settle(std::function<void()> settle) { m_settle = std::move(settle); }
  // What 核对 on an unknown waybill runs, with its order id and number (UTF-8).
  void set_settle_waybill(
      std::function<void(const std::string& id, const std::string& no)> settle) {
    m_settle_waybill = std::move(settle);
  }
  QTableWidget* waybills() const { return m_waybills; }
  // Whose journal it shows: the shop being served ("account@host").
  void set_shop(std::function<std::string()> shop) { m_shop = std::move(shop); }

 protected:
  void showEvent(QShowEvent* event) override;  // read again whenever shown

 private:
  void export_shown();
  void show_waybills();

  store::Database* m_database = nullptr;
  std::function<void()> m_settle;
  std::function<void(const std::string&, const std::string&)> m_settle_waybill;
  QTableWidget* m_waybills;
  std::function<std::string()> m_shop;
  QTimer m_soon;
  QComboBox* m_outcome;
  QCheckBox* m_use_date;
  QDateEdit* m_since;
  QTableWidget* m_table;
  QLabel* m_status;
};

}  // namespace app
