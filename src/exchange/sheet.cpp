#include "exchange/sheet.h"

#include <algorithm>

namespace exchange {

namespace {
const std::string kEmpty;
}

Sheet::Row& Sheet::row_for_append(std::int64_t row) {
  if (!m_rows.empty() && m_rows.back().number == row) return m_rows.back();
  if (!m_rows.empty() && m_rows.back().number > row) m_sorted = false;
  if (!m_gap && row == static_cast<std::int64_t>(m_leading))
    ++m_leading;
  else
    m_gap = true;
  m_rows.push_back(Row{row, {}});
  return m_rows.back();
}

void Sheet::set(std::int64_t row, int column, std::string text) {
  if (row < 0 || column < 0 || column >= kMaxColumns || text.empty()) return;
  Row& r = row_for_append(row);
  if (static_cast<int>(r.cells.size()) <= column) r.cells.resize(column + 1);
  r.cells[column] = std::move(text);
}

void Sheet::finish() {
  if (m_sorted) return;
  std::stable_sort(m_rows.begin(), m_rows.end(),
                   [](const Row& a, const Row& b) { return a.number < b.number; });
  // Merge pieces of the same row, later pieces overriding earlier ones.
  std::vector<Row> merged;
  for (auto& r : m_rows) {
    if (merged.empty() || merged.back().number != r.number) {
      merged.push_back(std::move(r));
      continue;
    }
    Row& into = merged.back();
    if (into.cells.size() < r.cells.size()) into.cells.resize(r.cells.size());
    for (size_t c = 0; c < r.cells.size(); ++c)
      if (!r.cells[c].empty()) into.cells[c] = std::move(r.cells[c]);
  }
  m_rows = std::move(merged);
  m_sorted = true;
}

const std::string& Sheet::cell(std::int64_t row, int column) const {
  auto it = std::lower_bound(m_rows.begin(), m_rows.end(), row,
                             [](const Row& r, std::int64_t n) { return r.number < n; });
  if (it == m_rows.end() || it->number != row) return kEmpty;
  if (column < 0 || column >= static_cast<int>(it->cells.size())) return kEmpty;
  return it->cells[column];
}

}  // namespace exchange
