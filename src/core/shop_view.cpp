#include "core/shop_view.h"

#include <algorithm>
#include <string>

#include "core/table_snapshot.h"

namespace app {

namespace {

// What each shop has of its own: the dashboard figures, the sender id, the title.
constexpr std::string_view kKept[] = {"标签3", "标签4", "标签5", "标签6", "标签7",
                                      "标签8", "标签9", "标签10", "编辑框13", "title"};

}  // namespace

ShopView::ShopView(Form& window, Text label, const std::atomic<bool>& merged)
    : m_window(window), m_label(std::move(label)), m_merged(merged) {}

void ShopView::set_account(const Text& account, const Text& password) {
  std::lock_guard lock(m_mutex);
  m_account = account;
  m_password = password;
}

Text ShopView::kept(std::string_view control) {
  std::lock_guard lock(m_mutex);
  const auto it = m_kept.find(control);
  return it == m_kept.end() ? Text() : it->second;
}

bool ShopView::keeps(std::string_view control) const {
  return own() && std::find(std::begin(kKept), std::end(kKept), control) != std::end(kKept);
}

void ShopView::keep(std::string_view control, const Text& text) {
  std::function<void()> changed;
  {
    std::lock_guard lock(m_mutex);
    m_kept[std::string(control)] = text;
    changed = m_changed;
  }
  if (changed) changed();
}

std::vector<int> ShopView::mine() {
  if (m_detached.load()) return {};
  return m_window.rows_where(kOrderList, kColStore, m_label);
}

int ShopView::window_row(int view_row) {
  const std::vector<int> rows = mine();
  return view_row >= 0 && view_row < static_cast<int>(rows.size()) ? rows[view_row] : -1;
}

int ShopView::view_row(int window_row) {
  if (!own()) return window_row;
  const std::vector<int> rows = mine();
  const auto it = std::find(rows.begin(), rows.end(), window_row);
  return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

Text ShopView::text(std::string_view control) {
  if (own() && (control == "编辑框1" || control == "编辑框2")) {
    std::lock_guard lock(m_mutex);
    return control == "编辑框1" ? m_account : m_password;
  }
  if (keeps(control)) {
    std::lock_guard lock(m_mutex);
    // A figure not read by this shop yet reads as the window shows it.
    if (const auto it = m_kept.find(control); it != m_kept.end()) return it->second;
  }
  return m_window.text(control);
}

void ShopView::set_text(std::string_view control, const Text& text) {
  if (keeps(control)) return keep(control, text);
  m_window.set_text(control, text);
}

Text ShopView::title() {
  return keeps("title") ? kept("title") : m_window.title();
}

void ShopView::set_title(const Text& title) {
  if (keeps("title")) return keep("title", title);
  m_window.set_title(title);
}

void ShopView::set_enabled(std::string_view control, bool enabled) {
  // Greyed figures are the sums' business while merged.
  if (keeps(control)) return;
  m_window.set_enabled(control, enabled);
}

bool ShopView::is_enabled(std::string_view control) { return m_window.is_enabled(control); }
bool ShopView::is_checked(std::string_view control) { return m_window.is_checked(control); }
void ShopView::set_progress(int position) {
  if (!m_detached.load()) m_window.set_progress(position);
}
void ShopView::set_timer_interval(int milliseconds) { m_window.set_timer_interval(milliseconds); }
int ShopView::timer_interval() { return m_window.timer_interval(); }

void ShopView::set_picture(const Bytes& image) {
  if (!own()) m_window.set_picture(image);  // several logos: none is the window's
}

void ShopView::set_picture_mode(int mode) { m_window.set_picture_mode(mode); }

int ShopView::row_count(std::string_view list) {
  return filtered(list) ? static_cast<int>(mine().size()) : m_window.row_count(list);
}

int ShopView::append_row(std::string_view list, const std::vector<Text>& cells) {
  if (tableless(list)) return -1;
  if (!filtered(list)) return m_window.append_row(list, cells);
  std::vector<Text> tagged = cells;
  tagged.resize(std::max<std::size_t>(tagged.size(), kColStore + 1));
  tagged[kColStore] = m_label;
  // 序号 counts the whole table, every shop's rows: the row's place there,
  // as far as it is known before the row is added (checked below).
  int expected;
  {
    std::lock_guard lock(m_mutex);
    expected = m_appended_total;
  }
  if (expected >= 0) tagged[kColSerial] = std::to_string(expected + 1);
  const int real = m_window.append_row(list, tagged);
  if (real >= 0 && real != expected)
    m_window.set_cell(list, real, kColSerial, std::to_string(real + 1));
  // A list fetch appends thousands of rows: while the table only grows by
  // this shop's rows, its rows are known without reading the table again.
  // (No lock is held while the window is asked: its thread may want one.)
  bool known;
  {
    std::lock_guard lock(m_mutex);
    known = real >= 0 && real == m_appended_total;
  }
  const std::vector<int> fresh = known ? std::vector<int>() : mine();
  std::lock_guard lock(m_mutex);
  if (known)
    m_appended.push_back(real);
  else
    m_appended = fresh;
  m_appended_total = real + 1;
  const auto at = std::find(m_appended.rbegin(), m_appended.rend(), real);
  return at == m_appended.rend() ? -1 : static_cast<int>(m_appended.rend() - at) - 1;
}

Text ShopView::cell(std::string_view list, int row, int column) {
  if (!filtered(list)) return m_window.cell(list, row, column);
  const int r = window_row(row);
  return r < 0 ? Text() : m_window.cell(list, r, column);
}

void ShopView::set_cell(std::string_view list, int row, int column, const Text& text) {
  if (!filtered(list)) return m_window.set_cell(list, row, column, text);
  // 序号 is the row's place in the whole table, not among this shop's rows.
  if (column == kColSerial) {
    if (const int r = window_row(row); r >= 0)
      m_window.set_cell(list, r, kColSerial, std::to_string(r + 1));
    return;
  }
  // Through the row's key: the row stays the one meant if others move meanwhile.
  if (const RowKey key = row_key(list, row)) m_window.set_cells_by_key(list, key, column, {text});
}

void ShopView::delete_row(std::string_view list, int row) {
  if (tableless(list)) return;
  if (!filtered(list)) return m_window.delete_row(list, row);
  if (const int r = window_row(row); r >= 0) m_window.delete_row(list, r);
}

void ShopView::clear_rows(std::string_view list) {
  if (tableless(list)) return;
  if (!filtered(list)) return m_window.clear_rows(list);
  // The shop's rows only, from the last, so the indexes ahead stay right.
  const std::vector<int> rows = mine();
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) m_window.delete_row(list, *it);
  if (!rows.empty()) renumber_from(list, rows.front());
}

void ShopView::renumber_from(std::string_view list, int first) {
  // The other shops' rows below moved up: their 序号 follow.
  const TableSnapshot table = read_order_rows(m_window);
  for (std::size_t r = static_cast<std::size_t>(first); r < table.rows.size(); ++r) {
    const Text serial = std::to_string(r + 1);
    if (cell_of(table.rows[r], kColSerial) != serial)
      m_window.set_cells_by_key(list, table.keys[r], kColSerial, {serial});
  }
}

void ShopView::scroll_to_row(std::string_view list, int row) {
  if (!filtered(list)) return m_window.scroll_to_row(list, row);
  if (const int r = window_row(row); r >= 0) m_window.scroll_to_row(list, r);
}

int ShopView::selected_row(std::string_view list) {
  if (tableless(list)) return -1;
  const int selected = m_window.selected_row(list);
  return filtered(list) && selected >= 0 ? view_row(selected) : selected;
}

int ShopView::column_count(std::string_view list) { return m_window.column_count(list); }
Text ShopView::column_title(std::string_view list, int column) { return m_window.column_title(list, column); }
void ShopView::append_column(std::string_view list, const Text& title, int width) {
  m_window.append_column(list, title, width);
}

std::vector<OrderRow> ShopView::rows(std::string_view list) {
  if (tableless(list)) return {};
  std::vector<OrderRow> all = m_window.rows(list);
  if (!filtered(list)) return all;
  std::erase_if(all, [this](const OrderRow& row) {
    return row.size() <= kColStore || row[kColStore] != m_label;
  });
  return all;
}

void ShopView::replace_rows(std::string_view list, const std::vector<OrderRow>& rows) {
  if (tableless(list)) return;
  if (!filtered(list)) return m_window.replace_rows(list, rows);
  clear_rows(list);
  for (const OrderRow& row : rows) append_row(list, row);
}

RowKey ShopView::row_key(std::string_view list, int row) {
  if (!filtered(list)) return m_window.row_key(list, row);
  const int r = window_row(row);
  return r < 0 ? RowKey(0) : m_window.row_key(list, r);
}

int ShopView::row_of_key(std::string_view list, RowKey key) {
  if (tableless(list)) return -1;
  const int r = m_window.row_of_key(list, key);
  return filtered(list) && r >= 0 ? view_row(r) : r;
}

bool ShopView::set_cells_by_key(std::string_view list, RowKey key, int first_column,
                                const std::vector<Text>& texts) {
  if (tableless(list)) return false;
  return m_window.set_cells_by_key(list, key, first_column, texts);
}

std::vector<RowKey> ShopView::row_keys(std::string_view list) {
  if (tableless(list)) return {};
  if (!filtered(list)) return m_window.row_keys(list);
  // Two steps: a row added between them leaves the lists unequal, which the
  // caller's snapshot sees and reads again.
  const std::vector<RowKey> all = m_window.row_keys(list);
  std::vector<RowKey> keys;
  for (int r : mine())
    if (r < static_cast<int>(all.size())) keys.push_back(all[static_cast<std::size_t>(r)]);
  return keys;
}

std::vector<int> ShopView::rows_where(std::string_view list, int column, const Text& text) {
  if (!filtered(list)) return m_window.rows_where(list, column, text);
  std::vector<int> found;
  const std::vector<int> rows = mine();
  for (int i = 0; i < static_cast<int>(rows.size()); ++i)
    if (m_window.cell(list, rows[i], column) == text) found.push_back(i);
  return found;
}

void ShopView::append_log(const Text& text) { m_window.append_log(text); }

Answer ShopView::message_box(const Text& text, const Text& title, Buttons buttons) {
  // With every shop in the window a message says whose it is.
  return m_window.message_box(own() ? "[" + m_label + "] " + text : text, title, buttons);
}

bool ShopView::speak(const Text& text) { return m_window.speak(text); }
void ShopView::start_worker(std::function<void()> operation) { m_window.start_worker(std::move(operation)); }
void ShopView::process_events() { m_window.process_events(); }
void ShopView::wait(const std::function<void()>& job) { m_window.wait(job); }
Text ShopView::ask_save_path(const Text& suggested) { return m_window.ask_save_path(suggested); }
BatchChoice ShopView::ask_batch(int ready, int total, const std::vector<BatchProblem>& problems) {
  return m_window.ask_batch(ready, total, problems);
}
void ShopView::show_tracking(const TrackingTimeline& timeline) { m_window.show_tracking(timeline); }
void ShopView::notify(const Text& title, const Text& body) { m_window.notify(title, body); }
void ShopView::show_to_ship_count(int count) {
  if (!own()) m_window.show_to_ship_count(count);  // the sum is shown instead
}
void ShopView::set_sender_addresses(const std::vector<SenderAddress>& addresses) {
  if (!own()) m_window.set_sender_addresses(addresses);
}
void ShopView::show_status(const Text& text) {
  m_window.show_status(own() ? m_label + ": " + text : text);
}
void ShopView::show_failure(const Text& text) {
  m_window.show_failure(own() ? m_label + ": " + text : text);
}
void ShopView::show_new_orders(const std::vector<Text>& ids) {
  if (!m_detached.load()) m_window.show_new_orders(ids);  // not the rows shown
}
void ShopView::set_tooltip(std::string_view control, const Text& text) { m_window.set_tooltip(control, text); }

}  // namespace app
