#include "app/gui/report_model.h"

#include <QFont>

#include <algorithm>

namespace app {

namespace {
constexpr int kFrameMs = 16;

QString display(const Text& text) {
  return QString::fromStdString(web::gbk_to_utf8(text));
}
}  // namespace

ReportModel::ReportModel(std::vector<ReportColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns)) {
  m_announce.setSingleShot(true);
  m_announce.setInterval(kFrameMs);
  connect(&m_announce, &QTimer::timeout, this, &ReportModel::show_appended_rows);
}

int ReportModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_shown;
}

int ReportModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
  if (!valid(index.row(), index.column())) return {};
  const Text& cell = m_rows[index.row()].cells[index.column()];
  if (role == Qt::ForegroundRole) {
    const auto colour = m_colours.find(index.column());
    if (colour == m_colours.end()) return {};
    const QColor c = colour->second(cell);
    return c.isValid() ? QVariant(c) : QVariant();
  }
  if (role == Qt::BackgroundRole || role == Qt::FontRole) {
    if (m_marked.empty() || !m_marked.count(m_rows[index.row()].cells[m_marked_column])) return {};
    if (role == Qt::BackgroundRole) return QColor(255, 243, 176);
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  const auto summary = m_summaries.find(index.column());
  const Text shown = summary == m_summaries.end() ? Text() : summary->second(cell);
  // A long cell (an address, a message) may be cut by its column: whole in the tooltip.
  constexpr std::size_t kLongCell = 24;
  if (role == Qt::ToolTipRole)
    return !shown.empty() || cell.size() > kLongCell ? display(cell) : QVariant();
  return display(shown.empty() ? cell : shown);
}

void ReportModel::set_summary(int column, Summary summary) {
  m_summaries[column] = std::move(summary);
  if (m_shown > 0) emit dataChanged(index(0, column), index(m_shown - 1, column));
}

void ReportModel::set_marked(int column, std::set<Text> texts) {
  if (column < 0 || column >= columnCount()) return;
  m_marked_column = column;
  m_marked = std::move(texts);
  if (m_shown > 0) emit dataChanged(index(0, 0), index(m_shown - 1, columnCount() - 1));
}

void ReportModel::set_colour(int column, Colour colour) {
  m_colours[column] = std::move(colour);
  if (m_shown > 0) emit dataChanged(index(0, column), index(m_shown - 1, column));
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= columnCount())
    return {};
  return display(m_columns[section].title);
}

bool ReportModel::valid(int row, int column) const {
  return row >= 0 && row < size() && column >= 0 && column < columnCount();
}

ReportModel::Row ReportModel::make_row(const std::vector<Text>& cells) {
  Row row{m_next_key++, cells};
  row.cells.resize(m_columns.size());  // missing cells empty, extra cells dropped
  return row;
}

int ReportModel::append_row(const std::vector<Text>& cells, bool announce) {
  const int index = size();
  m_rows.push_back(make_row(cells));
  if (announce)
    show_appended_rows();
  else if (!m_announce.isActive())
    m_announce.start();
  return index;
}

void ReportModel::show_appended_rows() {
  m_announce.stop();
  if (m_shown >= size()) return;
  beginInsertRows({}, m_shown, size() - 1);
  m_shown = size();
  endInsertRows();
}

Text ReportModel::cell(int row, int column) const {
  return valid(row, column) ? m_rows[row].cells[column] : Text();
}

bool ReportModel::set_cell(int row, int column, const Text& text) {
  if (!valid(row, column)) return false;
  m_rows[row].cells[column] = text;
  if (row < m_shown) {  // a row not yet announced is read whole when it is
    QModelIndex at = index(row, column);
    emit dataChanged(at, at);  // text, tooltip and colour all follow the cell
  }
  return true;
}

bool ReportModel::delete_row(int row) {
  if (row < 0 || row >= size()) return false;
  if (row >= m_shown) {
    m_rows.erase(m_rows.begin() + row);
    return true;
  }
  beginRemoveRows({}, row, row);
  m_rows.erase(m_rows.begin() + row);
  --m_shown;
  endRemoveRows();
  return true;
}

void ReportModel::insert_row(int row, const std::vector<Text>& cells) {
  show_appended_rows();  // every row announced: the insertion is told at its place
  row = std::clamp(row, 0, size());
  beginInsertRows({}, row, row);
  m_rows.insert(m_rows.begin() + row, make_row(cells));
  ++m_shown;
  endInsertRows();
}

void ReportModel::clear_rows() {
  if (m_rows.empty()) return;
  beginResetModel();
  m_rows.clear();
  m_shown = 0;
  endResetModel();
}

void ReportModel::append_column(const Text& title, int width) {
  const int index = columnCount();
  beginInsertColumns({}, index, index);
  m_columns.push_back({title, std::max(0, width)});
  for (Row& r : m_rows) r.cells.emplace_back();
  endInsertColumns();
}

OrderRow ReportModel::row(int row) const {
  return row >= 0 && row < size() ? m_rows[row].cells : OrderRow();
}

std::vector<OrderRow> ReportModel::rows() const {
  std::vector<OrderRow> out;
  out.reserve(m_rows.size());
  for (const Row& r : m_rows) out.push_back(r.cells);
  return out;
}

void ReportModel::replace_rows(const std::vector<OrderRow>& rows) {
  beginResetModel();
  m_rows.clear();
  m_rows.reserve(rows.size());
  for (const OrderRow& r : rows) m_rows.push_back(make_row(r));
  m_shown = size();
  endResetModel();
}

RowKey ReportModel::row_key(int row) const {
  return row >= 0 && row < size() ? m_rows[row].key : 0;
}

int ReportModel::row_of_key(RowKey key) const {
  if (key == 0) return -1;
  // Keys grow with the row order, so the row is found by bisection.
  auto it = std::lower_bound(m_rows.begin(), m_rows.end(), key,
                             [](const Row& r, RowKey k) { return r.key < k; });
  return it != m_rows.end() && it->key == key ? static_cast<int>(it - m_rows.begin()) : -1;
}

}  // namespace app
