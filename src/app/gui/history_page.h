#pragma once
// The 历史订单 page: the order archive searched as the merchant types (any
// part of an order number, ID, member, consignee, telephone, address, goods,
// message or tracking number), narrowed by state and pay time, newest first;
// a double-click opens the order with every goods line and its history.
// Found orders go into the order list (载入到订单列表) or a workbook (导出);
// old exports come in (导入旧表格…); old orders go (清除存档…).
//
// Usage: auto* page = new HistoryPage(tabs);  page->set_context(&ctx);

#include <QTimer>
#include <QWidget>

#include <vector>

#include "store/order_archive.h"

class QCheckBox;
class QComboBox;
class QDate;
class QDateEdit;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace app {

struct Context;

// The row window of an archived order: every column, line and state.
void open_archived_order(QWidget* parent, const store::ArchivedOrder& order, int serial);

class HistoryPage : public QWidget {
 public:
  explicit HistoryPage(QWidget* parent);
  void set_context(Context* ctx);
  // With what the page shows now, on a worker; the result comes when found
  // (the count says "正在查找……" meanwhile).
  void search();
  // Every order paid from `since` through `until`, whatever else was asked
  // before (a period the 统计 page was clicked on).
  void show_pay_range(const QDate& since, const QDate& until);
  // Shown at most; the count says how many were found.
  static constexpr int kShown = 500;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void show_found(int generation, const std::vector<store::ArchivedOrder>& found, std::int64_t total,
                  const std::string& error);
  // Adds the states the archive holds to the state filter (on a worker).
  void offer_states();
  void open_order(int row);
  void load_into_order_list();
  void export_found();
  void import_workbooks();
  void forget_old_orders();
  store::ArchiveQuery query() const;

  Context* m_ctx = nullptr;
  int m_generation = 0;
  std::vector<store::ArchivedOrder> m_found;
  QTimer m_typing;
  QLineEdit* m_text;
  QComboBox* m_state;
  QCheckBox* m_use_dates;
  QDateEdit* m_since;
  QDateEdit* m_until;
  QLabel* m_count;
  QTableWidget* m_table;
};

}  // namespace app
