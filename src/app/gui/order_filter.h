#pragma once
// What the order list shows of the table: the rows a search matches, in the
// order a header click chose. Only the view changes; the table's rows and
// their order stay as they are, so everything that reads the selection maps
// the view's index back to the table's row (source_row).
//
// The search matches order number, member, consignee, telephone, address,
// tracking number and ID as the list shows them, ignoring case and
// full-width/half-width forms.
// Sorting compares numbers as numbers (a currency sign or "元" dropped),
// times as times and the rest as text; clicking a header sorts ascending,
// again descending, a third time back to the table's own order.
//
// Usage: auto* filter = new OrderFilter(model, window);
//        view->setModel(filter);  filter->follow_header(view->horizontalHeader());
//        filter->set_search(u"ＳＦ12");  int row = filter->source_row(view->currentIndex());

#include <QSortFilterProxyModel>

#include <vector>

class QHeaderView;

namespace app {

class ReportModel;
struct SortKey;  // a cell as the sort sees it

class OrderFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  OrderFilter(ReportModel* table, QObject* parent);
  ~OrderFilter() override;

  void set_search(const QString& text);
  bool searching() const { return !m_needle.isEmpty(); }
  // Rows whose 发货状态 says 发货成功 out of view (the to-ship list as work left).
  void set_hide_shipped(bool hide);
  bool hiding_shipped() const { return m_hide_shipped; }
  int shown_rows() const { return rowCount(); }
  int table_rows() const;

  // Sorts on clicks of `header`'s sections and shows the direction there.
  void follow_header(QHeaderView* header);
  // One header click on `column`: ascending, descending, table order.
  void sort_step(int column);

  // The table's row of a view index (-1 for none), and the view's index of a table row
  // (invalid when the search hides it).
  int source_row(const QModelIndex& view_index) const;
  QModelIndex view_index(int table_row, int column = 0) const;

  // Lower-case, half-width form of a text, as the search compares it.
  static QString folded(const QString& text);
  // <0, 0, >0 as cell `a` sorts before, with or after cell `b`.
  static int compare_cells(const QString& a, const QString& b);

 signals:
  void shown_changed();  // the shown or the total count may have changed

 protected:
  bool filterAcceptsRow(int source_row, const QModelIndex& source_parent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  QString cell_text(int row, int column) const;
  // The sort key of a table row's cell in the sort column, read again only
  // when the cell's text changed (a sort compares each row many times).
  const SortKey& sort_key_of(const QModelIndex& source_index) const;

  ReportModel* m_table;
  QString m_needle;  // folded
  bool m_hide_shipped = false;
  QHeaderView* m_header = nullptr;
  struct CachedKey;
  mutable std::vector<CachedKey> m_keys;  // by table row
  mutable int m_keys_column = -1;
};

}  // namespace app
