#pragma once
// The rows of a report list view: texts (system text) addressed by row and
// column, each row with a stable RowKey, column titles and initial widths.
// Rows are converted for display only when painted, so thousands append fast.
// A row appended with `announce` false is part of the data at once (size(),
// cell(), rows() see it) but is announced to the views with the others of its
// burst, within a frame: a worker filling the list one row per call then makes
// the window repaint once a frame instead of once a row. rowCount() is what
// the views have been told; size() is what the data holds.
//
// Usage: ReportModel model({{gbk("序号"), 50}, {gbk("订单号"), 50}});
//        int r = model.append_row({gbk("1"), gbk("2017...")});
//        view->setModel(&model);

#include <QAbstractTableModel>
#include <QColor>
#include <QTimer>

#include <functional>
#include <map>
#include <set>
#include <vector>

#include "core/form.h"

namespace app {

struct ReportColumn {
  Text title;
  int width = 50;
};

class ReportModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit ReportModel(std::vector<ReportColumn> columns, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // What the views show of a column's cells: `summary` of the cell when it
  // gives one (the cell itself then is the tooltip), else the cell. The
  // cells themselves stay as they are.
  using Summary = std::function<Text(const Text& cell)>;
  void set_summary(int column, Summary summary);
  // The text colour of a column's cells: `colour` of the cell, or the
  // view's own colour when it gives an invalid QColor.
  using Colour = std::function<QColor(const Text& cell)>;
  void set_colour(int column, Colour colour);

  // Rows whose `column` holds one of `texts` stand out (bold on light
  // yellow): new orders until the merchant has looked at them.
  void set_marked(int column, std::set<Text> texts);
  const std::set<Text>& marked() const { return m_marked; }

  const std::vector<ReportColumn>& columns() const { return m_columns; }
  int size() const { return static_cast<int>(m_rows.size()); }
  // Announces the rows appended since the last announcement to the views.
  void show_appended_rows();
  int append_row(const std::vector<Text>& cells, bool announce = true);
  Text cell(int row, int column) const;
  bool set_cell(int row, int column, const Text& text);
  bool delete_row(int row);
  // Puts a row back at `row` (clamped to the rows there are), under a new key.
  void insert_row(int row, const std::vector<Text>& cells);
  void clear_rows();
  void append_column(const Text& title, int width);
  OrderRow row(int row) const;
  std::vector<OrderRow> rows() const;
  void replace_rows(const std::vector<OrderRow>& rows);
  RowKey row_key(int row) const;
  int row_of_key(RowKey key) const;  // -1 when the row is gone

 private:
  struct Row {
    RowKey key;
    std::vector<Text> cells;  // one per column
  };
  Row make_row(const std::vector<Text>& cells);
  bool valid(int row, int column) const;

  std::vector<ReportColumn> m_columns;
  std::map<int, Summary> m_summaries;  // by column
  std::map<int, Colour> m_colours;     // by column
  int m_marked_column = -1;
  std::set<Text> m_marked;
  std::vector<Row> m_rows;
  int m_shown = 0;  // leading rows the views know of
  QTimer m_announce;
  RowKey m_next_key = 1;
};

}  // namespace app
