#include "app/gui/order_filter.h"

#include <QHeaderView>
#include <QRegularExpression>

#include "app/gui/report_model.h"

namespace app {

// A cell as the sort sees it. Kinds sort in this order; empty cells first.
struct SortKey {
  enum Kind { Empty, Number, Time, Word } kind = Empty;
  bool negative = false;
  QString integer;   // digits without leading zeros
  QString fraction;  // digits without trailing zeros
  qint64 time = 0;   // yyyyMMddhhmmss as one number
  QString text;
};


struct OrderFilter::CachedKey {
  bool known = false;
  QString text;
  SortKey key;
};

namespace {

constexpr int kSearchedColumns[] = {kColOrderNo, kColMember, 18 /* 收货人 */, 19 /* 电话 */,
                                    20 /* 地址 */, kColTrackingNo, kColId};

SortKey sort_key(const QString& cell) {
  SortKey key;
  QString s = cell.normalized(QString::NormalizationForm_KC).trimmed();  // "￥" becomes "¥"
  if (s.isEmpty()) return key;
  key.text = s;

  QString amount = s;
  amount.remove(QLatin1Char(','));
  if (amount.startsWith(QChar(0x00A5))) amount.remove(0, 1);
  if (amount.endsWith(QChar(0x5143))) amount.chop(1);  // 元
  static const QRegularExpression number(QStringLiteral(R"(^\s*([-+]?)\s*(\d+)(?:\.(\d+))?$)"));
  if (const auto m = number.match(amount); m.hasMatch()) {
    key.kind = SortKey::Number;
    key.negative = m.captured(1) == QLatin1String("-");
    key.integer = m.captured(2);
    while (key.integer.size() > 1 && key.integer.front() == QLatin1Char('0')) key.integer.remove(0, 1);
    key.fraction = m.captured(3);
    while (key.fraction.endsWith(QLatin1Char('0'))) key.fraction.chop(1);
    if (key.integer == QLatin1String("0") && key.fraction.isEmpty()) key.negative = false;
    return key;
  }

  static const QRegularExpression time(QStringLiteral(
      R"(^(\d{4})[-/.](\d{1,2})[-/.](\d{1,2})(?:[ T]+(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?)?$)"));
  if (const auto m = time.match(s); m.hasMatch()) {
    key.kind = SortKey::Time;
    for (int part = 1; part <= 6; ++part) key.time = key.time * 100 + m.captured(part).toLongLong();
    return key;
  }
  key.kind = SortKey::Word;
  return key;
}

// Compares two numbers digit by digit, so long order and tracking numbers
// keep every digit (a double keeps about 15).
int compare_numbers(const SortKey& a, const SortKey& b) {
  if (a.negative != b.negative) return a.negative ? -1 : 1;
  int magnitude = 0;
  if (a.integer.size() != b.integer.size())
    magnitude = a.integer.size() < b.integer.size() ? -1 : 1;
  else if (const int c = a.integer.compare(b.integer); c != 0)
    magnitude = c;
  else
    magnitude = a.fraction.compare(b.fraction);  // no trailing zeros: plain order is numeric
  return a.negative ? -magnitude : magnitude;
}

int sign(qint64 v) {
  return v < 0 ? -1 : v > 0 ? 1 : 0;
}

}  // namespace

OrderFilter::OrderFilter(ReportModel* table, QObject* parent)
    : QSortFilterProxyModel(parent), m_table(table) {
  setSourceModel(table);
  for (auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
    connect(table, changed, this, &OrderFilter::shown_changed);
    connect(this, changed, this, &OrderFilter::shown_changed);
  }
  connect(table, &QAbstractItemModel::modelReset, this, &OrderFilter::shown_changed);
}

OrderFilter::~OrderFilter() = default;

int OrderFilter::table_rows() const {
  return m_table->rowCount();
}

QString OrderFilter::folded(const QString& text) {
  return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
}

void OrderFilter::set_search(const QString& text) {
  const QString needle = folded(text.trimmed());
  if (needle == m_needle) return;
  m_needle = needle;
  invalidateFilter();
  emit shown_changed();
}

void OrderFilter::set_hide_shipped(bool hide) {
  if (hide == m_hide_shipped) return;
  m_hide_shipped = hide;
  invalidateFilter();
  emit shown_changed();
}

QString OrderFilter::cell_text(int row, int column) const {
  // What the list shows is what is searched (会员 without its markup).
  return m_table->index(row, column).data().toString();
}

bool OrderFilter::filterAcceptsRow(int source_row, const QModelIndex&) const {
  if (m_hide_shipped && cell_text(source_row, kColShipStatus).startsWith(QStringLiteral(u"发货成功")))
    return false;
  if (m_needle.isEmpty()) return true;
  for (int column : kSearchedColumns)
    if (folded(cell_text(source_row, column)).contains(m_needle)) return true;
  return false;
}

namespace {

int compare_keys(const SortKey& x, const SortKey& y) {
  if (x.kind != y.kind) return x.kind < y.kind ? -1 : 1;
  switch (x.kind) {
    case SortKey::Empty:
      return 0;
    case SortKey::Number:
      return compare_numbers(x, y);
    case SortKey::Time:
      return sign(x.time - y.time);
    case SortKey::Word:
      break;
  }
  if (const int c = x.text.compare(y.text, Qt::CaseInsensitive); c != 0) return c;
  return x.text.compare(y.text);
}

}  // namespace

int OrderFilter::compare_cells(const QString& a, const QString& b) {
  return compare_keys(sort_key(a), sort_key(b));
}

const SortKey& OrderFilter::sort_key_of(const QModelIndex& source_index) const {
  if (m_keys_column != source_index.column()) {
    m_keys.clear();
    m_keys_column = source_index.column();
  }
  const auto row = static_cast<std::size_t>(source_index.row());
  if (m_keys.size() <= row) m_keys.resize(std::max<std::size_t>(row + 1, m_table->size()));
  // What the list shows is what is sorted (物流信息 shows the gist of its reply).
  const QString text = source_index.data().toString();
  CachedKey& cached = m_keys[row];
  if (!cached.known || cached.text != text) cached = {true, text, sort_key(text)};
  return cached.key;
}

bool OrderFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const SortKey key = sort_key_of(left);  // a copy: the next lookup may grow the cache
  return compare_keys(key, sort_key_of(right)) < 0;
}

void OrderFilter::follow_header(QHeaderView* header) {
  m_header = header;
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  connect(header, &QHeaderView::sectionClicked, this, &OrderFilter::sort_step);
}

void OrderFilter::sort_step(int column) {
  if (sortColumn() != column)
    sort(column, Qt::AscendingOrder);
  else if (sortOrder() == Qt::AscendingOrder)
    sort(column, Qt::DescendingOrder);
  else
    sort(-1);  // the table's own order
  if (!m_header) return;
  m_header->setSortIndicatorShown(sortColumn() >= 0);
  if (sortColumn() >= 0) m_header->setSortIndicator(sortColumn(), sortOrder());
}

int OrderFilter::source_row(const QModelIndex& view_index) const {
  if (!view_index.isValid()) return -1;
  return mapToSource(view_index).row();
}

QModelIndex OrderFilter::view_index(int table_row, int column) const {
  return mapFromSource(m_table->index(table_row, column));
}

}  // namespace app
